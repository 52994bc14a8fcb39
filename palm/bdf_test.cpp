#include "bdf.h"

#include <gtest/gtest.h>

#include <string>

#include "bitmap_font.h"
#include "test_font.h"

using namespace palm;

namespace {

// Worked out by hand from kTinyRows144: each glyph its whole column, the
// missing symbol at 256, sizes and widths at 144 dpi, the header in 72-dpi pixels.
const char kTinyBdf144[] =
    "STARTFONT 2.1\n"
    "FONT -Palm-Tiny  Q  1-Medium-R-Normal--8-40-144-144-P-73-windows-1252\n"
    "SIZE 4 144 144\n"
    "FONTBOUNDINGBOX 6 8 0 -2\n"
    "STARTPROPERTIES 28\n"
    "FOUNDRY \"Palm\"\n"
    "FAMILY_NAME \"Tiny \"\"Q\"\"-1\"\n"
    "WEIGHT_NAME \"Medium\"\n"
    "SLANT \"R\"\n"
    "SETWIDTH_NAME \"Normal\"\n"
    "ADD_STYLE_NAME \"\"\n"
    "PIXEL_SIZE 8\n"
    "POINT_SIZE 40\n"
    "RESOLUTION_X 144\n"
    "RESOLUTION_Y 144\n"
    "SPACING \"P\"\n"
    "AVERAGE_WIDTH 73\n"
    "CHARSET_REGISTRY \"windows\"\n"
    "CHARSET_ENCODING \"1252\"\n"
    "FONT_ASCENT 6\n"
    "FONT_DESCENT 2\n"
    "DEFAULT_CHAR 256\n"
    "PALM_FONT_TYPE 37376\n"
    "PALM_FIRST_CHAR 65\n"
    "PALM_LAST_CHAR 67\n"
    "PALM_MAX_WIDTH 4\n"
    "PALM_KERN_MAX 0\n"
    "PALM_RECT_WIDTH 4\n"
    "PALM_ASCENT 3\n"
    "PALM_DESCENT 1\n"
    "PALM_LEADING 1\n"
    "PALM_DENSITY 144\n"
    "PALM_VERSION 1\n"
    "ENDPROPERTIES\n"
    "CHARS 3\n"
    "STARTCHAR char65\n"
    "ENCODING 65\n"
    "SWIDTH 1000 0\n"
    "DWIDTH 8 0\n"
    "BBX 6 8 0 -2\n"
    "BITMAP\n"
    "30\n"
    "48\n"
    "84\n"
    "84\n"
    "FC\n"
    "84\n"
    "84\n"
    "84\n"
    "ENDCHAR\n"
    "STARTCHAR char67\n"
    "ENCODING 67\n"
    "SWIDTH 750 0\n"
    "DWIDTH 6 0\n"
    "BBX 4 8 0 -2\n"
    "BITMAP\n"
    "70\n"
    "80\n"
    "80\n"
    "80\n"
    "80\n"
    "80\n"
    "80\n"
    "70\n"
    "ENDCHAR\n"
    "STARTCHAR missing\n"
    "ENCODING 256\n"
    "SWIDTH 1000 0\n"
    "DWIDTH 8 0\n"
    "BBX 6 8 0 -2\n"
    "BITMAP\n"
    "FC\n"
    "84\n"
    "84\n"
    "84\n"
    "84\n"
    "84\n"
    "84\n"
    "FC\n"
    "ENDCHAR\n"
    "ENDFONT\n";

TEST(BitmapFont, BdfOfTinyFontExactly) {
  EXPECT_EQ(encode_bdf(tiny_font(true), 1, {"Tiny \"Q\"-1", "windows-1252"}), kTinyBdf144);
}

// The tallest font at the densest image a reader takes: 14,912,319 rows,
// whose size in tenths of a point passes 32 bits before it is divided.
TEST(BitmapFont, BdfSizeOfTheDensestImage) {
  BitmapFont font;
  font.first_char = font.last_char = 'A';
  font.rect_height = font.ascent = 32767;
  font.locations = {0, 0, 0};
  font.widths = {{0, 0}, {0, 0}};
  font.images = {FontImage{32767, 0, 14912319, {}}};
  std::string bdf = encode_bdf(font, 0, {"Tall", "windows-1252"});
  EXPECT_NE(bdf.find("\nSIZE 32767 32767 32767\n"), std::string::npos) << bdf.substr(0, 200);
  EXPECT_NE(bdf.find("\nPOINT_SIZE 327673\n"), std::string::npos);
}

}  // namespace
