#include "build_font.h"

#include <algorithm>

#include "text.h"

using base::format;

namespace {

constexpr int kMaxWidth = 127;  // widths are signed bytes

int ceil_half(int v) {
  return v >= 0 ? (v + 1) / 2 : -((-v) / 2);
}

bool has_ink(const GlyphBitmap& g) {
  return g.present && g.width > 0 && g.height > 0;
}

void draw_ink(FontImage& image, const GlyphBitmap& g, int x0, int y0) {
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      if (g.ink[static_cast<size_t>(y) * g.width + x]) set_font_pixel(&image, x0 + x, y0 + y);
}

void draw_box(FontImage& image, int left, int top, int right, int bottom) {
  for (int x = left; x <= right; ++x) {
    set_font_pixel(&image, x, top);
    set_font_pixel(&image, x, bottom);
  }
  for (int y = top; y <= bottom; ++y) {
    set_font_pixel(&image, left, y);
    set_font_pixel(&image, right, y);
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

bool drawn(const GlyphPair& p) {
  return p.standard.present && p.twice.present;
}

// What the glyphs together need: the characters drawn, their cells, and
// the ascent and descent that hold every pixel.
struct Metrics {
  int first = -1, last = -1, ascent = 0, descent = 0, widest = 0, characters = 0;
  std::vector<Cell> cells;
  Cell missing;  // the face's own missing symbol's, when it has one
};

void take_ink(const GlyphPair& p, Metrics* m) {
  if (has_ink(p.standard)) {
    m->ascent = std::max(m->ascent, p.standard.top);
    m->descent = std::max(m->descent, p.standard.height - p.standard.top);
  }
  if (has_ink(p.twice)) {
    m->ascent = std::max(m->ascent, ceil_half(p.twice.top));
    m->descent = std::max(m->descent, ceil_half(p.twice.height - p.twice.top));
  }
}

std::string measure(const std::vector<GlyphPair>& glyphs, int first_code, const GlyphPair* missing,
                    Metrics* m) {
  m->cells.assign(glyphs.size(), Cell{});
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphPair& p = glyphs[i];
    if (!drawn(p)) continue;
    int code = first_code + static_cast<int>(i);
    if (m->first < 0) m->first = code;
    m->last = code;
    ++m->characters;
    m->cells[i] = cell_for(p);
    if (m->cells[i].width > kMaxWidth)
      return "character " + format("0x%02X", code) + " would be " +
             std::to_string(m->cells[i].width) + " pixels wide, more than a Palm font's " +
             std::to_string(kMaxWidth);
    m->widest = std::max(m->widest, m->cells[i].width);
    take_ink(p, m);
  }
  if (missing) {
    m->missing = cell_for(*missing);
    if (m->missing.width > kMaxWidth)
      return "the missing symbol would be " + std::to_string(m->missing.width) +
             " pixels wide, more than a Palm font's " + std::to_string(kMaxWidth);
    m->widest = std::max(m->widest, m->missing.width);
    take_ink(*missing, m);
  }
  if (m->first < 0 || m->ascent + m->descent <= 0)
    return "the face draws none of the set's characters";
  // Ink wholly below or above the baseline still leaves the other side at 0.
  m->ascent = std::max(m->ascent, 0);
  m->descent = std::max(m->descent, 0);
  return "";
}

// Every drawn glyph into its cell at both densities, and after the last
// character the missing symbol: the face's own, or an open box three quarters
// of the ascent high.
void draw_glyphs(const std::vector<GlyphPair>& glyphs, int first_code, const GlyphPair* missing,
                 const Metrics& m, int box_height, BitmapFont* font) {
  FontImage& standard = font->images[0];
  FontImage& twice = font->images[1];
  for (int code = m.first; code <= m.last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    const GlyphPair& p = glyphs[i];
    if (!drawn(p)) continue;
    int x = font->locations[static_cast<size_t>(code - m.first)] + m.cells[i].shift;
    if (has_ink(p.standard))
      draw_ink(standard, p.standard, x + p.standard.left, m.ascent - p.standard.top);
    if (has_ink(p.twice))
      draw_ink(twice, p.twice, 2 * x + p.twice.left, 2 * m.ascent - p.twice.top);
  }
  int box_column = font->locations[font->locations.size() - 2];
  int box_width = font->widths.back().width;
  if (missing) {
    int x = box_column + m.missing.shift;
    if (has_ink(missing->standard))
      draw_ink(standard, missing->standard, x + missing->standard.left,
               m.ascent - missing->standard.top);
    if (has_ink(missing->twice))
      draw_ink(twice, missing->twice, 2 * x + missing->twice.left,
               2 * m.ascent - missing->twice.top);
    return;
  }
  int box_top = m.ascent - box_height;
  draw_box(standard, box_column + 1, box_top, box_column + box_width - 2, m.ascent - 1);
  draw_box(twice, 2 * box_column + 2, 2 * box_top, 2 * (box_column + box_width) - 3,
           2 * m.ascent - 1);
}

}  // namespace

std::string build_fonts(const std::vector<GlyphPair>& glyphs, int first_code, int line,
                        BuiltFonts* fonts, const GlyphPair* missing) {
  Metrics m;
  std::string error = measure(glyphs, first_code, missing, &m);
  if (!error.empty()) return error;
  int height = m.ascent + m.descent;
  int box_height = std::max(1, (m.ascent * 3 + 2) / 4);
  int box_width = missing ? m.missing.width : std::max(3, (box_height + 1) / 2 + 2);

  std::vector<int> cell_widths;
  for (int code = m.first; code <= m.last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    cell_widths.push_back(drawn(glyphs[i]) ? m.cells[i].width : -1);
  }
  cell_widths.push_back(box_width);

  BitmapFont& v1 = fonts->v1;
  v1 = BitmapFont{};
  v1.max_width = v1.rect_width = static_cast<int16_t>(std::max(m.widest, box_width));
  v1.n_descent = static_cast<int16_t>(-m.descent);
  v1.rect_height = static_cast<int16_t>(height);
  v1.ascent = static_cast<int16_t>(m.ascent);
  v1.descent = static_cast<int16_t>(m.descent);
  v1.leading = static_cast<int16_t>(std::max(0, line - height));
  BitmapFont& v2 = fonts->v2;
  v2 = v1;
  v2.font_type = kFontTypeV2;
  v2.version = 1;
  // The same columns in both; the 72-dpi image is drawn once and shared.
  error = font_lay_out(&v2, m.first, cell_widths, {72, 144});
  if (!error.empty()) return error;
  font_lay_out(&v1, m.first, cell_widths, {});
  draw_glyphs(glyphs, first_code, missing, m, box_height, &v2);
  v1.images = {v2.images[0]};
  fonts->characters = m.characters;
  return "";
}
