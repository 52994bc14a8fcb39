// Pictures of decoded bitmap fonts: text and glyph sheets drawn as a Palm
// would draw them, on a plain canvas in memory, and PNG bytes of a canvas.
// Nothing here writes files; callers write the bytes where they want them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "bitmap_font.h"

namespace palm {

// A picture in memory, rows from the top, `channels` bytes a pixel: 1 grey
// or 3 RGB.
struct Canvas {
  int width = 0;
  int height = 0;
  int channels = 1;
  std::vector<uint8_t> pixels;  // width * height * channels
};

// Colours are 0xRRGGBB; a grey canvas keeps their luminance.
constexpr uint32_t kPictureWhite = 0xFFFFFF;
constexpr uint32_t kPictureInk = 0x000000;
constexpr uint32_t kPictureGrid = 0xC0C0C0;

// The largest canvas made, in pixels: a font's own sizes can ask for far
// more than any real font needs.
constexpr int64_t kMaxCanvasPixels = int64_t{1} << 26;

// A width × height canvas filled with `background`; sizes below 0 count as
// 0, and one larger than kMaxCanvasPixels is made empty (0 × 0). Drawing on
// an empty canvas does nothing; the functions below that make canvases give
// an empty one for a font too large to draw.
Canvas make_canvas(int64_t width, int64_t height, int channels, uint32_t background);

// Fills a rectangle, clipped to the canvas.
void fill_rect(Canvas* canvas, int x, int y, int width, int height, uint32_t colour);

// The colour at (x, y) as 0xRRGGBB (grey repeated in all three); 0 outside.
uint32_t canvas_pixel(const Canvas& canvas, int x, int y);

// How many times a pixel of `image` is enlarged so that it looks as large as
// a 72-dpi pixel enlarged `scale72` times: never below 1.
int picture_scale(const FontImage& image, int scale72);

// Width in canvas pixels of `text` (bytes, one character each) drawn with
// draw_text.
int text_width(const BitmapFont& font, const FontImage& image, std::string_view text, int scale);

// Draws `text` with its top left corner at (x, y), every pixel of `image` a
// scale × scale square of `ink`. As on a Palm, each character's image starts
// at the pen, the pen then advances by the character's width (at the
// image's density), and a character the font lacks is drawn with the
// missing symbol. The offset/width table's offsets are not applied (Palm
// fonts write 0). Returns the pen's x after the text.
int draw_text(Canvas* canvas, int x, int y, const BitmapFont& font, const FontImage& image,
              std::string_view text, int scale, uint32_t ink);

struct PictureOptions {
  int scale72 = 2;   // enlargement of a 72-dpi pixel; other densities look the same size
  int columns = 16;  // sheet: character codes per row
  int channels = 1;  // 1 grey (all the colours drawn are grey), 3 RGB
  int gap = 8;       // between the blocks of each density
};

// One line of `text` per image of the font, each below the other, as tall as
// the font's line (fRectHeight + leading, at that density).
Canvas draw_sample(const BitmapFont& font, std::string_view text,
                   const PictureOptions& options = {});

// Every character the font has, in a grid of cells, `columns` codes a row
// (rows of codes without any character are left out), a light grid between
// the cells; one block per image, each below the other.
Canvas draw_glyph_sheet(const BitmapFont& font, const PictureOptions& options = {});

// A canvas's size, worked out without drawing it.
struct CanvasSize {
  int64_t width = 0;
  int64_t height = 0;
};

// The size of draw_glyph_sheet's canvas, worked out without drawing, so that
// a picture can be weighed before it is made; a sheet too large to draw
// counts in full.
CanvasSize glyph_sheet_size(const BitmapFont& font, const PictureOptions& options = {});

// The size of stack_canvases' canvas for parts of these sizes.
CanvasSize stacked_size(const std::vector<CanvasSize>& parts, int gap);

// Between the parts of one picture: sample line, glyph sheet, page of text.
constexpr int kPartGap = 16;

// The parts one below the other, left aligned, `gap` pixels of `background`
// between them. The channels of the first part, or RGB when there is none.
Canvas stack_canvases(const std::vector<Canvas>& parts, int gap, uint32_t background);

// The canvas as the bytes of a PNG file; empty when it can't be encoded (an
// empty canvas, or no memory): 8-bit grey or RGB like the canvas, written by
// stb_image_write.
std::vector<uint8_t> encode_png(const Canvas& canvas);

}  // namespace palm
