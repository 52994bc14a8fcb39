#include "font_picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <functional>
#include <string>
#include <vector>

#include "test_font.h"
#include "text_page.h"

using namespace palm;

namespace {

// The PNG as libpng reads it, one character a pixel: '#' ink, '.' white,
// '+' grid, 'r' red, '?' anything else. The PNG's own colour type goes first.
std::vector<std::string> read_png(const std::vector<uint8_t>& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
    return {std::string("unreadable: ") + image.message};
  std::vector<std::string> art = {image.format & PNG_FORMAT_FLAG_COLOR ? "rgb" : "grey"};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    return {std::string("unreadable: ") + image.message};
  for (size_t y = 0; y < image.height; ++y) {
    std::string row;
    for (size_t x = 0; x < image.width; ++x) {
      const uint8_t* p = &pixels[(y * image.width + x) * 3];
      uint32_t rgb = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      row += rgb == 0          ? '#'
             : rgb == 0xFFFFFF ? '.'
             : rgb == 0xC0C0C0 ? '+'
             : rgb == 0xFF0000 ? 'r'
                               : '?';
    }
    art.push_back(row);
  }
  return art;
}

Canvas text(const BitmapFont& font, int image, std::string_view s, int scale, int channels,
            uint32_t ink) {
  const FontImage& im = font.images[image];
  Canvas c = make_canvas(text_width(font, im, s, scale), im.rows * scale, channels, kPictureWhite);
  draw_text(&c, 0, 0, font, im, s, scale, ink);
  return c;
}

TEST(FontPicture, DrawsAsAPalmWouldAndReadsBackThroughLibpng) {
  const BitmapFont v1 = tiny_font(false), v2 = tiny_font(true);
  struct Case {
    const char* name;
    std::function<Canvas()> draw;
    std::vector<std::string> want;
  } cases[] = {
      // clang-format off
      {"missing B drawn as the box",
       [&] { return text(v1, 0, "ABC", 1, 1, kPictureInk); },
       {"grey",
        ".#..###.##.",
        "#.#.#.#.#..",
        "###.#.#.#..",
        "#.#.###.##."}},
      {"72 dpi enlarged",
       [&] { return text(v1, 0, "A", 2, 1, kPictureInk); },
       {"grey",
        "..##....",
        "..##....",
        "##..##..",
        "##..##..",
        "######..",
        "######..",
        "##..##..",
        "##..##.."}},
      {"144 dpi image, advances doubled, in red",
       [&] { return text(v2, 1, "CA", 1, 3, 0xFF0000); },
       {"rgb",
        ".rrr....rr....",
        "r......r..r...",
        "r.....r....r..",
        "r.....r....r..",
        "r.....rrrrrr..",
        "r.....r....r..",
        "r.....r....r..",
        ".rrr..r....r.."}},
      {"sample line at both densities, the same size",
       [&] { return draw_sample(v2, "AC", {.scale72 = 2, .channels = 1, .gap = 1}); },
       {"grey",
        "..##....####..",
        "..##....####..",
        "##..##..##....",
        "##..##..##....",
        "######..##....",
        "######..##....",
        "##..##..####..",
        "##..##..####..",
        "..............",
        "..............",
        "..............",
        "..##.....###..",
        ".#..#...#.....",
        "#....#..#.....",
        "#....#..#.....",
        "######..#.....",
        "#....#..#.....",
        "#....#..#.....",
        "#....#...###..",
        "..............",
        ".............."}},
      {"sheet: present characters only, rows of codes without any left out",
       [&] { return draw_glyph_sheet(v1, {.scale72 = 1, .columns = 2, .channels = 1}); },
       {"grey",
        "+++++++++++++++",
        "+......+......+",
        "+......+..#...+",
        "+......+.#.#..+",
        "+......+.###..+",
        "+......+.#.#..+",
        "+......+......+",
        "+++++++++++++++",
        "+......+......+",
        "+......+.##...+",
        "+......+.#....+",
        "+......+.#....+",
        "+......+.##...+",
        "+......+......+",
        "+++++++++++++++"}},
      {"bits cut short: rows without bytes have no ink",
       [&] {
         BitmapFont cut = v1;
         cut.images[0].bits.resize(size_t(cut.images[0].row_words) * 2 * 2 + 1);
         return text(cut, 0, "A", 1, 1, kPictureInk);
       },
       {"grey",
        ".#..",
        "#.#.",
        "###.",
        "...."}},
      // clang-format on
  };
  for (const Case& c : cases) EXPECT_EQ(read_png(encode_png(c.draw())), c.want) << c.name;
}

// Every pixel comes back as drawn, grey or RGB, with few colours or many,
// rows repeated or not.
TEST(FontPicture, EncodedPixelsReadBackAsDrawn) {
  std::vector<Canvas> canvases;
  for (int channels : {1, 3})
    for (int colours : {2, 3, 5, 16, 17, 40}) {
      Canvas c = make_canvas(37, 9, channels, kPictureWhite);
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
          fill_rect(&c, x, y, 1, 1, uint32_t((x + y / 2 * 5) % colours) * 0x050301u);
      canvases.push_back(std::move(c));
    }
  canvases.push_back(draw_glyph_sheet(tiny_font(true), {.scale72 = 3, .channels = 1}));
  for (const Canvas& c : canvases) {
    std::vector<uint8_t> png = encode_png(c);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = c.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(pixels, c.pixels) << c.width << " x " << c.height << " x " << c.channels;
  }
}

TEST(FontPicture, SheetBlocksOfEachDensityHaveOneSize) {
  // 72 dpi at 2x and 144 dpi at 1x: cells of 4 * 2 + 2 pixels, 2 + 1 grid lines.
  Canvas sheet = draw_glyph_sheet(tiny_font(true), {.scale72 = 2, .columns = 2, .gap = 8});
  EXPECT_EQ(sheet.width, 23);
  EXPECT_EQ(sheet.height, 23 + 8 + 23);
  EXPECT_EQ(canvas_pixel(sheet, 0, 23 + 8), kPictureGrid);
  EXPECT_EQ(canvas_pixel(sheet, 0, 23 + 7), kPictureWhite);
  CanvasSize size = glyph_sheet_size(tiny_font(true), {.scale72 = 2, .columns = 2, .gap = 8});
  EXPECT_EQ(size.width * size.height, 23 * (23 + 8 + 23));
}

// Sizes a font's header can claim, far beyond any real font: no picture,
// rather than gigabytes.
TEST(FontPicture, TooLargeToDraw) {
  BitmapFont font = tiny_font(true);
  font.images[1].rows = 100000000;
  EXPECT_EQ(draw_glyph_sheet(font).width, 0);
  // 72 dpi at 2x beside 144 dpi at 1x: 16 cells of 10 pixels and grid lines.
  CanvasSize size = glyph_sheet_size(font);
  EXPECT_EQ(size.width * size.height,
            int64_t{16 * 11 + 1} * ((1 * 11 + 1) + 8 + (100000002 + 1 + 1)));
  EXPECT_EQ(draw_sample(font, "ABC").width, 0);
  EXPECT_TRUE(encode_png(draw_glyph_sheet(font)).empty());
  EXPECT_EQ(make_canvas(kMaxCanvasPixels / 2 + 1, 2, 1, 0).pixels.size(), 0u);
}

TEST(FontPicture, NothingToEncode) {
  EXPECT_TRUE(encode_png(make_canvas(0, 5, 3, kPictureWhite)).empty());
  EXPECT_TRUE(encode_png(Canvas{4, 4, 3, {}}).empty());
}

}  // namespace

// The page worked out here from the decoded images and advances alone: each
// glyph's columns copied at the pen, lines one fRectHeight + leading apart.
TEST(FontPicture, TextPageSetsWrappedLinesAtTheScreensSize) {
  std::vector<uint8_t> bytes = encode_font(tiny_font(true));
  BitmapFont font;
  ASSERT_EQ(decode_font(bytes.data(), bytes.size(), &font), "");
  std::string words;
  for (int i = 0; i < 16; ++i) words += "AC ";
  // "AC " is 11 pixels (the space drawn as the missing symbol): 14 words fit
  // in 160 before the 15th would end at 161.
  std::vector<std::string> lines = wrap_text(font, words, kPalmScreen72);
  std::string first = words.substr(0, 14 * 3 - 1);
  ASSERT_EQ(lines, (std::vector<std::string>{first, "AC AC"}));
  Canvas page = draw_text_page(font, words, 1, 8);
  ASSERT_EQ(page.width, 160 + 8 + 320);
  ASSERT_EQ(page.height, 320);
  int left = 0;
  for (const FontImage& image : font.images) {
    int size = image.density == 72 ? 160 : 320, factor = image.density / 72;
    std::vector<std::string> want(size_t(size), std::string(size_t(size), '.'));
    for (size_t l = 0; l < lines.size(); ++l) {
      int pen = 0, top = int(l) * (font.rect_height + font.leading) * factor;
      for (unsigned char c : lines[l]) {
        GlyphColumns g = glyph_columns(font, image, c);
        for (int y = 0; y < image.rows; ++y)
          for (int x = 0; x < g.width && pen + x < size; ++x)
            if (font_pixel(image, g.x + x, y)) want[size_t(top + y)][size_t(pen + x)] = '#';
        pen += g.advance * factor;
      }
    }
    std::vector<std::string> got;
    for (int y = 0; y < size; ++y) {
      std::string row;
      for (int x = 0; x < size; ++x) row += canvas_pixel(page, left + x, y) ? '.' : '#';
      got.push_back(row);
    }
    EXPECT_EQ(got, want) << image.density << " dpi";
    left += size + 8;
  }
}
