// FontForge as an independent reader of Palm bitmap fonts: a font resource is
// wrapped in a one-record .pdb, FontForge opens it and exports one BDF file
// per density, and the BDF glyphs come back in a form a test can compare with
// what it meant to write.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// One glyph in a cell as tall as the strike (ascent + descent rows, the top
// row first), from the pen's x to its advance or to the ink's right edge,
// whichever is further: '#' ink, '.' none.
struct ExportedGlyph {
  int advance = 0;
  std::vector<std::string> rows;
  bool operator==(const ExportedGlyph&) const = default;
};

// One density: FontForge names a strike by its pixel size, the font's height
// at that density.
struct ExportedStrike {
  int pixel_size = 0;
  int ascent = 0;
  int descent = 0;
  std::map<int, ExportedGlyph> glyphs;  // by character code; -1 is the missing symbol
};

struct FontForgeExport {
  std::string error;                    // "" when FontForge read the font and its BDFs parsed
  std::vector<ExportedStrike> strikes;  // smallest pixel size first
};

// Runs `fontforge -lang=ff -c 'Open($1); Generate($2, "bdf")' font.pdb out.`
// in a temporary folder on the resource's bytes and reads every out-N.bdf it
// writes (N the pixel size: one for a version 1 font, one per density for
// version 2). A font FontForge can't read gives its own words in `error`.
FontForgeExport fontforge_export(const std::string& font_resource);

// A glyph of our own in the exported form: `ink(x, y)` for the `width` ×
// `height` pixels of its image, placed at the pen and the cell's top.
ExportedGlyph make_glyph(int advance, int width, int height,
                         const std::function<bool(int x, int y)>& ink);

// A glyph for messages: the advance, then its rows, one a line.
std::string glyph_text(const ExportedGlyph& glyph);
