#include "build_font.h"

#include <algorithm>

#include "text.h"

using namespace palm;

using base::format;

namespace {

constexpr int kMaxWidth = 127;    // widths are signed bytes
constexpr int kMaxHeight = 32767;  // fRectHeight, ascent and descent are Int16

// Glyph metrics come from font files as they are: every sum is taken in 64
// bits and compared with the limits before anything is narrowed.
int64_t ceil_half(int64_t v) {
  return v >= 0 ? (v + 1) / 2 : -((-v) / 2);
}

bool has_ink(const GlyphBitmap& g) {
  return g.present && g.width > 0 && g.height > 0;
}

void draw_ink(FontImage& image, const GlyphBitmap& g, int x0, int y0) {
  if (g.ink.size() != static_cast<size_t>(g.width) * g.height) return;  // refused before
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
  int64_t shift = 0;
  int64_t width = 0;
};

Cell cell_for(const GlyphPair& p) {
  Cell c;
  const GlyphBitmap &a = p.standard, &b = p.twice;
  if (has_ink(a)) c.shift = std::max<int64_t>(c.shift, -int64_t{a.left});
  if (has_ink(b)) c.shift = std::max(c.shift, ceil_half(-int64_t{b.left}));
  c.width = std::max(0, a.advance);
  if (has_ink(a)) c.width = std::max(c.width, a.left + c.shift + a.width);
  if (has_ink(b)) c.width = std::max(c.width, ceil_half(b.left + 2 * c.shift + b.width));
  return c;
}

bool drawn(const GlyphPair& p) {
  return p.standard.present && p.twice.present;
}

// What the glyphs together need: the characters drawn, their cells, and
// the ascent and descent that hold every pixel, with the characters that
// reach highest and lowest.
struct Metrics {
  int first = -1, last = -1, widest = 0, characters = 0;
  int64_t ascent = 0, descent = 0;
  std::string highest, lowest;  // "character 0x41", "the missing symbol"
  std::vector<Cell> cells;
  Cell missing;  // the face's own missing symbol's, when it has one
};

void take_ink(const GlyphPair& p, const std::string& name, Metrics* m) {
  auto reach = [&](int64_t up, int64_t down) {
    if (up > m->ascent) m->ascent = up, m->highest = name;
    if (down > m->descent) m->descent = down, m->lowest = name;
  };
  if (has_ink(p.standard)) reach(p.standard.top, int64_t{p.standard.height} - p.standard.top);
  if (has_ink(p.twice))
    reach(ceil_half(p.twice.top), ceil_half(int64_t{p.twice.height} - p.twice.top));
}

std::string too_wide(const std::string& name, int64_t width) {
  return name + " would be " + std::to_string(width) + " pixels wide, more than a Palm font's " +
         std::to_string(kMaxWidth);
}

// Why no Palm font is high enough for the ink, naming the characters that
// reach highest and lowest, or "".
std::string too_high(const Metrics& m) {
  int64_t height = m.ascent + m.descent;
  if (height <= kMaxHeight) return "";
  std::string above = m.highest + " reaches " + std::to_string(m.ascent) + " above the baseline";
  std::string reach = m.descent == 0 ? above
                      : m.ascent == 0
                          ? m.lowest + " reaches " + std::to_string(m.descent) + " below the baseline"
                          : above + ", " + m.lowest + " " + std::to_string(m.descent) + " below";
  return "the font would be " + std::to_string(height) + " pixels high (" + reach +
         "), more than a Palm font's " + std::to_string(kMaxHeight);
}

std::string measure(const std::vector<GlyphPair>& glyphs, int first_code, const GlyphPair* missing,
                    FontLine declared, Metrics* m) {
  m->cells.assign(glyphs.size(), Cell{});
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphPair& p = glyphs[i];
    if (!drawn(p)) continue;
    int code = first_code + static_cast<int>(i);
    if (m->first < 0) m->first = code;
    m->last = code;
    ++m->characters;
    m->cells[i] = cell_for(p);
    std::string name = "character " + format("0x%02X", code);
    if (m->cells[i].width > kMaxWidth) return too_wide(name, m->cells[i].width);
    m->widest = std::max(m->widest, static_cast<int>(m->cells[i].width));
    take_ink(p, name, m);
  }
  if (missing) {
    m->missing = cell_for(*missing);
    if (m->missing.width > kMaxWidth) return too_wide("the missing symbol", m->missing.width);
    m->widest = std::max(m->widest, static_cast<int>(m->missing.width));
    take_ink(*missing, "the missing symbol", m);
  }
  if (m->first < 0 || m->ascent + m->descent <= 0)
    return "the face draws none of the set's characters";
  m->ascent = std::max<int64_t>(m->ascent, std::clamp(declared.ascent, 0, kMaxHeight));
  m->descent = std::max<int64_t>(m->descent, std::clamp(declared.descent, 0, kMaxHeight));
  return too_high(*m);
}

// The drawn box's rows at 72 dpi: standing on the baseline three quarters
// of the ascent high, or down from the top through the descent in a font
// with no ink above the baseline.
struct BoxRows {
  int top = 0, bottom = 0;
};

BoxRows box_rows(const Metrics& m) {
  int ascent = static_cast<int>(m.ascent), descent = static_cast<int>(m.descent);
  if (ascent == 0) return {0, descent - 1};
  return {ascent - std::max(1, (ascent * 3 + 2) / 4), ascent - 1};
}

// A character's ink at both densities, its cell's ink starting `x` 72-dpi
// pixels in. In 64 bits: a shift made for one density's far-left ink may be
// as large as the other's offset, and only their sum is a column.
void draw_pair(FontImage& standard, FontImage& twice, const GlyphPair& p, int64_t x, int ascent) {
  if (has_ink(p.standard))
    draw_ink(standard, p.standard, static_cast<int>(x + p.standard.left), ascent - p.standard.top);
  if (has_ink(p.twice))
    draw_ink(twice, p.twice, static_cast<int>(2 * x + p.twice.left), 2 * ascent - p.twice.top);
}

// Every drawn glyph into its cell at both densities, and after the last
// character the missing symbol: the face's own, or an open box.
void draw_glyphs(const std::vector<GlyphPair>& glyphs, int first_code, const GlyphPair* missing,
                 const Metrics& m, BitmapFont* font) {
  FontImage& standard = font->images[0];
  FontImage& twice = font->images[1];
  int ascent = static_cast<int>(m.ascent);
  for (int code = m.first; code <= m.last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    const GlyphPair& p = glyphs[i];
    if (!drawn(p)) continue;
    draw_pair(standard, twice, p, font->locations[static_cast<size_t>(code - m.first)] + m.cells[i].shift,
              ascent);
  }
  int box_column = font->locations[font->locations.size() - 2];
  int box_width = font->widths.back().width;
  if (missing) {
    draw_pair(standard, twice, *missing, box_column + m.missing.shift, ascent);
    return;
  }
  BoxRows box = box_rows(m);
  draw_box(standard, box_column + 1, box.top, box_column + box_width - 2, box.bottom);
  draw_box(twice, 2 * box_column + 2, 2 * box.top, 2 * (box_column + box_width) - 3,
           2 * box.bottom + 1);
}

}  // namespace

std::string build_fonts(const std::vector<GlyphPair>& glyphs, int first_code, int line,
                        BuiltFonts* fonts, const GlyphPair* missing, FontLine declared) {
  Metrics m;
  std::string error = measure(glyphs, first_code, missing, declared, &m);
  if (!error.empty()) return error;
  // measure() has held every figure to the Int16 fields' range.
  int height = static_cast<int>(m.ascent + m.descent);
  BoxRows box = box_rows(m);
  // Half as wide as high, within a column a Palm font can hold.
  int box_width = missing ? static_cast<int>(m.missing.width)
                          : std::clamp((box.bottom - box.top + 2) / 2 + 2, 3, kMaxWidth);

  std::vector<int> cell_widths;
  for (int code = m.first; code <= m.last; ++code) {
    size_t i = static_cast<size_t>(code - first_code);
    cell_widths.push_back(drawn(glyphs[i]) ? static_cast<int>(m.cells[i].width) : -1);
  }
  cell_widths.push_back(box_width);

  BitmapFont& v1 = fonts->v1;
  v1 = BitmapFont{};
  v1.max_width = v1.rect_width = static_cast<int16_t>(std::max(m.widest, box_width));
  v1.n_descent = static_cast<int16_t>(-m.descent);
  v1.rect_height = static_cast<int16_t>(height);
  v1.ascent = static_cast<int16_t>(m.ascent);
  v1.descent = static_cast<int16_t>(m.descent);
  v1.leading = static_cast<int16_t>(std::clamp<int64_t>(int64_t{line} - height, 0, kMaxHeight));
  BitmapFont& v2 = fonts->v2;
  v2 = v1;
  v2.font_type = kFontTypeV2;
  v2.version = 1;
  // The same columns in both; the 72-dpi image is drawn once and shared.
  error = font_lay_out(&v2, m.first, cell_widths, {72, 144});
  if (!error.empty()) return error;
  font_lay_out(&v1, m.first, cell_widths, {});
  draw_glyphs(glyphs, first_code, missing, m, &v2);
  v1.images = {v2.images[0]};
  fonts->characters = m.characters;
  return "";
}
