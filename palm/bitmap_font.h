// Palm OS bitmap fonts: the 'NFNT' version 1 resource (one 72-dpi image) and
// the 'nfnt' version 2 resource (the same metrics and tables, and one image
// per screen density). Plain data and two conversions; no I/O, no globals.
// Every integer in a resource is big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace palm {

constexpr int16_t kFontTypeV1 = static_cast<int16_t>(0x9000);
constexpr int16_t kFontTypeV2 = static_cast<int16_t>(0x9200);

// One (offset, width) pair of the offset/width table; a character the font
// lacks is (-1, -1).
struct FontCharWidth {
  int8_t offset = 0;
  int8_t width = 0;
};

// One density's bit image: `rows` rows of `row_words` 16-bit words, glyphs
// side by side, leftmost pixel in the top bit of the first byte.
struct FontImage {
  int16_t density = 72;  // 72 standard, 144 double, ...
  int row_words = 0;
  int rows = 0;
  std::vector<uint8_t> bits;  // rows * row_words * 2 bytes, as in the file
};

struct BitmapFont {
  // The 13 header fields, as in the file.
  int16_t font_type = kFontTypeV1;
  int16_t first_char = 0;
  int16_t last_char = 0;
  int16_t max_width = 0;
  int16_t kern_max = 0;
  int16_t n_descent = 0;
  int16_t rect_width = 0;   // fRectWidth
  int16_t rect_height = 0;  // fRectHeight, at 72 dpi
  int16_t ow_t_loc = 0;     // words from this field to the offset/width table
  int16_t ascent = 0;
  int16_t descent = 0;
  int16_t leading = 0;
  int16_t row_words = 0;  // of the 72-dpi image
  // Version 2 only.
  uint16_t version = 0;
  // last_char - first_char + 3 column starts in 72-dpi units: each character,
  // the missing symbol, the end.
  std::vector<uint16_t> locations;
  // last_char - first_char + 2 pairs: each character, then the missing symbol.
  std::vector<FontCharWidth> widths;
  // Version 1: one image at 72 dpi. Version 2: one per density record, in
  // the order of the records.
  std::vector<FontImage> images;
};

// True for a version 2 ('nfnt') font: density records and several images.
bool is_font_v2(const BitmapFont& font);

// The resource's bytes. The font is written as it stands: header fields,
// tables and images are not recomputed (the caller fills them consistently);
// only a version 2 font's glyph-bits offsets are computed here.
std::vector<uint8_t> encode_font(const BitmapFont& font);

// Reads n bytes at offset from the start of a font; false when it can't.
using FontReader = std::function<bool(uint64_t offset, void* buffer, size_t n)>;

// How far decode_font goes: the header and tables, every size and offset
// checked but no image read (enough to list a font of any size without
// reading it whole), or the images too.
enum class FontDepth { tables, images };

// Reads a resource written by anyone: any fontType 0x9xxx (version 2 when
// the 0x0200 bit is set), any number and order of densities. The image of a
// density d has ceil(fRectHeight * d / 72) rows of ceil(rowWords * d / 72)
// words, and images may not overlap one another or the tables. Every count,
// offset and size is checked against `size` before it is used, so nothing
// larger than the font is allocated; at FontDepth::tables the images get
// their sizes but no bits. Returns "" on success, else what is wrong in a
// few words ("header shorter than 26 bytes", "read error", ...), for the
// caller to put after the file's name; *font is left alone then.
std::string decode_font(const FontReader& read, uint64_t size, FontDepth depth, BitmapFont* font);

// The whole font from bytes in memory.
std::string decode_font(const uint8_t* data, size_t size, BitmapFont* font);

// Lays a font's characters out side by side, the way both versions share:
// cell_widths[i] is the width in 72-dpi pixels of character first_char + i,
// or -1 for one the font lacks, and the last is the missing symbol's. Fills
// first_char, last_char, the location and offset/width tables, row_words
// and owTLoc for the font's version (set font_type and rect_height first),
// and gives the font one blank image per density. Returns "" on success,
// else why no Palm font can address the image.
std::string font_lay_out(BitmapFont* font, int first_char, const std::vector<int>& cell_widths,
                         const std::vector<int>& densities);

// The owTLoc a font's layout needs (version 1: after the bit image and the
// location table; version 2: after the density records, one per image, and
// the location table). Set first_char, last_char, row_words, rect_height and,
// for version 2, the images first.
int16_t font_ow_t_loc(const BitmapFont& font);

// Whether the font has character c (in first..last and not (-1, -1)).
bool font_has_char(const BitmapFont& font, int c);

// Where pixel (x, y) of an image lies: its byte, and the bit in that byte.
inline size_t font_pixel_byte(const FontImage& image, int x, int y) {
  return size_t(y) * size_t(image.row_words) * 2 + size_t(x / 8);
}
inline uint8_t font_pixel_bit(int x) {
  return static_cast<uint8_t>(0x80 >> (x % 8));
}

// Whether pixel (x, y) of an image is set; false outside the image or past
// the end of its bits. Inline: pictures ask for every pixel of every glyph.
inline bool font_pixel(const FontImage& image, int x, int y) {
  if (x < 0 || y < 0 || x >= image.row_words * 16 || y >= image.rows) return false;
  size_t at = font_pixel_byte(image, x, y);
  return at < image.bits.size() && (image.bits[at] & font_pixel_bit(x)) != 0;
}

// Sets pixel (x, y), which must lie inside the image.
inline void set_font_pixel(FontImage* image, int x, int y) {
  image->bits[font_pixel_byte(*image, x, y)] |= font_pixel_bit(x);
}

// Where character c is drawn at an image's density: first column and width
// in that image's pixels (the 72-dpi columns scaled by density / 72). A
// character outside first..last, or one the font lacks, gives the missing
// symbol's columns.
struct GlyphColumns {
  int x = 0;
  int width = 0;
  bool missing = false;  // drawn with the missing symbol
  int advance = 0;       // pen advance in 72-dpi pixels (the table's width, never negative)
};
GlyphColumns glyph_columns(const BitmapFont& font, const FontImage& image, int c);

// The header both versions start with: 13 16-bit fields.
constexpr size_t kFontHeaderSize = 26;

// Whether a resource of this type holds a bitmap font: 'NFNT' or 'nfnt'.
bool is_font_resource_type(const uint8_t type[4]);

// Whether bytes start as a font's do: a whole header whose fontType is a
// font's. Only then is an entry worth reading whole to decode.
bool starts_like_font(const uint8_t* head, size_t size);

}  // namespace palm
