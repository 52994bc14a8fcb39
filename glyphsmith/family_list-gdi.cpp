// Families as GDI enumerates them.
#include <windows.h>

#include "family_list.h"
#include "rasterizer.h"

namespace {

std::string utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

struct Listing {
  FamilySizes families;
  std::set<std::wstring> raster;  // families drawn from strikes alone
};

int CALLBACK add_family(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM data) {
  auto* listing = reinterpret_cast<Listing*>(data);
  // '@' names are the vertical forms of East Asian families.
  if (font->lfFaceName[0] == L'@') return 1;
  listing->families[utf8(font->lfFaceName)];
  if (type & RASTER_FONTTYPE) listing->raster.insert(font->lfFaceName);
  return 1;
}

// Each strike of a raster family: its em, the cell less the internal leading.
int CALLBACK add_size(const LOGFONTW*, const TEXTMETRICW* metric, DWORD, LPARAM data) {
  reinterpret_cast<std::set<int>*>(data)->insert(
      static_cast<int>(metric->tmHeight - metric->tmInternalLeading));
  return 1;
}

}  // namespace

std::string list_families(const std::string& pattern, std::string* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return "cannot list the installed fonts";
  LOGFONTW all = {};
  all.lfCharSet = DEFAULT_CHARSET;
  Listing listing;
  EnumFontFamiliesExW(dc, &all, add_family, reinterpret_cast<LPARAM>(&listing), 0);
  FamilySizes matching;
  for (const auto& [name, sizes] : listing.families)
    if (family_matches(name, pattern)) matching[name];
  for (const std::wstring& family : listing.raster) {
    std::string name = utf8(family.c_str());
    if (!matching.count(name)) continue;
    LOGFONTW one = {};
    one.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(one.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    EnumFontFamiliesW(dc, one.lfFaceName, reinterpret_cast<FONTENUMPROCW>(add_size),
                      reinterpret_cast<LPARAM>(&matching[name]));
  }
  DeleteDC(dc);
  return family_lines(matching, pattern, text);
}
