// The rasterizer on FreeType, with faces found through fontconfig.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_BDF_H
#include FT_BITMAP_H
#include FT_BZIP2_H
#include FT_FREETYPE_H
#include FT_GZIP_H
#include FT_LZW_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bdf_faces.h"
#include "name_distance.h"
#include "rasterizer.h"
#include "text.h"

using base::lower_ascii;

struct Rasterizer {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::vector<FT_Byte> unpacked;  // a compressed file's contents, which the face reads
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
    *error += closest.empty() ? " (see glyphsmith --list)"
                              : " (closest: '" + closest + "'; see glyphsmith --list)";
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
  // X names Windows' code pages microsoft-cp125x.
  if (r->traits.byte_charset.starts_with("microsoft-cp"))
    r->traits.byte_charset = "windows-" + r->traits.byte_charset.substr(12);
  return true;
}

constexpr unsigned long kMaxFontBytes = 64ul << 20;

// FreeType's decompressors read their source through a stream of ours, so
// that a compressed file is unpacked here, up to kMaxFontBytes, rather than
// by the driver for as long as it inflates.
unsigned long read_file_stream(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                               unsigned long count) {
  FILE* file = static_cast<FILE*>(stream->descriptor.pointer);
  bool placed = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
  if (count == 0) return placed ? 0 : 1;  // a seek: 0 for success
  return placed ? std::fread(buffer, 1, count, file) : 0;
}

void* memory_alloc(FT_Memory, long size) {
  return std::malloc(static_cast<size_t>(size));
}
void memory_free(FT_Memory, void* block) {
  std::free(block);
}
void* memory_realloc(FT_Memory, long, long size, void* block) {
  return std::realloc(block, static_cast<size_t>(size));
}

// The stream's whole contents, or false when they pass the bound.
bool read_bounded(FT_Stream stream, std::vector<FT_Byte>* bytes) {
  if (!stream->read) {  // unpacked into memory already
    if (stream->size > kMaxFontBytes) return false;
    bytes->assign(stream->base, stream->base + stream->size);
    return true;
  }
  constexpr unsigned long kChunk = 1ul << 20;
  for (unsigned long got = kChunk; got == kChunk;) {
    size_t at = bytes->size();
    // Grown by hand, so that the bound holds for the memory too.
    if (bytes->capacity() < at + kChunk)
      bytes->reserve(2 * at >= kMaxFontBytes ? kMaxFontBytes + kChunk : std::max(2 * at, at + kChunk));
    bytes->resize(at + kChunk);
    got = stream->read(stream, at, bytes->data() + at, kChunk);
    bytes->resize(at + got);
    if (bytes->size() > kMaxFontBytes) return false;
  }
  return true;
}

// A compressed file (gzip, compress or bzip2, as FreeType reads PCF) is
// unpacked into *unpacked; another is left for FreeType to read from its
// path, as is a file that can't be opened, for FreeType to report. Returns ""
// or why the file is too large to read.
std::string load_font_file(const std::string& path, const std::string& what,
                           std::vector<FT_Byte>* unpacked) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "";
  FT_MemoryRec_ memory{nullptr, memory_alloc, memory_free, memory_realloc};
  FT_StreamRec source{};
  source.descriptor.pointer = file;
  source.read = read_file_stream;
  source.memory = &memory;
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : 0;
  source.size = static_cast<unsigned long>(std::max(size, 0L));
  bool fits = source.size <= kMaxFontBytes;
  FT_StreamRec packed{};
  if (FT_Stream_OpenGzip(&packed, &source) == 0 || FT_Stream_OpenLZW(&packed, &source) == 0 ||
      FT_Stream_OpenBzip2(&packed, &source) == 0) {
    fits = read_bounded(&packed, unpacked);
    if (packed.close) packed.close(&packed);
  }
  std::fclose(file);
  if (fits) return "";
  unpacked->clear();
  return what + " is more than " + std::to_string(kMaxFontBytes >> 20) + " MB uncompressed";
}

// The face from its file, or from the file's contents unpacked in memory.
bool open_face(Rasterizer* r, const std::string& path, int index) {
  if (FT_Init_FreeType(&r->library) != 0) return false;
  if (r->unpacked.empty()) return FT_New_Face(r->library, path.c_str(), index, &r->face) == 0;
  return FT_New_Memory_Face(r->library, r->unpacked.data(),
                            static_cast<FT_Long>(r->unpacked.size()), index, &r->face) == 0;
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
  *error = load_font_file(path, what, &r->unpacked);
  if (!error->empty()) return nullptr;
  encode_missing_glyph(path, &r->unpacked);
  if (!open_face(r.get(), path, index)) {
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
  r->traits.font_ascent = bdf_integer(r->face, "FONT_ASCENT");
  r->traits.font_descent = bdf_integer(r->face, "FONT_DESCENT");
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(r->face, FT_SFNT_OS2));
  int weight = os2 && os2->usWeightClass                   ? os2->usWeightClass
               : r->face->style_flags & FT_STYLE_FLAG_BOLD ? 700
                                                           : 400;
  r->traits.bold = weight >= 600;
  // FreeType flags italic faces only: an oblique one (Terminus's bitmap
  // faces) says so in its style name alone.
  std::string style = r->face->style_name ? lower_ascii(r->face->style_name) : "";
  r->traits.italic = (r->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0 ||
                     style.find("italic") != std::string::npos ||
                     style.find("oblique") != std::string::npos;
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
  // Strikes come 1, 2, 4 or 8 bits a pixel (BDF 2.3, OTB, colour): each
  // read at one byte a pixel, where ink is at least half the range, so that
  // a grey strike gives the glyphs of its 1-bit twin.
  if (g.width > kMaxInkWidth || g.height > kMaxInkHeight) return g;
  g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
  // A BDF glyph may end before its BITMAP: its box is left blank.
  if (!slot->bitmap.buffer) return g;
  FT_Bitmap b;
  FT_Bitmap_Init(&b);
  if (FT_Bitmap_Convert(r.library, &slot->bitmap, &b, 1) != 0) {
    FT_Bitmap_Done(r.library, &b);
    return GlyphBitmap{};
  }
  for (int y = 0; y < g.height; ++y) {
    // A negative pitch keeps the rows bottom first.
    ptrdiff_t pitch = std::abs(b.pitch);
    const unsigned char* row = b.buffer + (b.pitch >= 0 ? y : g.height - 1 - y) * pitch;
    for (int x = 0; x < g.width; ++x)
      g.ink[static_cast<size_t>(y) * g.width + x] = 2 * row[x] >= b.num_grays;
  }
  FT_Bitmap_Done(r.library, &b);
  return g;
}
