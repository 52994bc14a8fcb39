// The platform's part of the generator: open an installed face at a pixel
// size and turn characters into 1-bit images. One implementation per platform
// (rasterizer-freetype.cpp with fontconfig, rasterizer-gdi.cpp), chosen by
// the build; it only draws: code pages, metrics, the font files and the
// preview are elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the user asked for, as fontpick passes it on.
struct FaceRequest {
  std::string family;  // matched exactly, in any letter case
  std::string file;    // a font file to open instead of an installed family
  int weight = 400;    // 100 thin .. 400 normal .. 700 bold .. 900 black
  bool italic = false;
  bool symbol = false;  // the Symbol set: characters come from the face's symbol map
};

// One character's ink, relative to the pen on the baseline.
struct GlyphBitmap {
  bool present = false;  // false: the face has no such character
  int advance = 0;       // pen advance in pixels
  int left = 0;          // ink's left edge, pixels right of the pen
  int top = 0;           // ink's top edge, pixels above the baseline
  int width = 0;         // ink box
  int height = 0;
  std::vector<uint8_t> ink;  // width * height bytes, row by row, 1 = ink; see below
};

// No Palm font holds an ink box wider or taller than these, even at 144 dpi
// (twice a column of 127 and a height of 32767). A larger glyph keeps its
// box but not its ink, which the font builder refuses before drawing, so
// that a small file of huge boxes can't take memory for pixels never used.
constexpr int kMaxInkWidth = 254;
constexpr int kMaxInkHeight = 65534;

// The installed families whose names hold pattern (any ASCII case; "" for
// all), one a line in name order, a bitmap-only family with its strikes'
// pixel sizes: "Terminus: 12 14 16 pixels". Returns "" or why not.
std::string list_families(const std::string& pattern, std::string* text);

struct Rasterizer;  // the platform's open face at one pixel size
struct RasterizerDeleter {
  void operator()(Rasterizer* r) const;
};
using RasterizerPtr = std::unique_ptr<Rasterizer, RasterizerDeleter>;

// Opens the face with its em square `pixels` high, monochrome and hinted; a
// bitmap-only face at its strike of that size, glyphs as they are. On
// failure returns null and sets *error to the whole message without the
// program's name, e.g. "no installed font family 'Foo' (closest: 'Foot')".
RasterizerPtr open_rasterizer(const FaceRequest& request, int pixels, std::string* error);

// The family name the platform actually opened, for the summary line.
std::string rasterizer_family(const Rasterizer& r);

// What an open face is, for the choices a bitmap face leaves no room for.
struct FaceTraits {
  std::vector<int> strikes;  // pixel sizes of a bitmap-only face, smallest first
  bool bold = false;
  bool italic = false;
  // A face whose characters are found by their byte codes rather than by
  // Unicode (a BDF or PCF in an 8-bit charset): its registry and encoding,
  // "windows-1252", in lower case. Empty otherwise.
  std::string byte_charset;
  long default_char = -1;  // the face's own missing-character glyph, -1 for none
  // A BDF's or PCF's FONT_ASCENT and FONT_DESCENT, the line its designer
  // drew (headroom for accents, say); -1 where the face has none.
  int font_ascent = -1, font_descent = -1;
};
FaceTraits rasterizer_traits(const Rasterizer& r);

// Renders one character: a Unicode code point, or for the Symbol set the code
// in the face's symbol map (the byte code, 0x20..0xFF).
GlyphBitmap render_glyph(Rasterizer& r, uint32_t code);

