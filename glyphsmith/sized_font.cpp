#include "sized_font.h"

#include <cmath>

#include "bitmap_font.h"
#include "build_font.h"
#include "database.h"
#include "sources.h"
#include "text.h"

using namespace palm;

namespace {

int round_half_up(double v) {
  return static_cast<int>(std::floor(v + 0.5));
}

std::string points(double v) {
  return base::format("%g", v);
}

// One code: "0x" and 1 or 2 hexadecimal digits, or 1 to 3 decimal ones.
bool read_code(const std::string& text, int* code) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  return (hex ? base::read_digits(text.substr(2), 16, 2, code)
              : base::read_digits(text, 10, 3, code)) &&
         *code <= 0xFF;
}

// The characters not chosen, left out: the font runs from the first chosen
// character the face draws to the last.
void keep_chosen(const CharChoice& chars, std::vector<GlyphPair>* glyphs, int first_code) {
  if (chars.none()) return;
  for (size_t i = 0; i < glyphs->size(); ++i)
    if (!chars.test(static_cast<size_t>(first_code) + i)) (*glyphs)[i] = GlyphPair{};
}

}  // namespace

std::string read_char_list(const std::string& text, CharChoice* chosen) {
  const std::string form = " (codes and ranges such as 0x20-0x7e,0xa0-0xff)";
  if (text.empty()) return "character list '' is empty" + form;
  for (size_t at = 0; at <= text.size();) {
    size_t end = std::min(text.find(',', at), text.size());
    std::string item = text.substr(at, end - at);
    size_t dash = item.find('-');
    int low = 0, high = 0;
    bool ok = read_code(item.substr(0, dash), &low);
    high = low;
    if (ok && dash != std::string::npos) ok = read_code(item.substr(dash + 1), &high);
    if (!ok)
      return "character list '" + text + "': '" + item +
             "' is not a code from 0 to 0xff or a range" + form;
    if (high < low) return "character list '" + text + "': the range '" + item + "' runs backwards";
    for (int c = low; c <= high; ++c) chosen->set(static_cast<size_t>(c));
    at = end + 1;
  }
  return "";
}

std::string build_sized(const FontSource& source, double size, double line, SizedFont* font) {
  SourceGlyphs glyphs;
  std::string error = read_glyphs(source.face, source.second_file, round_half_up(size),
                                  round_half_up(2 * size), source.charset, &glyphs);
  if (!error.empty()) return error;
  keep_chosen(source.chars, &glyphs.glyphs, glyphs.first_code);
  BuiltFonts fonts;
  error = build_fonts(glyphs.glyphs, glyphs.first_code, round_half_up(line), &fonts,
                      glyphs.own_missing ? &glyphs.missing : nullptr, glyphs.line);
  if (!error.empty()) return glyphs.what + " at " + points(size) + " points: " + error;
  font->v1 = encode_font(fonts.v1);
  font->v2.clear();
  if (!source.single_density) font->v2 = encode_font(fonts.v2);
  font->height = fonts.v1.rect_height;
  font->characters = fonts.characters;
  font->family = glyphs.family;
  font->what = glyphs.what;
  font->notes = glyphs.notes;
  return "";
}

bool sized_fits(const SizedFont& font) {
  return font.v1.size() <= kMaxEntrySize && font.v2.size() <= kMaxEntrySize;
}

namespace {

// The largest size in half points below `size` that fits, 0 when none
// does; sizes that fail to build count as too large.
double largest_fitting(const FontSource& source, double size, double line) {
  int low = 0, high = static_cast<int>(std::ceil(2 * size)) - 1;  // low fits (or is 0)
  while (low < high) {
    int mid = (low + high + 1) / 2;
    SizedFont probe;
    bool ok = build_sized(source, mid / 2.0, line * mid / (2 * size), &probe).empty() &&
              sized_fits(probe);
    if (ok)
      low = mid;
    else
      high = mid - 1;
  }
  return low / 2.0;
}

}  // namespace

std::string too_large(const FontSource& source, const std::string& name, double size, double line,
                      const SizedFont& font) {
  bool single = font.v2.empty();
  double best = largest_fitting(source, size, line);
  return name + " at " + points(size) + " points takes " +
         std::to_string(single ? font.v1.size() : font.v2.size()) + " bytes at " +
         (single ? "72 dpi" : "72 and 144 dpi") + ", more than a Palm resource holds (" +
         std::to_string(kMaxEntrySize) + "); " +
         (best > 0 ? "the largest size that fits is " + points(best) + " points" : "no size fits");
}
