// GDI's side of the rasterizer: which faces it opens or refuses, blank and
// missing characters. The glyph images themselves are
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
      {"Dejavu San",
       "no installed font family 'Dejavu San' (closest: 'DejaVu Sans'; see glyphsmith --list)"},
      {"Liberation Sanz",
       "no installed font family 'Liberation Sanz' (closest: 'Liberation Sans'; see glyphsmith "
       "--list)"},
      {"DejaVuSans",
       "no installed font family 'DejaVuSans' (closest: 'DejaVu Sans'; see glyphsmith --list)"},
      // Longer than any face name GDI can hold.
      {"Liberation Sans Narrow Bold Italic",
       "no installed font family 'Liberation Sans Narrow Bold Italic' (closest: "
       "'Liberation Sans'; see glyphsmith --list)"},
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

}  // namespace
