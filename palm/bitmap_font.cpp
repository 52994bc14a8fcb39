#include "bitmap_font.h"

#include <algorithm>
#include <cstring>

#include "layout.h"
#include "text.h"

namespace palm {

using base::format;

namespace {

// The 13 header fields, in file order, each an Int16.
constexpr int16_t BitmapFont::*kHeaderFields[] = {
    &BitmapFont::font_type,  &BitmapFont::first_char,  &BitmapFont::last_char,
    &BitmapFont::max_width,  &BitmapFont::kern_max,    &BitmapFont::n_descent,
    &BitmapFont::rect_width, &BitmapFont::rect_height, &BitmapFont::ow_t_loc,
    &BitmapFont::ascent,     &BitmapFont::descent,     &BitmapFont::leading,
    &BitmapFont::row_words};
constexpr size_t kOwTLocField = 16;       // byte offset of owTLoc, which counts from itself
constexpr size_t kV2HeaderSize = 30;      // + UInt16 version, UInt16 densityCount
constexpr size_t kDensityRecordSize = 6;  // Int16 density, UInt32 glyphBitsOffset
constexpr int16_t kFontTypeExtended = 0x0200;

void put_tables(std::vector<uint8_t>* out, const BitmapFont& font) {
  for (uint16_t loc : font.locations) append_field(out, loc);
  for (const FontCharWidth& w : font.widths) {
    out->push_back(static_cast<uint8_t>(w.offset));
    out->push_back(static_cast<uint8_t>(w.width));
  }
}

// A 72-dpi length at another density. Rounded up, so that a density that is
// not a multiple of 72 still holds every scaled column and row.
int64_t at_density(int64_t length72, int density) {
  return (length72 * density + 71) / 72;
}

std::string dpi(int density) {
  return std::to_string(density) + "-dpi image";
}

}  // namespace

bool is_font_v2(const BitmapFont& font) {
  return (font.font_type & kFontTypeExtended) != 0;
}

namespace {

// owTLoc before it is cut to its 16 bits. Palm OS finds the offset/width
// table at &owTLoc + owTLoc words in both versions, so in version 2 it counts
// the density records and the location table rather than a bit image, which
// lies behind the tables there.
int64_t ow_t_loc_words(const BitmapFont& font) {
  int64_t chars = int64_t{font.last_char} - font.first_char;
  return is_font_v2(font)
             ? (kV2HeaderSize - kOwTLocField) / 2 +
                   int64_t(kDensityRecordSize / 2) * int64_t(font.images.size()) + chars + 3
             : (kFontHeaderSize - kOwTLocField) / 2 + int64_t{font.row_words} * font.rect_height +
                   chars + 3;
}

}  // namespace

int16_t font_ow_t_loc(const BitmapFont& font) {
  return static_cast<int16_t>(ow_t_loc_words(font));
}

std::string font_lay_out(BitmapFont* font, int first_char, const std::vector<int>& cell_widths,
                         const std::vector<int>& densities) {
  font->first_char = static_cast<int16_t>(first_char);
  font->last_char = static_cast<int16_t>(first_char + int(cell_widths.size()) - 2);
  font->locations.clear();
  font->widths.clear();
  int64_t column = 0;
  for (int width : cell_widths) {
    font->locations.push_back(static_cast<uint16_t>(column));
    font->widths.push_back(width < 0 ? FontCharWidth{-1, -1}
                                     : FontCharWidth{0, static_cast<int8_t>(width)});
    column += std::max(width, 0);
  }
  font->locations.push_back(static_cast<uint16_t>(column));
  int64_t row_words = (column + 15) / 16;
  font->row_words = static_cast<int16_t>(row_words);
  font->images.clear();
  // The version 1 owTLoc counts the whole 72-dpi image, and the locations are
  // 16-bit columns: past either, the tables can't be found.
  BitmapFont v1 = *font;
  v1.font_type = kFontTypeV1;
  if (column > 0xFFFF || ow_t_loc_words(v1) > 32767)
    return "the characters' image (" + std::to_string(row_words) + " words by " +
           std::to_string(font->rect_height) + " rows) is more than a Palm font can address";
  for (int density : densities) {
    FontImage image{static_cast<int16_t>(density),
                    static_cast<int>(at_density(row_words, density)),
                    static_cast<int>(at_density(font->rect_height, density)),
                    {}};
    image.bits.resize(size_t(image.row_words) * size_t(image.rows) * 2);
    font->images.push_back(std::move(image));
  }
  font->ow_t_loc = font_ow_t_loc(*font);
  return "";
}

std::vector<uint8_t> encode_font(const BitmapFont& font) {
  std::vector<uint8_t> out;
  for (int16_t BitmapFont::*field : kHeaderFields)
    append_field(&out, static_cast<uint16_t>(font.*field));
  if (!is_font_v2(font)) {
    if (!font.images.empty())
      out.insert(out.end(), font.images[0].bits.begin(), font.images[0].bits.end());
    put_tables(&out, font);
    return out;
  }
  append_field<uint16_t>(&out, font.version);
  append_field<uint16_t>(&out, static_cast<uint16_t>(font.images.size()));
  size_t offset = kV2HeaderSize + kDensityRecordSize * font.images.size() +
                  2 * font.locations.size() + 2 * font.widths.size();
  for (const FontImage& image : font.images) {
    append_field<uint16_t>(&out, static_cast<uint16_t>(image.density));
    append_field<uint32_t>(&out, static_cast<uint32_t>(offset));
    offset += image.bits.size();
  }
  put_tables(&out, font);
  for (const FontImage& image : font.images)
    out.insert(out.end(), image.bits.begin(), image.bits.end());
  return out;
}

namespace {

// Sizes are in 64 bits: every product of two Int16 fits, and none is
// trusted until it has been compared with the font's size.

// Where a density's image starts, as the font says.
struct DensityRecord {
  int density;
  int64_t offset;
};

// The font's bytes as the decoder sees them: any n at any offset, checked
// against the size first.
struct FontBytes {
  const FontReader& read;
  int64_t size;
  std::string failed;  // set by the first read that fails
  bool get(int64_t offset, void* buffer, size_t n) {
    if (offset < 0 || offset + int64_t(n) > size) return false;
    if (n == 0 || read(uint64_t(offset), buffer, n)) return true;
    failed = "read error";
    return false;
  }
};

std::string read_header(FontBytes* in, BitmapFont* font) {
  uint8_t head[kFontHeaderSize];
  if (in->size < int64_t{kFontHeaderSize}) return "header shorter than 26 bytes";
  if (!in->get(0, head, sizeof head)) return in->failed;
  for (size_t i = 0; i < std::size(kHeaderFields); ++i)
    font->*kHeaderFields[i] = static_cast<int16_t>(read_field<uint16_t>(head + 2 * i));
  if (!starts_like_font(head, sizeof head))
    return "not a font (type " + format("0x%04X", read_field<uint16_t>(head)) + ")";
  if (font->first_char < 0 || font->last_char < font->first_char)
    return "bad character range " + std::to_string(font->first_char) + " to " +
           std::to_string(font->last_char);
  if (font->row_words < 0 || font->rect_height < 0) return "negative image size";
  return "";
}

// The images' records (version 1: the one image after the header) and where
// the location table starts after them.
std::string read_records(FontBytes* in, BitmapFont* font, std::vector<DensityRecord>* records,
                         int64_t* loc_at) {
  if (!is_font_v2(*font)) {
    const int64_t image72 = int64_t{font->row_words} * font->rect_height * 2;
    if (int64_t{kFontHeaderSize} + image72 > in->size) return "bit image past the end";
    *loc_at = int64_t{kFontHeaderSize} + image72;
    records->push_back({72, int64_t{kFontHeaderSize}});
    return "";
  }
  uint8_t counts[4];
  if (in->size < int64_t{kV2HeaderSize}) return "density records past the end";
  if (!in->get(kFontHeaderSize, counts, 4)) return in->failed;
  font->version = read_field<uint16_t>(counts);
  uint16_t count = read_field<uint16_t>(counts + 2);
  if (count == 0) return "no density records";
  *loc_at = kV2HeaderSize + int64_t{kDensityRecordSize} * count;
  if (*loc_at > in->size) return "density records past the end";
  std::vector<uint8_t> bytes(kDensityRecordSize * count);
  if (!in->get(kV2HeaderSize, bytes.data(), bytes.size())) return in->failed;
  for (size_t at = 0; at < bytes.size(); at += kDensityRecordSize)
    records->push_back({static_cast<int16_t>(read_field<uint16_t>(&bytes[at])),
                        read_field<uint32_t>(&bytes[at + 2])});
  return "";
}

// The location and offset/width tables; *tables_end is where the later of
// the two ends.
std::string read_tables(FontBytes* in, int64_t loc_at, BitmapFont* font, int64_t* tables_end) {
  const int64_t chars = int64_t{font->last_char} - font->first_char;
  if (loc_at + 2 * (chars + 3) > in->size) return "location table past the end";
  // owTLoc as unsigned: a large 72-dpi image pushes it past 32767 words.
  const int64_t ow_at = kOwTLocField + 2 * int64_t{static_cast<uint16_t>(font->ow_t_loc)};
  if (ow_at + 2 * (chars + 2) > in->size) return "offset/width table past the end";

  std::vector<uint8_t> bytes(size_t(chars + 3) * 2);
  if (!in->get(loc_at, bytes.data(), bytes.size())) return in->failed;
  font->locations.resize(static_cast<size_t>(chars + 3));
  for (size_t i = 0; i < font->locations.size(); ++i)
    font->locations[i] = read_field<uint16_t>(&bytes[2 * i]);
  if (!std::is_sorted(font->locations.begin(), font->locations.end()))
    return "locations out of order";
  if (font->locations.back() > int64_t{font->row_words} * 16)
    return "glyphs wider than the bit image";
  bytes.resize(size_t(chars + 2) * 2);
  if (!in->get(ow_at, bytes.data(), bytes.size())) return in->failed;
  font->widths.resize(static_cast<size_t>(chars + 2));
  for (size_t i = 0; i < font->widths.size(); ++i)
    font->widths[i] = {static_cast<int8_t>(bytes[2 * i]), static_cast<int8_t>(bytes[2 * i + 1])};
  *tables_end = std::max(loc_at + 2 * (chars + 3), ow_at + 2 * (chars + 2));
  return "";
}

// Images may come in any order but must not overlap one another or the
// tables; all are checked before any is read, so that what is read is
// bounded by the size of the font.
std::string read_images(FontBytes* in, const std::vector<DensityRecord>& records,
                        int64_t tables_end, FontDepth depth, BitmapFont* font) {
  std::vector<std::pair<int64_t, int64_t>> spans;  // start, end
  for (const DensityRecord& r : records) {
    if (r.density <= 0) return "bad density " + std::to_string(r.density);
    FontImage image;
    image.density = static_cast<int16_t>(r.density);
    image.rows = static_cast<int>(at_density(font->rect_height, r.density));
    image.row_words = static_cast<int>(at_density(font->row_words, r.density));
    int64_t bytes = int64_t{image.rows} * image.row_words * 2;
    if (r.offset + bytes > in->size) return dpi(r.density) + " past the end";
    if (is_font_v2(*font) && r.offset < tables_end && bytes > 0)
      return dpi(r.density) + " overlaps the tables";
    spans.push_back({r.offset, r.offset + bytes});
    font->images.push_back(std::move(image));
  }
  std::vector<std::pair<int64_t, int64_t>> sorted = spans;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i].first < sorted[i - 1].second) return "images overlap";
  for (size_t i = 0; i < spans.size() && depth == FontDepth::images; ++i) {
    font->images[i].bits.resize(size_t(spans[i].second - spans[i].first));
    if (!in->get(spans[i].first, font->images[i].bits.data(), font->images[i].bits.size()))
      return in->failed;
  }
  return "";
}

}  // namespace

std::string decode_font(const FontReader& read, uint64_t size, FontDepth depth,
                        BitmapFont* result) {
  BitmapFont font;
  FontBytes in{read, static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX / 4)), ""};
  std::vector<DensityRecord> records;
  int64_t loc_at = 0, tables_end = 0;
  std::string error = read_header(&in, &font);
  if (error.empty()) error = read_records(&in, &font, &records, &loc_at);
  if (error.empty()) error = read_tables(&in, loc_at, &font, &tables_end);
  if (error.empty()) error = read_images(&in, records, tables_end, depth, &font);
  if (error.empty()) *result = std::move(font);
  return error;
}

std::string decode_font(const uint8_t* data, size_t size, BitmapFont* font) {
  return decode_font(
      [data](uint64_t offset, void* buffer, size_t n) {
        memcpy(buffer, data + offset, n);
        return true;
      },
      size, FontDepth::images, font);
}

bool font_has_char(const BitmapFont& font, int c) {
  if (c < font.first_char || c > font.last_char) return false;
  size_t i = size_t(c - font.first_char);
  if (i >= font.widths.size()) return false;
  return !(font.widths[i].offset == -1 && font.widths[i].width == -1);
}

GlyphColumns glyph_columns(const BitmapFont& font, const FontImage& image, int c) {
  GlyphColumns g;
  size_t i;
  if (font_has_char(font, c)) {
    i = size_t(c - font.first_char);
  } else {
    g.missing = true;
    i = size_t(std::max(0, font.last_char - font.first_char + 1));
  }
  if (i + 1 >= font.locations.size() || i >= font.widths.size()) return g;
  int64_t from = int64_t{font.locations[i]} * image.density / 72;
  int64_t to = int64_t{font.locations[i + 1]} * image.density / 72;
  g.x = static_cast<int>(from);
  g.width = static_cast<int>(std::max<int64_t>(0, to - from));
  g.advance = std::max<int>(0, font.widths[i].width);
  return g;
}

bool is_font_resource_type(const uint8_t type[4]) {
  return memcmp(type, "NFNT", 4) == 0 || memcmp(type, "nfnt", 4) == 0;
}

bool starts_like_font(const uint8_t* head, size_t size) {
  return size >= kFontHeaderSize && (read_field<uint16_t>(head) & 0xF000) == 0x9000;
}

}  // namespace palm
