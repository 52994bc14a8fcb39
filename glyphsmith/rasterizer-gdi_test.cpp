// GDI's side of the rasterizer: which faces it opens or refuses, blank and
// missing characters, and the code pages. The glyph images themselves are
// held against FreeType's by rasterizer_test.cpp through glyph_dump.
#include <gtest/gtest.h>

#include <string>

#include "rasterizer.h"

namespace {

struct Refusal {
  const char* family;
  const char* message;
  bool symbol = false;
};

TEST(GdiRasterizer, RefusesFamiliesNotInstalled) {
  const Refusal cases[] = {
      {"Dejavu San", "no installed font family 'Dejavu San' (closest: 'DejaVu Sans')"},
      {"Liberation Sanz",
       "no installed font family 'Liberation Sanz' (closest: 'Liberation Sans')"},
      {"DejaVuSans", "no installed font family 'DejaVuSans' (closest: 'DejaVu Sans')"},
      // Longer than any face name GDI can hold.
      {"Liberation Sans Narrow Bold Italic",
       "no installed font family 'Liberation Sans Narrow Bold Italic' (closest: "
       "'Liberation Sans')"},
      {"DejaVu Sans", "font family 'DejaVu Sans' has no symbol character map", true},
  };
  for (const Refusal& c : cases) {
    std::string error;
    FaceRequest request;
    request.family = c.family;
    request.symbol = c.symbol;
    EXPECT_EQ(open_rasterizer(request, 12, &error), nullptr) << c.family;
    EXPECT_EQ(error, c.message);
  }
}

TEST(GdiRasterizer, OpensAnInstalledFamilyInAnyLetterCase) {
  std::string error;
  FaceRequest request;
  request.family = "liberation SANS";
  request.weight = 700;
  RasterizerPtr face = open_rasterizer(request, 12, &error);
  ASSERT_NE(face, nullptr) << error;
  EXPECT_EQ(rasterizer_family(*face), "Liberation Sans");
}

TEST(GdiRasterizer, BlankAndMissingCharacters) {
  std::string error;
  FaceRequest request;
  request.family = "DejaVu Sans";
  RasterizerPtr face = open_rasterizer(request, 24, &error);
  ASSERT_NE(face, nullptr) << error;

  GlyphBitmap space = render_glyph(*face, ' ');
  EXPECT_TRUE(space.present);
  EXPECT_GT(space.advance, 0);
  EXPECT_EQ(space.ink.size(), 0u);

  GlyphBitmap bar = render_glyph(*face, '|');  // one column, below and above the baseline
  ASSERT_TRUE(bar.present);
  EXPECT_EQ(bar.ink.size(), static_cast<size_t>(bar.width * bar.height));
  EXPECT_GE(bar.width, 1);
  EXPECT_GT(bar.top, 0);
  EXPECT_LT(bar.top - bar.height, 0);
  for (uint8_t bit : bar.ink) EXPECT_EQ(bit, 1);

  EXPECT_FALSE(render_glyph(*face, 0x4E00).present);   // a CJK ideograph
  EXPECT_FALSE(render_glyph(*face, 0x1F600).present);  // beyond 16 bits
}

struct CodePageCase {
  int page;
  uint8_t byte;
  uint32_t unicode;  // 0: undefined
};

TEST(GdiRasterizer, CodePages) {
  const CodePageCase cases[] = {
      {1252, 0x41, 0x0041},  {1252, 0x80, 0x20AC}, {1252, 0x81, 0},      {1252, 0x8D, 0},
      {1252, 0xE9, 0x00E9},  {1250, 0x8A, 0x0160}, {1250, 0xB9, 0x0105}, {1251, 0xC0, 0x0410},
      {1251, 0x98, 0},       {1253, 0xC1, 0x0391}, {1253, 0xAA, 0},      {1253, 0xD2, 0},
      {1254, 0xF0, 0x011F},  {1255, 0xE0, 0x05D0}, {1255, 0xD9, 0},      {1256, 0xC7, 0x0627},
      {1257, 0xC0, 0x0104},  {1258, 0xD2, 0x0309}, {874, 0xA1, 0x0E01},  {874, 0xDB, 0},
      {874, 0xFF, 0},        {437, 0xB0, 0x2591},  {437, 0xE1, 0x00DF},  {10000, 0x80, 0x00C4},
      {10000, 0xA5, 0x2022},
  };
  for (const CodePageCase& c : cases) {
    uint32_t unicode = 0;
    bool defined = code_page_to_unicode(c.page, c.byte, &unicode);
    EXPECT_EQ(defined, c.unicode != 0) << c.page << " " << int(c.byte);
    if (defined) {
      EXPECT_EQ(unicode, c.unicode) << c.page << " " << int(c.byte);
    }
  }
}

}  // namespace
