#include "font_summary.h"

#include <cstdio>

#include "bitmap_font.h"

namespace {

constexpr size_t kHeaderBytes = 26;
constexpr int64_t kOwTLocField = 16;       // owTLoc counts words from itself
constexpr size_t kDensityCountField = 28;  // version 2: after UInt16 version
constexpr size_t kDensityRecords = 30;
constexpr size_t kDensityRecordSize = 6;  // Int16 density, UInt32 glyphBitsOffset

int16_t field(const uint8_t* p, size_t at) {
  return static_cast<int16_t>(p[at] << 8 | p[at + 1]);
}

uint32_t field32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

std::string hex4(unsigned v) {
  char text[8];
  snprintf(text, sizeof text, "0x%04X", v & 0xFFFF);
  return text;
}

}  // namespace

std::string summarize_font(const FontBytesReader& read, uint64_t size, FontSummary* summary) {
  uint8_t head[kHeaderBytes];
  if (size < kHeaderBytes) return "header shorter than 26 bytes";
  if (!read(0, head, kHeaderBytes)) return "read error";
  unsigned type = static_cast<uint16_t>(field(head, 0));
  if ((type & 0xF000) != 0x9000) return "not a font (type " + hex4(type) + ")";
  FontSummary s;
  s.v2 = (type & 0x0200) != 0;
  s.first_char = field(head, 2);
  s.last_char = field(head, 4);
  s.rect_height = field(head, 14);
  s.ascent = field(head, 18);
  const int64_t row_words = field(head, 24), ow_t_loc = static_cast<uint16_t>(field(head, 16));
  if (s.first_char < 0 || s.last_char < s.first_char)
    return "bad character range " + std::to_string(s.first_char) + " to " +
           std::to_string(s.last_char);
  if (row_words < 0 || s.rect_height < 0) return "negative image size";

  const int64_t chars = int64_t{s.last_char} - s.first_char, total = static_cast<int64_t>(size);
  int64_t loc_at = kHeaderBytes;
  std::vector<std::pair<int, int64_t>> images;  // density, offset
  if (!s.v2) {
    if (loc_at + row_words * s.rect_height * 2 > total) return "bit image past the end";
    loc_at += row_words * s.rect_height * 2;
    images.push_back({72, int64_t{kHeaderBytes}});
  } else {
    uint8_t count_bytes[2];
    if (size < kDensityRecords) return "density records past the end";
    if (!read(kDensityCountField, count_bytes, 2)) return "read error";
    int64_t count = static_cast<uint16_t>(field(count_bytes, 0));
    if (count == 0) return "no density records";
    loc_at = kDensityRecords + kDensityRecordSize * count;
    if (loc_at > total) return "density records past the end";
    std::vector<uint8_t> records(static_cast<size_t>(count) * kDensityRecordSize);
    if (!read(kDensityRecords, records.data(), records.size())) return "read error";
    for (size_t i = 0; i < records.size(); i += kDensityRecordSize)
      images.push_back({field(records.data(), i), field32(&records[i + 2])});
  }
  if (loc_at + 2 * (chars + 3) > total) return "location table past the end";
  const int64_t ow_at = kOwTLocField + 2 * ow_t_loc;
  if (ow_at + 2 * (chars + 2) > total) return "offset/width table past the end";
  for (const auto& [density, offset] : images) {
    if (density <= 0) return "bad density " + std::to_string(density);
    int64_t rows = (int64_t{s.rect_height} * density + 71) / 72;
    int64_t words = (row_words * density + 71) / 72;
    if (offset + rows * words * 2 > total) return std::to_string(density) + "-dpi image past the end";
    s.densities.push_back(density);
  }

  std::vector<uint8_t> widths(static_cast<size_t>(chars + 1) * 2);
  if (!read(static_cast<uint64_t>(ow_at), widths.data(), widths.size())) return "read error";
  for (size_t i = 0; i < widths.size(); i += 2)
    s.present += !(widths[i] == 0xFF && widths[i + 1] == 0xFF);
  *summary = std::move(s);
  return "";
}
