#include "font_picture.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <stb_image_write.h>

namespace palm {

namespace {

uint8_t luminance(uint32_t rgb) {
  uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  return static_cast<uint8_t>((r * 299 + g * 587 + b * 114 + 500) / 1000);
}

// A 72-dpi length in an image's pixels, as glyph_columns scales columns.
int at_density(int64_t length72, const FontImage& image) {
  return static_cast<int>(length72 * image.density / 72);
}

// The first and end index of the `count` squares of `scale` pixels from
// `at` that fall inside 0..limit: the work stays within the canvas whatever
// the font's sizes.
std::pair<int, int> visible(int64_t at, int count, int scale, int limit) {
  int64_t first = at >= 0 ? 0 : (-at) / scale;
  int64_t end = limit > at ? (limit - at + scale - 1) / scale : 0;
  return {static_cast<int>(std::min<int64_t>(first, count)),
          static_cast<int>(std::min<int64_t>(end, count))};
}

void draw_glyph(Canvas* canvas, int x, int y, const FontImage& image, const GlyphColumns& g,
                int scale, uint32_t ink) {
  auto [row0, row1] = visible(y, image.rows, scale, canvas->height);
  auto [col0, col1] = visible(x, g.width, scale, canvas->width);
  // Columns outside the image's rows have no ink (as font_pixel has it); the
  // ones inside are read from the row's bytes directly.
  const size_t row_bytes = size_t(std::max(0, image.row_words)) * 2;
  col0 = int(std::max<int64_t>(col0, -int64_t{g.x}));
  for (int row = row0; row < row1; ++row) {
    size_t at = size_t(row) * row_bytes;
    size_t held = at < image.bits.size() ? std::min(row_bytes, image.bits.size() - at) : 0;
    const int end_col = int(std::min<int64_t>(col1, int64_t(held) * 8 - g.x));
    const uint8_t* bits = held ? &image.bits[at] : nullptr;
    auto on = [&](int col) { return (bits[(g.x + col) >> 3] & (0x80 >> ((g.x + col) & 7))) != 0; };
    // A run of ink along a row is one rectangle.
    for (int col = col0; col < end_col;) {
      if (!on(col)) {
        ++col;
        continue;
      }
      int end = col + 1;
      while (end < end_col && on(end)) ++end;
      fill_rect(canvas, x + col * scale, y + row * scale, (end - col) * scale, scale, ink);
      col = end;
    }
  }
}

// Pictures of a few flat greys compress best with no row filter, which is
// also the fastest; where stb compresses, they lose little with its shortest
// match search. Nothing else in the programs writes PNG: the settings are
// set once, before main.
[[maybe_unused]] const bool kPngSettings =
    (stbi_write_force_png_filter = 0, stbi_write_png_compression_level = 5, true);

void append_png(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

Canvas make_canvas(int64_t width, int64_t height, int channels, uint32_t background) {
  Canvas canvas;
  canvas.channels = channels == 1 ? 1 : 3;
  width = std::max<int64_t>(0, width);
  height = std::max<int64_t>(0, height);
  if (width * height > kMaxCanvasPixels) return canvas;
  canvas.width = static_cast<int>(width);
  canvas.height = static_cast<int>(height);
  canvas.pixels.resize(size_t(canvas.width) * canvas.height * canvas.channels);
  fill_rect(&canvas, 0, 0, canvas.width, canvas.height, background);
  return canvas;
}

void fill_rect(Canvas* canvas, int x, int y, int width, int height, uint32_t colour) {
  int x0 = std::max(0, x), x1 = std::min(canvas->width, x + width);
  int y0 = std::max(0, y), y1 = std::min(canvas->height, y + height);
  if (x0 >= x1 || y0 >= y1) return;
  // The first row pixel by pixel, the others copies of it.
  const size_t stride = size_t(canvas->width) * canvas->channels;
  const size_t span = size_t(x1 - x0) * canvas->channels;
  uint8_t* first = &canvas->pixels[size_t(y0) * stride + size_t(x0) * canvas->channels];
  if (canvas->channels == 1) {
    memset(first, luminance(colour), span);
  } else {
    const uint8_t rgb[3] = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)};
    for (size_t i = 0; i < span; i += 3) memcpy(first + i, rgb, 3);
  }
  for (int row = y0 + 1; row < y1; ++row) memcpy(first + size_t(row - y0) * stride, first, span);
}

uint32_t canvas_pixel(const Canvas& canvas, int x, int y) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return 0;
  const uint8_t* p = &canvas.pixels[(size_t(y) * canvas.width + x) * canvas.channels];
  if (canvas.channels == 1) return p[0] * 0x010101u;
  return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

int picture_scale(const FontImage& image, int scale72) {
  if (image.density <= 0) return std::max(1, scale72);
  return std::max(1, (scale72 * 72 + image.density / 2) / image.density);
}

int text_width(const BitmapFont& font, const FontImage& image, std::string_view text, int scale) {
  // The pen's end, or further where the last image reaches beyond it.
  int64_t pen72 = 0, right = 0;
  for (unsigned char c : text) {
    GlyphColumns g = glyph_columns(font, image, c);
    right = std::max<int64_t>(right, at_density(pen72, image) + int64_t{g.width});
    pen72 += g.advance;
  }
  return static_cast<int>(
      std::min<int64_t>(INT32_MAX, std::max<int64_t>(right, at_density(pen72, image)) * scale));
}

int draw_text(Canvas* canvas, int x, int y, const BitmapFont& font, const FontImage& image,
              std::string_view text, int scale, uint32_t ink) {
  // The pen is kept in 72-dpi pixels, so that densities which are not a
  // multiple of 72 do not gather rounding errors along the line.
  int64_t pen72 = 0;
  for (unsigned char c : text) {
    GlyphColumns g = glyph_columns(font, image, c);
    draw_glyph(canvas, x + at_density(pen72, image) * scale, y, image, g, scale, ink);
    pen72 += g.advance;
  }
  return x + at_density(pen72, image) * scale;
}

Canvas draw_sample(const BitmapFont& font, std::string_view text, const PictureOptions& options) {
  std::vector<Canvas> lines;
  for (const FontImage& image : font.images) {
    int scale = picture_scale(image, options.scale72);
    int64_t line = int64_t{image.rows} + at_density(std::max<int16_t>(0, font.leading), image);
    Canvas canvas = make_canvas(text_width(font, image, text, scale), line * scale,
                                options.channels, kPictureWhite);
    if (canvas.width == 0 && !text.empty()) return make_canvas(0, 0, options.channels, 0);
    draw_text(&canvas, 0, 0, font, image, text, scale, kPictureInk);
    lines.push_back(std::move(canvas));
  }
  return stack_canvases(lines, options.gap, kPictureWhite);
}

namespace {

// What a glyph sheet holds: the characters drawn and the rows of codes that
// have any, `columns` codes a row.
struct SheetRows {
  int columns = 16;
  std::vector<int> chars, code_rows;
};

SheetRows sheet_rows(const BitmapFont& font, const PictureOptions& options) {
  SheetRows s;
  s.columns = options.columns > 0 ? options.columns : 16;
  for (int c = font.first_char; c <= font.last_char; ++c) {
    if (!font_has_char(font, c)) continue;
    s.chars.push_back(c);
    if (s.code_rows.empty() || s.code_rows.back() != c / s.columns)
      s.code_rows.push_back(c / s.columns);
  }
  return s;
}

// One image's block of the sheet: a cell is the widest glyph with a pixel of
// room around it; a grid line between cells and around them.
struct SheetBlock {
  int scale = 1;
  int64_t cell_w = 0, cell_h = 0, width = 0, height = 0;
};

SheetBlock sheet_block(const BitmapFont& font, const FontImage& image, const SheetRows& s,
                       const PictureOptions& options) {
  SheetBlock b;
  b.scale = picture_scale(image, options.scale72);
  int widest = 1;
  for (int c : s.chars) {
    GlyphColumns g = glyph_columns(font, image, c);
    widest = std::max({widest, g.width, at_density(g.advance, image)});
  }
  b.cell_w = int64_t{widest} * b.scale + 2;
  b.cell_h = int64_t{image.rows} * b.scale + 2;
  b.width = s.columns * (b.cell_w + 1) + 1;
  b.height = int64_t(s.code_rows.size()) * (b.cell_h + 1) + 1;
  return b;
}

}  // namespace

namespace {

// The sheet's blocks, one per image, and the size of the whole.
struct Sheet {
  SheetRows rows;
  std::vector<SheetBlock> blocks;
  int64_t width = 0, height = 0;
};

Sheet plan_sheet(const BitmapFont& font, const PictureOptions& options) {
  Sheet sheet;
  sheet.rows = sheet_rows(font, options);
  for (const FontImage& image : font.images) {
    SheetBlock b = sheet_block(font, image, sheet.rows, options);
    sheet.width = std::max(sheet.width, b.width);
    sheet.height += b.height;
    sheet.blocks.push_back(b);
  }
  if (font.images.size() > 1)
    sheet.height += int64_t{std::max(0, options.gap)} * int64_t(font.images.size() - 1);
  return sheet;
}

void draw_block(Canvas* canvas, int top, const BitmapFont& font, const FontImage& image,
                const SheetRows& s, const SheetBlock& b) {
  for (int64_t i = 0; i <= s.columns; ++i)
    fill_rect(canvas, int(i * (b.cell_w + 1)), top, 1, int(b.height), kPictureGrid);
  for (int64_t i = 0; i <= int64_t(s.code_rows.size()); ++i)
    fill_rect(canvas, 0, top + int(i * (b.cell_h + 1)), int(b.width), 1, kPictureGrid);
  size_t row = 0;
  for (int c : s.chars) {
    while (s.code_rows[row] != c / s.columns) ++row;
    int x = int((c % s.columns) * (b.cell_w + 1) + 2);
    int y = top + int(int64_t(row) * (b.cell_h + 1) + 2);
    draw_glyph(canvas, x, y, image, glyph_columns(font, image, c), b.scale, kPictureInk);
  }
}

}  // namespace

CanvasSize glyph_sheet_size(const BitmapFont& font, const PictureOptions& options) {
  Sheet sheet = plan_sheet(font, options);
  return {sheet.width, sheet.height};
}

// Drawn into one canvas, weighed whole first: a font of many large images
// is refused before any is drawn.
Canvas draw_glyph_sheet(const BitmapFont& font, const PictureOptions& options) {
  Sheet sheet = plan_sheet(font, options);
  if (font.images.empty()) return make_canvas(0, 0, options.channels, 0);
  Canvas canvas = make_canvas(sheet.width, sheet.height, options.channels, kPictureWhite);
  if (canvas.width == 0) return canvas;
  int64_t top = 0;
  for (size_t i = 0; i < font.images.size(); ++i) {
    draw_block(&canvas, int(top), font, font.images[i], sheet.rows, sheet.blocks[i]);
    top += sheet.blocks[i].height + std::max(0, options.gap);
  }
  return canvas;
}

CanvasSize stacked_size(const std::vector<CanvasSize>& parts, int gap) {
  CanvasSize out;
  for (const CanvasSize& part : parts) {
    out.width = std::max(out.width, part.width);
    out.height += part.height;
  }
  if (parts.size() > 1) out.height += int64_t{std::max(0, gap)} * int64_t(parts.size() - 1);
  return out;
}

Canvas stack_canvases(const std::vector<Canvas>& parts, int gap, uint32_t background) {
  std::vector<CanvasSize> sizes;
  for (const Canvas& part : parts) sizes.push_back({part.width, part.height});
  CanvasSize size = stacked_size(sizes, gap);
  int channels = parts.empty() ? 3 : parts[0].channels;
  Canvas out = make_canvas(size.width, size.height, channels, background);
  int top = 0;
  for (const Canvas& part : parts) {
    const bool whole = part.pixels.size() == size_t(part.width) * part.height * part.channels;
    for (int y = 0; y < part.height && out.width > 0 && whole; ++y) {
      uint8_t* row = &out.pixels[size_t(top + y) * out.width * out.channels];
      if (part.channels == out.channels)
        memcpy(row, &part.pixels[size_t(y) * part.width * part.channels],
               size_t(part.width) * part.channels);
      else
        for (int x = 0; x < part.width; ++x)
          fill_rect(&out, x, top + y, 1, 1, canvas_pixel(part, x, y));
    }
    top += part.height + std::max(0, gap);
  }
  return out;
}

std::vector<uint8_t> encode_png(const Canvas& canvas) {
  std::vector<uint8_t> png;
  if (canvas.width == 0 || canvas.height == 0 ||
      canvas.pixels.size() != size_t(canvas.width) * canvas.height * canvas.channels)
    return png;
  if (!stbi_write_png_to_func(append_png, &png, canvas.width, canvas.height, canvas.channels,
                              canvas.pixels.data(), canvas.width * canvas.channels))
    png.clear();
  return png;
}

}  // namespace palm
