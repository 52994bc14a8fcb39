// Glyph images at 72 and 144 dpi turned into the two Palm fonts: one width
// per character that cuts no ink at either density, a box for the missing
// symbol, and ascent and descent that hold every pixel.
#pragma once

#include <string>
#include <vector>

#include "bitmap_font.h"
#include "rasterizer.h"

// One character at both densities.
struct GlyphPair {
  GlyphBitmap standard;  // 72 dpi
  GlyphBitmap twice;     // 144 dpi
};

struct BuiltFonts {
  palm::BitmapFont v1;       // 'NFNT': the 72-dpi image
  palm::BitmapFont v2;       // 'nfnt': the same tables, images at 72 and 144 dpi
  int characters = 0;  // how many characters the face drew
};

// glyphs[i] is character first_code + i; line is the line spacing in 72-dpi
// pixels; missing, when given, is the face's own missing symbol, else a box
// is drawn. Returns "" on success, else why no Palm font can hold the glyphs.
// declared, when given, is the face's own ascent and descent in 72-dpi
// pixels: each is kept where it reaches at least as far as the ink.
struct FontLine {
  int ascent = 0, descent = 0;
};
std::string build_fonts(const std::vector<GlyphPair>& glyphs, int first_code, int line,
                        BuiltFonts* fonts, const GlyphPair* missing = nullptr,
                        FontLine declared = {});
