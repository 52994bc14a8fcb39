#include "text_page.h"

#include <algorithm>

namespace palm {

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

CanvasSize text_page_size(const BitmapFont& font, int gap) {
  CanvasSize size;
  for (const FontImage& image : font.images) {
    size.width += (size.width ? std::max(0, gap) : 0) + screen_size(image);
    size.height = std::max<int64_t>(size.height, screen_size(image));
  }
  return size;
}

Canvas draw_text_page(const BitmapFont& font, std::string_view text, int channels, int gap) {
  CanvasSize size = text_page_size(font, gap);
  Canvas canvas = make_canvas(size.width, size.height, channels, kPictureWhite);
  if (canvas.width == 0) return canvas;
  std::vector<std::string> lines = wrap_text(font, text, kPalmScreen72);
  int x = 0;
  for (const FontImage& image : font.images) {
    // Each screen is drawn apart, so that a line clips at its own edge.
    int side = screen_size(image);
    Canvas screen = make_canvas(side, side, channels, kPictureWhite);
    int line = (font.rect_height + std::max<int16_t>(0, font.leading)) * side / kPalmScreen72;
    for (size_t i = 0; i < lines.size() && int64_t(i) * line < side; ++i)
      draw_text(&screen, 0, static_cast<int>(i) * line, font, image, lines[i], 1, kPictureInk);
    for (int y = 0; y < side; ++y)
      std::copy_n(screen.pixels.begin() + size_t(y) * side * channels, size_t(side) * channels,
                  canvas.pixels.begin() + (size_t(y) * canvas.width + x) * channels);
    x += side + std::max(0, gap);
  }
  return canvas;
}

}  // namespace palm
