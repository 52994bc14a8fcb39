// The rasterizer on FreeType, with faces found through fontconfig.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_BDF_H
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "name_distance.h"
#include "rasterizer.h"
#include "text.h"

using base::lower_ascii;

struct Rasterizer {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::string family;
  bool symbol = false;
  bool embolden = false;  // the family has no face as heavy as asked for
  FaceTraits traits;
  ~Rasterizer() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

void RasterizerDeleter::operator()(Rasterizer* r) const {
  delete r;
}

namespace {

// The installed family spelled as fontconfig spells it, matched without
// regard to letter case among scalable and bitmap faces alike; "" and the
// closest name when there is none.
std::string find_family(FcConfig* config, const std::string& wanted, std::string* closest) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(config, pattern, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  std::string found, wanted_lower = lower_ascii(wanted);
  size_t best = SIZE_MAX;
  for (int i = 0; set && i < set->nfont && found.empty(); ++i) {
    FcChar8* name = nullptr;
    for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n) {
      std::string family = reinterpret_cast<const char*>(name);
      std::string family_lower = lower_ascii(family);
      if (family_lower == wanted_lower) {
        found = family;
        break;
      }
      size_t d = name_distance(wanted_lower, family_lower, [](char c) { return c; });
      // Ties go to the name first in alphabetical order, so the message is stable.
      if (d < best || (d == best && family < *closest)) {
        best = d;
        *closest = family;
      }
    }
  }
  if (set) FcFontSetDestroy(set);
  return found;
}

// Scales 100..900 (the OpenType weights) onto fontconfig's own.
int fontconfig_weight(int weight) {
  return FcWeightFromOpenTypeDouble(std::clamp(weight, 1, 1000)) + 0.5;
}

// The file and face index fontconfig gives for an installed family at the
// weight, slant and pixel size asked for; false with *error set when none.
bool find_installed(const FaceRequest& request, int pixels, std::string* family,
                    std::string* path, int* index, std::string* error) {
  FcConfig* config = FcConfigGetCurrent();
  if (!config) {
    *error = "cannot read the font configuration";
    return false;
  }
  std::string closest;
  *family = find_family(config, request.family, &closest);
  if (family->empty()) {
    *error = "no installed font family '" + request.family + "'";
    if (!closest.empty()) *error += " (closest: '" + closest + "')";
    return false;
  }

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family->c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, fontconfig_weight(request.weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  // Families of bitmap fonts may keep each size in a file of its own.
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);

  FcChar8* file = nullptr;
  bool same_family = false;
  FcChar8* name = nullptr;
  for (int n = 0; match && FcPatternGetString(match, FC_FAMILY, n, &name) == FcResultMatch; ++n)
    same_family = same_family || lower_ascii(reinterpret_cast<const char*>(name)) == lower_ascii(*family);
  if (!match || !same_family || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) {
    if (match) FcPatternDestroy(match);
    *error = "no installed font family '" + request.family + "'";
    return false;
  }
  FcPatternGetInteger(match, FC_INDEX, 0, index);
  *path = reinterpret_cast<const char*>(file);
  FcPatternDestroy(match);
  return true;
}

std::string sizes_text(const std::vector<int>& sizes) {
  std::string s;
  for (int size : sizes) s += (s.empty() ? "" : ", ") + std::to_string(size);
  return s;
}

// A bitmap-only face: its strikes by pixel size, and the one of `pixels`
// selected. Glyphs are then loaded as drawn, never scaled.
bool select_strike(Rasterizer* r, int pixels, const std::string& what, std::string* error) {
  FT_Face face = r->face;
  int chosen = -1;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    int size = static_cast<int>((face->available_sizes[i].y_ppem + 32) >> 6);
    r->traits.strikes.push_back(size);
    if (size == pixels && chosen < 0) chosen = i;
  }
  std::sort(r->traits.strikes.begin(), r->traits.strikes.end());
  if (chosen < 0) {
    *error = what + " has no " + std::to_string(pixels) + "-pixel strike (sizes: " +
             sizes_text(r->traits.strikes) + ")";
    return false;
  }
  if (FT_Select_Size(face, chosen) != 0) {
    *error = what + " cannot select its " + std::to_string(pixels) + "-pixel strike";
    return false;
  }
  return true;
}

// BDF and PCF files in an 8-bit charset number their glyphs by byte; the
// charset tells which code page the bytes are in.
bool select_byte_charmap(Rasterizer* r) {
  const char* encoding = nullptr;
  const char* registry = nullptr;
  if (r->face->num_charmaps < 1 || FT_Get_BDF_Charset_ID(r->face, &encoding, &registry) != 0 ||
      !encoding || !registry || FT_Set_Charmap(r->face, r->face->charmaps[0]) != 0)
    return false;
  r->traits.byte_charset = lower_ascii(std::string(registry) + "-" + encoding);
  return true;
}

}  // namespace

RasterizerPtr open_rasterizer(const FaceRequest& request, int pixels, std::string* error) {
  std::string family, path;
  int index = 0;
  if (!request.file.empty()) {
    path = request.file;
  } else if (!find_installed(request, pixels, &family, &path, &index, error)) {
    return nullptr;
  }
  std::string what =
      request.file.empty() ? "font family '" + family + "'" : "font file '" + path + "'";

  RasterizerPtr r(new Rasterizer);
  r->symbol = request.symbol;
  if (FT_Init_FreeType(&r->library) != 0 ||
      FT_New_Face(r->library, path.c_str(), index, &r->face)) {
    *error = request.file.empty() ? "cannot read the font file '" + path + "'"
                                  : "cannot read '" + path + "' as a font";
    return nullptr;
  }
  r->family = !family.empty()            ? family
              : r->face->family_name     ? r->face->family_name
                                         : path;
  FT_Encoding encoding = request.symbol ? FT_ENCODING_MS_SYMBOL : FT_ENCODING_UNICODE;
  if (FT_Select_Charmap(r->face, encoding) != 0 && !select_byte_charmap(r.get())) {
    *error = what + " has no " + (request.symbol ? "symbol" : "Unicode") + " character map";
    return nullptr;
  }
  BDF_PropertyRec default_char;
  if (FT_Get_BDF_Property(r->face, "DEFAULT_CHAR", &default_char) == 0 &&
      (default_char.type == BDF_PROPERTY_TYPE_INTEGER ||
       default_char.type == BDF_PROPERTY_TYPE_CARDINAL))
    r->traits.default_char = default_char.type == BDF_PROPERTY_TYPE_INTEGER
                                 ? default_char.u.integer
                                 : static_cast<long>(default_char.u.cardinal);
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(r->face, FT_SFNT_OS2));
  int weight = os2 && os2->usWeightClass                   ? os2->usWeightClass
               : r->face->style_flags & FT_STYLE_FLAG_BOLD ? 700
                                                           : 400;
  r->traits.bold = weight >= 600;
  r->traits.italic = (r->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  if (!FT_IS_SCALABLE(r->face)) {
    if (!select_strike(r.get(), pixels, what, error)) return nullptr;
    return r;
  }
  if (FT_Set_Pixel_Sizes(r->face, 0, static_cast<FT_UInt>(pixels)) != 0) {
    *error = what + " cannot be drawn " + std::to_string(pixels) + " pixels high";
    return nullptr;
  }
  // A family without the style asked for is slanted or thickened here rather
  // than shown upright or thin. fontconfig reports the style asked for even
  // where the face lacks it, so the face itself says what it is.
  if (request.italic && !r->traits.italic) {
    FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
    FT_Set_Transform(r->face, &shear, nullptr);
  }
  r->embolden = request.weight >= 600 && !r->traits.bold;
  return r;
}

FaceTraits rasterizer_traits(const Rasterizer& r) {
  return r.traits;
}

std::string rasterizer_family(const Rasterizer& r) {
  return r.family;
}

GlyphBitmap render_glyph(Rasterizer& r, uint32_t code) {
  GlyphBitmap g;
  FT_UInt index = FT_Get_Char_Index(r.face, code);
  // Symbol maps put their characters at 0xF020..0xF0FF in most faces, at
  // the byte codes themselves in some.
  if (index == 0 && r.symbol && code < 0x100) index = FT_Get_Char_Index(r.face, 0xF000 | code);
  if (index == 0) return g;
  if (FT_Load_Glyph(r.face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return g;
  FT_GlyphSlot slot = r.face->glyph;
  if (r.embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return g;
  g.present = true;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(slot->bitmap.width);
  g.height = static_cast<int>(slot->bitmap.rows);
  g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
  const FT_Bitmap& b = slot->bitmap;
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
    for (int x = 0; x < g.width; ++x) {
      bool on =
          b.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x] >= 128;
      g.ink[static_cast<size_t>(y) * g.width + x] = on;
    }
  }
  return g;
}
