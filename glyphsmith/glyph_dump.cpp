// A test tool over the platform's rasterizer: prints the glyphs it renders,
// so that a test can hold them against FreeType's own rendering.
//
//   glyph_dump [--weight N] [--italic] PIXELS FIRST LAST FAMILY...
//   glyph_dump --code-page N
//
// One line per code point FIRST..LAST (hexadecimal):
//   CODE ADVANCE LEFT TOP WIDTH HEIGHT INK    (INK: WIDTH*HEIGHT of 0 and 1, or -)
//   CODE missing
// A face that can't be opened: its message on stderr, status 1. With
// --code-page, one line per byte 20..FF: BYTE UNICODE, or BYTE - where the
// page leaves it undefined.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "code_pages.h"
#include "rasterizer.h"

using charsets::CodePageTable, charsets::code_page_table;

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "--code-page")) {
    CodePageTable table = code_page_table(std::atoi(argv[2]));
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
      uint32_t unicode = table[size_t(byte)];
      if (unicode != 0)
        std::printf("%02X %04X\n", byte, static_cast<unsigned>(unicode));
      else
        std::printf("%02X -\n", byte);
    }
    return 0;
  }
  FaceRequest request;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (!std::strcmp(argv[i], "--italic")) {
      request.italic = true;
    } else if (!std::strcmp(argv[i], "--weight") && i + 1 < argc) {
      request.weight = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "glyph_dump: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (argc - i < 4) {
    std::fprintf(stderr, "usage: glyph_dump [--weight N] [--italic] PIXELS FIRST LAST FAMILY...\n");
    return 2;
  }
  int pixels = std::atoi(argv[i]);
  unsigned long first = std::strtoul(argv[i + 1], nullptr, 16);
  unsigned long last = std::strtoul(argv[i + 2], nullptr, 16);
  for (int j = i + 3; j < argc; ++j)
    request.family += (j > i + 3 ? " " : "") + std::string(argv[j]);

  std::string error;
  RasterizerPtr face = open_rasterizer(request, pixels, &error);
  if (!face) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  for (unsigned long code = first; code <= last; ++code) {
    GlyphBitmap g = render_glyph(*face, static_cast<uint32_t>(code));
    if (!g.present) {
      std::printf("%04lX missing\n", code);
      continue;
    }
    std::string ink;
    for (uint8_t bit : g.ink) ink += bit ? '1' : '0';
    std::printf("%04lX %d %d %d %d %d %s\n", code, g.advance, g.left, g.top, g.width, g.height,
                ink.empty() ? "-" : ink.c_str());
  }
  return 0;
}
