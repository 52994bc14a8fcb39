// Glyphs as sets of inked pixels, so that a font's rendering by FreeType,
// by our decoder and by FontForge's export compare as plain values.
#pragma once

#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <set>
#include <utility>

#include "bitmap_font.h"
#include "fontforge.h"

using Ink = std::set<std::pair<int, int>>;  // (x right of the pen, y above the baseline)

// A character by its code in the face's selected map, or a glyph by its index.
inline Ink freetype_ink(FT_Face face, uint32_t unicode, FT_UInt index = 0) {
  Ink ink;
  if (index == 0) index = FT_Get_Char_Index(face, unicode);
  EXPECT_EQ(FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
  const FT_GlyphSlot s = face->glyph;
  for (unsigned y = 0; y < s->bitmap.rows; ++y)
    for (unsigned x = 0; x < s->bitmap.width; ++x)
      if (s->bitmap.buffer[y * s->bitmap.pitch + x / 8] & (0x80 >> (x % 8)))
        ink.insert({s->bitmap_left + static_cast<int>(x), s->bitmap_top - static_cast<int>(y)});
  return ink;
}

// The character's cell in a decoded image, as ink relative to the cell's left
// edge and the baseline.
inline Ink palm_ink(const palm::BitmapFont& font, const palm::FontImage& image, int c) {
  Ink ink;
  palm::GlyphColumns cols = glyph_columns(font, image, c);
  int scale = image.density / 72;
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < cols.width; ++x)
      if (font_pixel(image, cols.x + x, y)) ink.insert({x, font.ascent * scale - y});
  return ink;
}

inline Ink exported_ink(const ExportedStrike& strike, int c) {
  Ink ink;
  auto found = strike.glyphs.find(c);
  if (found == strike.glyphs.end()) return ink;
  for (size_t y = 0; y < found->second.rows.size(); ++y)
    for (size_t x = 0; x < found->second.rows[y].size(); ++x)
      if (found->second.rows[y][x] == '#')
        ink.insert({static_cast<int>(x), strike.ascent - static_cast<int>(y)});
  return ink;
}

inline Ink shifted(const Ink& ink, int dx) {
  Ink out;
  for (auto [x, y] : ink) out.insert({x + dx, y});
  return out;
}
