#include "build_font.h"

#include <gtest/gtest.h>

#include "run.h"

using namespace palm;

namespace {

// A glyph from rows of '#' (ink) and '.', its top `top` pixels above the baseline.
GlyphBitmap glyph(int advance, int left, int top, std::vector<std::string> rows) {
  GlyphBitmap g;
  g.present = true;
  g.advance = advance;
  g.left = left;
  g.top = top;
  g.height = static_cast<int>(rows.size());
  g.width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  for (const std::string& row : rows)
    for (char c : row) g.ink.push_back(c == '#');
  return g;
}

// 'A' sits on the pen; 'B' is missing; 'C' reaches one pixel left of the pen
// and is moved right into its cell. Worked out by hand: columns A 0-2, C 3-4,
// the missing box 5-7; ascent 2, descent 1.
std::vector<GlyphPair> tiny_glyphs() {
  return {
      {glyph(3, 0, 2, {"##", "#.", "##"}),
       glyph(6, 0, 4, {"####", "####", "##..", "##..", "####", "####"})},
      {},
      {glyph(1, -1, 1, {"##"}), glyph(2, -2, 2, {"####", "####"})},
  };
}

TEST(BuildFont, TinyFontByHand) {
  BuiltFonts fonts;
  ASSERT_EQ(build_fonts(tiny_glyphs(), 0x41, 5, &fonts), "");
  EXPECT_EQ(fonts.characters, 2);
  EXPECT_EQ(hex(encode_font(fonts.v1)),
            "90 00 00 41 00 43 00 03 00 00 ff ff 00 03 00 03 00 0d 00 02 00 01 00 02 00 01 "
            "c2 00 9a 00 c0 00 "
            "00 00 00 03 00 03 00 05 00 08 "
            "00 03 ff ff 00 02 00 03");
  const BitmapFont& v2 = fonts.v2;
  EXPECT_EQ(v2.font_type, kFontTypeV2);
  EXPECT_EQ(v2.version, 1);
  EXPECT_EQ(v2.locations, fonts.v1.locations);
  ASSERT_EQ(v2.images.size(), 2u);
  EXPECT_EQ(hex(v2.images[0].bits), hex(fonts.v1.images[0].bits));
  EXPECT_EQ(v2.images[1].density, 144);
  EXPECT_EQ(v2.images[1].rows, 6);
  EXPECT_EQ(v2.images[1].row_words, 2);
  EXPECT_EQ(hex(v2.images[1].bits),
            "f0 0c 00 00 f0 0c 00 00 c3 cc 00 00 c3 cc 00 00 f0 00 00 00 f0 00 00 00");
}

TEST(BuildFont, Refusals) {
  struct Case {
    std::vector<GlyphPair> glyphs;
    const char* error;
  };
  const Case cases[] = {
      {{}, "the face draws none of the set's characters"},
      {{{glyph(4, 0, 0, {}), glyph(8, 0, 0, {})}}, "the face draws none of the set's characters"},
      {{{glyph(128, 0, 1, {"#"}), glyph(256, 0, 2, {"#"})}},
       "character 0x41 would be 128 pixels wide, more than a Palm font's 127"},
      // Ink at double density alone can widen a cell past the limit.
      {{{glyph(120, 0, 1, {"#"}), glyph(240, 260, 2, {"#"})}},
       "character 0x41 would be 131 pixels wide, more than a Palm font's 127"},
      // Past the Int16 fields: refused, not wrapped.
      {{{glyph(4, 0, 32767, {"#"}), glyph(8, 0, 65534, {"#"})},
        {glyph(4, 0, 0, {"#", "#"}), glyph(8, 0, 0, {"#", "#", "#", "#"})}},
       "the font would be 32769 pixels high (character 0x41 reaches 32767 above the baseline, "
       "character 0x42 2 below), more than a Palm font's 32767"},
      {{{glyph(4, 0, 1, {"#"}), glyph(8, 0, 2, {"#"})},
        {glyph(4, 0, -40000, {"#"}), glyph(8, 0, 2, {"#"})}},
       "the font would be 40002 pixels high (character 0x41 reaches 1 above the baseline, "
       "character 0x42 40001 below), more than a Palm font's 32767"},
      {{{glyph(4, 0, -40000, {"#"}), glyph(8, 0, -80000, {"#", "#"})}},
       "the font would be 40001 pixels high (character 0x41 reaches 40001 below the baseline), "
       "more than a Palm font's 32767"},
      {{{glyph(4, INT32_MIN, 1, {"#"}), glyph(8, 0, 2, {"#"})}},
       "character 0x41 would be 2147483649 pixels wide, more than a Palm font's 127"},
  };
  for (const Case& c : cases) {
    BuiltFonts fonts;
    EXPECT_EQ(build_fonts(c.glyphs, 0x41, 0, &fonts), c.error);
  }
}

// The drawn box stays inside the image and a column: in the descent where
// no ink rises above the baseline (one pixel wide at 72 dpi, two at 144),
// and no wider than 127 however tall the font.
TEST(BuildFont, MissingBoxInsideTheFont) {
  BuiltFonts fonts;
  ASSERT_EQ(build_fonts({{glyph(2, 0, 0, {"#", "#"}), glyph(4, 0, 0, {"##", "##", "##", "##"})}},
                        0x41, 0, &fonts),
            "");
  EXPECT_EQ(hex(fonts.v2.images[0].bits), "90 00 90 00");
  EXPECT_EQ(hex(fonts.v2.images[1].bits),
            "c3 00 00 00 c3 00 00 00 c3 00 00 00 c3 00 00 00");
  GlyphBitmap tall = glyph(1, 0, 400, std::vector<std::string>(400, "#"));
  GlyphBitmap twice = glyph(2, 0, 800, std::vector<std::string>(800, "##"));
  ASSERT_EQ(build_fonts({{tall, twice}}, 0x41, 0, &fonts), "");
  EXPECT_EQ(fonts.v1.widths.back().width, 127);
  EXPECT_EQ(fonts.v1.max_width, 127);
}

// Ink as far left of the pen as an int reaches, at 144 dpi alone: moved
// into its cell, with no sum past 32 bits on the way (the sanitizer build).
TEST(BuildFont, FarLeftInkAtOneDensity) {
  BuiltFonts fonts;
  ASSERT_EQ(build_fonts({{glyph(1, 0, 1, {}), glyph(2, INT32_MIN, 2, {"#", "#"})}}, 0x41, 0, &fonts),
            "");
  EXPECT_TRUE(font_pixel(fonts.v2.images[1], 0, 0));
  EXPECT_TRUE(font_pixel(fonts.v2.images[1], 0, 1));
}

// A line shorter than the glyphs adds no leading; a longer one the rest.
TEST(BuildFont, LeadingFillsTheLine) {
  for (auto [line, leading] : {std::pair{0, 0}, {3, 0}, {4, 1}, {9, 6}}) {
    BuiltFonts fonts;
    ASSERT_EQ(build_fonts(tiny_glyphs(), 0x41, line, &fonts), "");
    EXPECT_EQ(fonts.v1.leading, leading) << line;
  }
}

// The face's own ascent and descent stand where they reach past the ink,
// taking their rows from the leading; short of the ink, the ink's stand.
TEST(BuildFont, DeclaredLineKeptWhereItCoversTheInk) {
  BuiltFonts ink;
  ASSERT_EQ(build_fonts(tiny_glyphs(), 0x41, 9, &ink), "");
  int a = ink.v1.ascent, d = ink.v1.descent;
  struct Case {
    FontLine declared;
    int ascent, descent, leading;
  } cases[] = {{{0, 0}, a, d, 9 - a - d},
               {{a + 1, d}, a + 1, d, 8 - a - d},
               {{a - 1, d + 2}, a, d + 2, 7 - a - d}};
  for (const Case& c : cases) {
    BuiltFonts fonts;
    ASSERT_EQ(build_fonts(tiny_glyphs(), 0x41, 9, &fonts, nullptr, c.declared), "");
    EXPECT_EQ(std::vector<int>({fonts.v2.ascent, fonts.v2.descent, fonts.v2.leading,
                                fonts.v2.rect_height, fonts.v2.images[1].rows}),
              std::vector<int>({c.ascent, c.descent, c.leading, c.ascent + c.descent,
                                2 * (c.ascent + c.descent)}))
        << c.declared.ascent << " " << c.declared.descent;
  }
}

}  // namespace
