#include "text_page.h"

#include <algorithm>

namespace {

int advance72(const BitmapFont& font, unsigned char c) {
  if (font.images.empty()) return 0;
  return glyph_columns(font, font.images[0], c).advance;
}

int screen_size(const FontImage& image) {
  return kPalmScreen72 * std::max<int>(image.density, 1) / 72;
}

}  // namespace

std::vector<std::string> wrap_text(const BitmapFont& font, std::string_view text, int width72) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    int64_t pen = 0;
    size_t end = start, last_space = std::string_view::npos;
    while (end < text.size() && text[end] != '\n') {
      int w = advance72(font, static_cast<unsigned char>(text[end]));
      if (text[end] == ' ') last_space = end;
      // A space may hang past the edge: it is dropped at the break.
      if (pen + w > width72 && text[end] != ' ' && end > start) break;
      pen += w;
      ++end;
    }
    size_t cut = end;
    if (end < text.size() && text[end] != '\n' && last_space != std::string_view::npos)
      cut = last_space;
    size_t line_end = cut;
    while (line_end > start && text[line_end - 1] == ' ') --line_end;
    lines.emplace_back(text.substr(start, line_end - start));
    start = cut;
    if (start < text.size() && text[start] == '\n')
      ++start;
    else
      while (start < text.size() && text[start] == ' ') ++start;
  }
  return lines;
}

Canvas draw_text_page(const BitmapFont& font, std::string_view text, int channels, int gap) {
  std::vector<std::string> lines = wrap_text(font, text, kPalmScreen72);
  int width = 0, height = 0;
  for (const FontImage& image : font.images) {
    width += (width ? gap : 0) + screen_size(image);
    height = std::max(height, screen_size(image));
  }
  Canvas canvas = make_canvas(width, height, channels, kPictureWhite);
  int x = 0;
  for (const FontImage& image : font.images) {
    int size = screen_size(image);
    Canvas screen = make_canvas(size, size, channels, kPictureWhite);
    int line = (font.rect_height + std::max<int16_t>(0, font.leading)) * size / kPalmScreen72;
    for (size_t i = 0; i < lines.size() && int64_t(i) * line < size; ++i)
      draw_text(&screen, 0, static_cast<int>(i) * line, font, image, lines[i], 1, kPictureInk);
    for (int y = 0; y < size && !canvas.pixels.empty(); ++y)
      std::copy_n(screen.pixels.begin() + size_t(y) * size * channels, size_t(size) * channels,
                  canvas.pixels.begin() + (size_t(y) * width + x) * channels);
    x += size + gap;
  }
  return canvas;
}

int64_t text_page_pixels(const BitmapFont& font, int gap) {
  int64_t width = 0, height = 0;
  for (const FontImage& image : font.images) {
    width += (width ? gap : 0) + screen_size(image);
    height = std::max<int64_t>(height, screen_size(image));
  }
  return width * height;
}
