// One font of a face at a size in points, of the characters chosen, and the
// largest size whose font a Palm resource holds.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "charsets.h"
#include "rasterizer.h"

// The characters to put in, by byte; none chosen means all the set has.
using CharChoice = std::bitset<256>;

// Reads a list such as "0x20-0x7e,0xa0-0xff": codes and ranges of codes,
// each 0x and hexadecimal digits or decimal, 0 to 255, parted by commas.
// Returns "" or the message without the program's name.
std::string read_char_list(const std::string& text, CharChoice* chosen);

// What to draw a font from.
struct FontSource {
  FaceRequest face;
  std::string second_file;  // the 144-dpi font file, when given apart
  charsets::Charset charset;
  CharChoice chars;             // none: every character of the set
  bool single_density = false;  // the 72-dpi font alone
};

struct SizedFont {
  std::vector<uint8_t> v1, v2;  // NFNT and nfnt; no nfnt for a single density
  int height = 0;               // 72-dpi pixels
  int characters = 0;
  std::string family;              // as the platform opened it
  std::string what;                // "font family 'X'", for messages
  std::vector<std::string> notes;  // for the run's report
};

// The font at size points with a line of `line` points. Returns "" or why not.
std::string build_sized(const FontSource& source, double size, double line, SizedFont* font);

// Whether each of the font's resources fits a Palm resource.
bool sized_fits(const SizedFont& font);

// The refusal of a font too large for a resource, with the largest size in
// half points below size that fits (line kept in proportion), if any:
// "NAME at 40 points takes 157924 bytes at 72 and 144 dpi, more than a Palm
// resource holds (65505); the largest size that fits is 25 points".
std::string too_large(const FontSource& source, const std::string& name, double size, double line,
                      const SizedFont& font);
