// A screenful of text set as a Palm sets it: the font's advances, words
// wrapped at the screen's width, one line every fRectHeight + leading.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bitmap_font.h"
#include "font_picture.h"

namespace palm {

// The Palm's screen, in 72-dpi pixels, square.
constexpr int kPalmScreen72 = 160;

// `text` (bytes, one character each) broken into lines no wider than
// width72 72-dpi pixels: a line ends after the last space that fits, the
// spaces at the break are dropped, a word longer than a line is cut where
// the line ends, and a '\n' always ends a line.
std::vector<std::string> wrap_text(const BitmapFont& font, std::string_view text, int width72);

// One screen per image of the font, side by side, each at the image's own
// pixels (160 × 160 at 72 dpi, 320 × 320 at 144 dpi); lines that don't fit
// on the screen are cut off as the Palm's would be.
Canvas draw_text_page(const BitmapFont& font, std::string_view text, int channels, int gap);

// The size of draw_text_page's canvas, for weighing a picture undrawn.
CanvasSize text_page_size(const BitmapFont& font, int gap);

}  // namespace palm
