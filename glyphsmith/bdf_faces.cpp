#include "bdf_faces.h"

#include <ft2build.h>
#include FT_BDF_H
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int bdf_integer(FT_FaceRec_* face, const char* name) {
  BDF_PropertyRec p;
  if (FT_Get_BDF_Property(face, name, &p) != 0) return -1;
  if (p.type == BDF_PROPERTY_TYPE_INTEGER && p.u.integer >= 0 && p.u.integer <= 65534)
    return static_cast<int>(p.u.integer);
  if (p.type == BDF_PROPERTY_TYPE_CARDINAL && p.u.cardinal <= 65534)
    return static_cast<int>(p.u.cardinal);
  return -1;
}

void encode_missing_glyph(const std::string& path, std::vector<unsigned char>* unpacked) {
  std::string text(unpacked->begin(), unpacked->end());
  if (text.empty()) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
      if (text.empty() && std::string(chunk, std::min(n, size_t{9})) != "STARTFONT") break;
      text.append(chunk, n);
    }
    std::fclose(file);
  }
  const std::string lost = "\nSTARTCHAR missing\nENCODING -1\n";
  size_t at = text.find(lost), property = text.find("\nDEFAULT_CHAR ");
  if (!text.starts_with("STARTFONT") || at == std::string::npos || property == std::string::npos)
    return;
  long code = std::strtol(text.c_str() + property + 14, nullptr, 10);
  std::string encoding = "\nENCODING " + std::to_string(code) + "\n";
  if (code < 0 || code > 0xFFFF || text.find(encoding) != std::string::npos) return;
  text.replace(at, lost.size(), "\nSTARTCHAR missing" + encoding);
  unpacked->assign(text.begin(), text.end());
}
