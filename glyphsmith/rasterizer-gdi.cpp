// Windows: GDI opens the face and renders each glyph as a 1-bit image.
//
// The program's narrow strings are in the ANSI code page, as Windows hands
// them to main() and as fontpick's LOGFONTA carries the face name; they are
// widened here for the W functions.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "name_distance.h"
#include "rasterizer.h"

struct Rasterizer {
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ old_font = nullptr;
  std::string family;
  bool symbol = false;
};

void RasterizerDeleter::operator()(Rasterizer* r) const {
  if (r->dc) {
    if (r->old_font) SelectObject(r->dc, r->old_font);
    DeleteDC(r->dc);
  }
  if (r->font) DeleteObject(r->font);
  delete r;
}

namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(static_cast<size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
  return text;
}

bool same_name(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

int CALLBACK add_family(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list) {
  // '@' names are the same families turned for vertical text.
  if (font->lfFaceName[0] != L'@')
    reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(font->lfFaceName);
  return 1;
}

std::vector<std::wstring> installed_families(HDC dc) {
  LOGFONTW all = {};
  all.lfCharSet = DEFAULT_CHARSET;
  std::vector<std::wstring> families;
  EnumFontFamiliesExW(dc, &all, add_family, reinterpret_cast<LPARAM>(&families), 0);
  std::sort(families.begin(), families.end());
  families.erase(std::unique(families.begin(), families.end()), families.end());
  return families;
}

std::string not_installed(HDC dc, const std::string& family) {
  std::string message = "no installed font family '" + family + "'";
  std::wstring wanted = widen(family);
  const std::wstring* closest = nullptr;
  size_t best = 0;
  // In alphabetical order, so that ties go to the first name and the message
  // is the same from run to run.
  std::vector<std::wstring> families = installed_families(dc);
  for (const std::wstring& name : families) {
    size_t d = name_distance(wanted, name, [](wchar_t c) { return towlower(c); });
    if (!closest || d < best) closest = &name, best = d;
  }
  message += closest ? " (closest: '" + narrow(*closest) + "'; see glyphsmith --list)"
                    : " (see glyphsmith --list)";
  return message;
}

// The glyph for a character, or false where the face has none: GDI would
// otherwise draw its default glyph without a word.
bool glyph_index(HDC dc, uint32_t code, WORD* index) {
  if (code > 0xFFFF) return false;
  wchar_t c = static_cast<wchar_t>(code);
  return GetGlyphIndicesW(dc, &c, 1, index, GGI_MARK_NONEXISTING_GLYPHS) == 1 && *index != 0xFFFF;
}

}  // namespace

RasterizerPtr open_rasterizer(const FaceRequest& request, int pixels, std::string* error) {
  // GDI draws installed families only; bitmap and font files need FreeType.
  if (!request.file.empty()) {
    *error = "font file '" + request.file +
             "': this build draws installed font families only; install the font and name its "
             "family";
    return nullptr;
  }
  RasterizerPtr r(new Rasterizer);
  r->dc = CreateCompatibleDC(nullptr);
  if (!r->dc) {
    *error = "cannot open a drawing context";
    return nullptr;
  }
  std::wstring wanted = widen(request.family);
  if (wanted.empty() || wanted.size() >= LF_FACESIZE) {
    // No face name that long (or empty) can be installed.
    *error = not_installed(r->dc, request.family);
    return nullptr;
  }
  LOGFONTW font = {};
  font.lfHeight = -pixels;  // negative: the em square, not the cell
  font.lfWeight = request.weight;
  font.lfItalic = request.italic ? TRUE : FALSE;
  // Any set: asking for the symbol set would let GDI take a symbol face
  // instead of the one named; whether the face is one is checked below.
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_OUTLINE_PRECIS;
  font.lfQuality = NONANTIALIASED_QUALITY;
  wanted.copy(font.lfFaceName, wanted.size());
  r->font = CreateFontIndirectW(&font);
  if (!r->font) {
    *error = "cannot create the font '" + request.family + "'";
    return nullptr;
  }
  r->old_font = SelectObject(r->dc, r->font);

  // GDI takes another face when the name isn't installed; refuse it.
  wchar_t chosen[LF_FACESIZE] = {};
  int n = GetTextFaceW(r->dc, LF_FACESIZE, chosen);
  if (n <= 0 || !same_name(chosen, wanted)) {
    *error = not_installed(r->dc, request.family);
    return nullptr;
  }
  r->family = narrow(chosen);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(r->dc, &metrics);
  // A symbol face has its symbol map and no other, as GDI sees it.
  if (request.symbol != (metrics.tmCharSet == SYMBOL_CHARSET)) {
    *error = "font family '" + r->family + "' has no " + (request.symbol ? "symbol" : "Unicode") +
             " character map";
    return nullptr;
  }
  r->symbol = request.symbol;
  return r;
}

FaceTraits rasterizer_traits(const Rasterizer&) {
  // GDI scales every face it opens, raster fonts too.
  return {};
}

std::string rasterizer_family(const Rasterizer& r) {
  return r.family;
}

GlyphBitmap render_glyph(Rasterizer& r, uint32_t code) {
  GlyphBitmap glyph;
  WORD index = 0;
  // A symbol face keeps its characters at F020..F0FF, where a byte code of
  // the Symbol set lands.
  bool found = glyph_index(r.dc, code, &index) ||
               (r.symbol && code <= 0xFF && glyph_index(r.dc, 0xF000 | code, &index));
  if (!found) return glyph;

  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GLYPHMETRICS metrics = {};
  UINT format = GGO_BITMAP | GGO_GLYPH_INDEX;
  DWORD size = GetGlyphOutlineW(r.dc, index, format, &metrics, 0, nullptr, &identity);
  if (size == GDI_ERROR) return glyph;
  glyph.present = true;
  glyph.advance = metrics.gmCellIncX;
  if (size == 0) return glyph;  // a blank glyph such as the space: no ink

  std::vector<uint8_t> bits(size);
  if (GetGlyphOutlineW(r.dc, index, format, &metrics, size, bits.data(), &identity) == GDI_ERROR)
    return GlyphBitmap{};
  // Rows start on DWORD boundaries, leftmost pixel in the top bit.
  int width = static_cast<int>(metrics.gmBlackBoxX);
  int height = static_cast<int>(metrics.gmBlackBoxY);
  size_t stride = (static_cast<size_t>(width) + 31) / 32 * 4;
  if (stride * static_cast<size_t>(height) > size) return GlyphBitmap{};
  auto ink = [&](int x, int y) {
    return (bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
  };
  // GDI's black box may hold blank columns and rows; the box is cut to the
  // ink, so that a blank column left of the pen doesn't widen a character.
  int x0 = width, x1 = -1, y0 = height, y1 = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (ink(x, y)) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = y;
  if (x1 < 0) return glyph;  // no ink after all
  glyph.left = metrics.gmptGlyphOrigin.x + x0;
  glyph.top = metrics.gmptGlyphOrigin.y - y0;
  glyph.width = x1 - x0 + 1;
  glyph.height = y1 - y0 + 1;
  glyph.ink.resize(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.height));
  for (int y = 0; y < glyph.height; ++y)
    for (int x = 0; x < glyph.width; ++x)
      glyph.ink[static_cast<size_t>(y * glyph.width + x)] =
          static_cast<uint8_t>(ink(x0 + x, y0 + y));
  return glyph;
}
