// The least a generator run can cost: open one font file with FreeType and
// render the characters 0x20..0xFF monochrome and hinted at SIZE and
// 2 x SIZE pixels, keeping nothing. No font lookup, code page or output.
// Usage: glyphsmith_floor FONTFILE SIZE
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: glyphsmith_floor FONTFILE SIZE\n");
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face)) return 1;
  unsigned ink = 0;
  for (int scale = 1; scale <= 2; ++scale) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::atoi(argv[2]) * scale));
    for (FT_ULong c = 0x20; c <= 0xFF; ++c)
      if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0)
        ink += face->glyph->bitmap.rows;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return ink > 0 ? 0 : 1;
}
