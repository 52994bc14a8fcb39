// Palm bitmap fonts as BDF 2.1 (Glyph Bitmap Distribution Format), one file
// per density, for font editors and X's tools. A glyph's ENCODING is its
// Palm byte; the missing symbol is the glyph DEFAULT_CHAR names, past the
// characters. Each glyph's box is its whole column in the image, so ascent,
// descent and the column survive an editor that keeps boxes as they are.
#pragma once

#include <cstddef>
#include <string>

#include "bitmap_font.h"

namespace palm {

// The encoding that holds the missing symbol: past every byte, and past
// the font's last character.
int bdf_missing_encoding(const BitmapFont& font);

struct BdfFontName {
  std::string family;  // FAMILY_NAME; '-' and control bytes become spaces in FONT
  // The XLFD charset whose byte codes are the font's, registry and encoding
  // joined by '-': "windows-1252", "mac-roman", "microsoft-symbol".
  std::string charset = "windows-1252";
};

// The BDF of the font's image `image` (an index into font.images). Standard
// properties where XLFD has them (PIXEL_SIZE, RESOLUTION_X, FONT_ASCENT,
// DEFAULT_CHAR, ...), PALM_* properties for the rest of the header.
std::string encode_bdf(const BitmapFont& font, size_t image, const BdfFontName& name);

}  // namespace palm
