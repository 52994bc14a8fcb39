// The platform's rasterizer, seen through glyph_dump, held against FreeType's
// own monochrome hinted rendering of the same face file. GLYPH_DUMP names the
// tool to run (a command prefix such as "wine .../glyph_dump.exe"); without
// it this build's own runs.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run.h"

namespace {

std::vector<std::string> dump_command() {
  const char* env = getenv("GLYPH_DUMP");
  std::string command = env && *env ? env : GLYPH_DUMP_PATH;
  std::istringstream words(command);
  std::vector<std::string> prefix;
  for (std::string w; words >> w;) prefix.push_back(w);
  return prefix;
}

// A glyph as the set of its ink pixels, (x right of the pen, y above the
// baseline), and its advance.
struct Ink {
  bool present = false;
  int advance = 0;
  std::set<std::pair<int, int>> pixels;
};

std::map<unsigned, Ink> parse_dump(const std::string& text) {
  std::map<unsigned, Ink> glyphs;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream f(line);
    std::string code, advance;
    f >> code >> advance;
    Ink& g = glyphs[std::stoul(code, nullptr, 16)];
    if (advance == "missing") continue;
    int left, top, width, height;
    std::string bits;
    f >> left >> top >> width >> height >> bits;
    g.present = true;
    g.advance = std::stoi(advance);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (bits[static_cast<size_t>(y * width + x)] == '1') g.pixels.insert({left + x, top - y});
  }
  return glyphs;
}

std::string font_file(const std::string& family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* found_family = nullptr;
  FcChar8* path = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &found_family) == FcResultMatch &&
      family == reinterpret_cast<const char*>(found_family) &&
      FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
    file = reinterpret_cast<const char*>(path);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return file;
}

std::map<unsigned, Ink> freetype_glyphs(const std::string& file, int pixels, unsigned first,
                                        unsigned last) {
  std::map<unsigned, Ink> glyphs;
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library)) return glyphs;
  if (!FT_New_Face(library, file.c_str(), 0, &face)) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    for (unsigned code = first; code <= last; ++code) {
      Ink& g = glyphs[code];
      FT_UInt index = FT_Get_Char_Index(face, code);
      if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO)) continue;
      FT_GlyphSlot slot = face->glyph;
      g.present = true;
      g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
      const FT_Bitmap& b = slot->bitmap;
      for (unsigned y = 0; y < b.rows; ++y)
        for (unsigned x = 0; x < b.width; ++x)
          if (b.buffer[static_cast<int>(y) * b.pitch + static_cast<int>(x / 8)] >> (7 - x % 8) & 1)
            g.pixels.insert(
                {slot->bitmap_left + static_cast<int>(x), slot->bitmap_top - static_cast<int>(y)});
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return glyphs;
}

struct Closeness {
  int glyphs = 0;
  int identical = 0;  // same advance and the same ink pixels
  int same_advance = 0;
  size_t reference_ink = 0;  // FreeType's ink pixels
  size_t differing = 0;      // pixels inked by one and not the other
};

Closeness compare(const std::map<unsigned, Ink>& ours, const std::map<unsigned, Ink>& reference) {
  Closeness c;
  for (const auto& [code, ref] : reference) {
    auto it = ours.find(code);
    EXPECT_TRUE(it != ours.end()) << std::hex << code;
    if (it == ours.end()) continue;
    const Ink& g = it->second;
    EXPECT_EQ(g.present, ref.present) << std::hex << code;
    if (!g.present || !ref.present) continue;
    ++c.glyphs;
    c.reference_ink += ref.pixels.size();
    size_t common = 0;
    for (const auto& p : g.pixels) common += ref.pixels.count(p);
    size_t differing = g.pixels.size() + ref.pixels.size() - 2 * common;
    c.differing += differing;
    c.same_advance += g.advance == ref.advance;
    c.identical += g.advance == ref.advance && differing == 0;
  }
  return c;
}

struct Face {
  const char* family;
  int pixels;
  unsigned first, last;  // a block of characters
};

// The two pixel sizes of a 12 point font, Latin, Latin-1, Greek and Cyrillic.
TEST(Rasterizer, GlyphsComeCloseToFreeType) {
  std::vector<std::string> command = dump_command();
  const Face faces[] = {
      {"DejaVu Sans", 12, 0x20, 0x7E},     {"DejaVu Sans", 24, 0x20, 0x7E},
      {"DejaVu Sans", 12, 0xA0, 0xFF},     {"DejaVu Sans", 24, 0xA0, 0xFF},
      {"DejaVu Sans", 12, 0x391, 0x3C9},   {"DejaVu Sans", 24, 0x410, 0x44F},
      {"Liberation Sans", 12, 0x20, 0x7E}, {"Liberation Sans", 24, 0x20, 0x7E},
      {"Liberation Sans", 12, 0xA0, 0xFF}, {"Liberation Sans", 24, 0x410, 0x44F},
  };
  Closeness total;
  for (const Face& f : faces) {
    std::string file = font_file(f.family);
    ASSERT_NE(file, "") << f.family << " is not installed";
    char first[16], last[16];
    std::snprintf(first, sizeof first, "%X", f.first);
    std::snprintf(last, sizeof last, "%X", f.last);
    std::vector<std::string> argv = command;
    argv.insert(argv.end(), {std::to_string(f.pixels), first, last});
    std::istringstream words(f.family);
    for (std::string w; words >> w;) argv.push_back(w);
    RunResult run = run_command(argv);
    ASSERT_EQ(run.status, 0) << run.err;
    Closeness c = compare(parse_dump(run.out), freetype_glyphs(file, f.pixels, f.first, f.last));
    ASSERT_GT(c.glyphs, 0);
    std::printf(
        "%s %d px U+%04X..U+%04X: %d glyphs, %.1f%% identical, %.1f%% same advance, "
        "%.2f%% of the ink pixels differ\n",
        f.family, f.pixels, f.first, f.last, c.glyphs, 100.0 * c.identical / c.glyphs,
        100.0 * c.same_advance / c.glyphs, 100.0 * c.differing / c.reference_ink);
    total.glyphs += c.glyphs;
    total.identical += c.identical;
    total.same_advance += c.same_advance;
    total.reference_ink += c.reference_ink;
    total.differing += c.differing;
  }
  // Both hint the same outlines; they may part by a pixel here and there.
  EXPECT_GE(total.same_advance * 100, total.glyphs * 95);
  EXPECT_LE(total.differing * 100, total.reference_ink * 3);
}

}  // namespace
