#include "build_font.h"

#include <algorithm>

namespace {

constexpr int kMaxWidth = 127;  // widths are signed bytes

std::string hex_code(int code) {
  const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[code >> 4 & 15] + digits[code & 15];
}

int ceil_half(int v) {
  return v >= 0 ? (v + 1) / 2 : -((-v) / 2);
}

bool has_ink(const GlyphBitmap& g) {
  return g.present && g.width > 0 && g.height > 0;
}

void set_pixel(FontImage& image, int x, int y) {
  size_t at = static_cast<size_t>(y) * image.row_words * 2 + x / 8;
  image.bits[at] = static_cast<uint8_t>(image.bits[at] | 0x80 >> (x % 8));
}

void draw_ink(FontImage& image, const GlyphBitmap& g, int x0, int y0) {
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      if (g.ink[static_cast<size_t>(y) * g.width + x]) set_pixel(image, x0 + x, y0 + y);
}

void draw_box(FontImage& image, int left, int top, int right, int bottom) {
  for (int x = left; x <= right; ++x) {
    set_pixel(image, x, top);
    set_pixel(image, x, bottom);
  }
  for (int y = top; y <= bottom; ++y) {
    set_pixel(image, left, y);
    set_pixel(image, right, y);
  }
}

// Where a character's ink goes: shifted right by `shift` 72-dpi pixels when
// it reaches left of the pen, in a cell `width` pixels wide.
struct Cell {
  int shift = 0;
  int width = 0;
};

Cell cell_for(const GlyphPair& p) {
  Cell c;
  if (has_ink(p.standard)) c.shift = std::max(c.shift, -p.standard.left);
  if (has_ink(p.twice)) c.shift = std::max(c.shift, ceil_half(-p.twice.left));
  c.width = std::max(0, p.standard.advance);
  if (has_ink(p.standard))
    c.width = std::max(c.width, p.standard.left + c.shift + p.standard.width);
  if (has_ink(p.twice))
    c.width = std::max(c.width, ceil_half(p.twice.left + 2 * c.shift + p.twice.width));
  return c;
}

}  // namespace

std::string build_fonts(const std::vector<GlyphPair>& glyphs, int first_code, int line,
                        BuiltFonts* fonts, const GlyphPair* missing) {
  int first = -1, last = -1, ascent = 0, descent = 0, widest = 0, characters = 0;
  std::vector<Cell> cells(glyphs.size());
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphPair& p = glyphs[i];
    if (!p.standard.present || !p.twice.present) continue;
    int code = first_code + static_cast<int>(i);
    if (first < 0) first = code;
    last = code;
    ++characters;
    cells[i] = cell_for(p);
    if (cells[i].width > kMaxWidth)
      return "character " + hex_code(code) + " would be " + std::to_string(cells[i].width) +
             " pixels wide, more than a Palm font's " + std::to_string(kMaxWidth);
    widest = std::max(widest, cells[i].width);
    if (has_ink(p.standard)) {
      ascent = std::max(ascent, p.standard.top);
      descent = std::max(descent, p.standard.height - p.standard.top);
    }
    if (has_ink(p.twice)) {
      ascent = std::max(ascent, ceil_half(p.twice.top));
      descent = std::max(descent, ceil_half(p.twice.height - p.twice.top));
    }
  }
  Cell missing_cell;
  if (missing) {
    missing_cell = cell_for(*missing);
    if (missing_cell.width > kMaxWidth)
      return "the missing symbol would be " + std::to_string(missing_cell.width) +
             " pixels wide, more than a Palm font's " + std::to_string(kMaxWidth);
    widest = std::max(widest, missing_cell.width);
    if (has_ink(missing->standard)) {
      ascent = std::max(ascent, missing->standard.top);
      descent = std::max(descent, missing->standard.height - missing->standard.top);
    }
    if (has_ink(missing->twice)) {
      ascent = std::max(ascent, ceil_half(missing->twice.top));
      descent = std::max(descent, ceil_half(missing->twice.height - missing->twice.top));
    }
  }
  if (first < 0 || ascent + descent <= 0) return "the face draws none of the set's characters";
  // Ink wholly below or above the baseline still leaves the other side at 0.
  ascent = std::max(ascent, 0);
  descent = std::max(descent, 0);
  int height = ascent + descent;

  // The missing symbol: an open box three quarters of the ascent high.
  int box_height = std::max(1, (ascent * 3 + 2) / 4);
  int box_width = missing ? missing_cell.width : std::max(3, (box_height + 1) / 2 + 2);
  widest = std::max(widest, box_width);

  std::vector<uint16_t> locations;
  std::vector<FontCharWidth> widths;
  int column = 0;
  for (int code = first; code <= last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    locations.push_back(static_cast<uint16_t>(column));
    if (glyphs[i].standard.present && glyphs[i].twice.present) {
      widths.push_back({0, static_cast<int8_t>(cells[i].width)});
      column += cells[i].width;
    } else {
      widths.push_back({-1, -1});
    }
  }
  locations.push_back(static_cast<uint16_t>(column));
  widths.push_back({0, static_cast<int8_t>(box_width)});
  int box_column = column;
  column += box_width;
  locations.push_back(static_cast<uint16_t>(column));

  int row_words = (column + 15) / 16;
  long ow_t_loc = static_cast<long>(row_words) * height + (last - first) + 8;
  if (ow_t_loc > 32767)
    return "the characters' image (" + std::to_string(row_words) + " words by " +
           std::to_string(height) + " rows) is more than a Palm font can address";

  FontImage standard{72, row_words, height,
                     std::vector<uint8_t>(static_cast<size_t>(row_words) * 2 * height)};
  FontImage twice{144, 2 * row_words, 2 * height,
                  std::vector<uint8_t>(static_cast<size_t>(row_words) * 8 * height)};
  for (int code = first; code <= last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    const GlyphPair& p = glyphs[i];
    if (!p.standard.present || !p.twice.present) continue;
    int x = locations[static_cast<size_t>(code - first)];
    if (has_ink(p.standard))
      draw_ink(standard, p.standard, x + cells[i].shift + p.standard.left, ascent - p.standard.top);
    if (has_ink(p.twice))
      draw_ink(twice, p.twice, 2 * (x + cells[i].shift) + p.twice.left, 2 * ascent - p.twice.top);
  }
  if (missing) {
    const Cell& c = missing_cell;
    if (has_ink(missing->standard))
      draw_ink(standard, missing->standard, box_column + c.shift + missing->standard.left,
               ascent - missing->standard.top);
    if (has_ink(missing->twice))
      draw_ink(twice, missing->twice, 2 * (box_column + c.shift) + missing->twice.left,
               2 * ascent - missing->twice.top);
  } else {
    int box_top = ascent - box_height;
    draw_box(standard, box_column + 1, box_top, box_column + box_width - 2, ascent - 1);
    draw_box(twice, 2 * box_column + 2, 2 * box_top, 2 * (box_column + box_width) - 3,
             2 * ascent - 1);
  }

  BitmapFont& v1 = fonts->v1;
  v1 = BitmapFont{};
  v1.font_type = kFontTypeV1;
  v1.first_char = static_cast<int16_t>(first);
  v1.last_char = static_cast<int16_t>(last);
  v1.max_width = static_cast<int16_t>(widest);
  v1.kern_max = 0;
  v1.n_descent = static_cast<int16_t>(-descent);
  v1.rect_width = static_cast<int16_t>(widest);
  v1.rect_height = static_cast<int16_t>(height);
  v1.ow_t_loc = static_cast<int16_t>(ow_t_loc);
  v1.ascent = static_cast<int16_t>(ascent);
  v1.descent = static_cast<int16_t>(descent);
  v1.leading = static_cast<int16_t>(std::max(0, line - height));
  v1.row_words = static_cast<int16_t>(row_words);
  v1.locations = std::move(locations);
  v1.widths = std::move(widths);

  fonts->v2 = v1;
  fonts->v2.font_type = kFontTypeV2;
  fonts->v2.version = 1;
  fonts->v2.images = {standard, std::move(twice)};
  // Version 2 keeps its tables before the images, so owTLoc counts other words.
  fonts->v2.ow_t_loc = font_ow_t_loc(fonts->v2);
  v1.images = {std::move(standard)};
  fonts->characters = characters;
  return "";
}
