// The platform's rasterizer, seen through glyph_dump, held against FreeType's
// own monochrome hinted rendering of the same face file. GLYPH_DUMP names the
// tool to run (a command prefix such as "wine .../glyph_dump.exe"); without
// it this build's own runs.
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

#include "iconv_byte.h"
#include "run.h"

namespace {

// A glyph's advance and ink pixels, (x right of the pen, y above the
// baseline); no entry for a character the face lacks.
struct Ink {
  int advance = 0;
  std::set<std::pair<int, int>> pixels;
};

std::map<unsigned, Ink> dumped_glyphs(const std::vector<std::string>& argv) {
  RunResult run = run_command(argv);
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<unsigned, Ink> glyphs;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream f(line);
    std::string code, advance, bits;
    int left = 0, top = 0, width = 0, height = 0;
    f >> code >> advance >> left >> top >> width >> height >> bits;
    if (advance == "missing") continue;
    Ink& g = glyphs[std::stoul(code, nullptr, 16)];
    g.advance = std::stoi(advance);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (bits[static_cast<size_t>(y * width + x)] == '1') g.pixels.insert({left + x, top - y});
  }
  return glyphs;
}

std::map<unsigned, Ink> freetype_glyphs(const std::string& family, int pixels, unsigned first,
                                        unsigned last) {
  std::map<unsigned, Ink> glyphs;
  RunResult match =
      run_command({"fc-match", "-f", "%{file}", family + ":style=Book:style=Regular"});
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library)) return glyphs;
  if (!FT_New_Face(library, match.out.c_str(), 0, &face)) {
    EXPECT_EQ(family, face->family_name);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    for (unsigned code = first; code <= last; ++code) {
      FT_UInt index = FT_Get_Char_Index(face, code);
      if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO)) continue;
      const FT_GlyphSlot s = face->glyph;
      Ink& g = glyphs[code];
      g.advance = static_cast<int>((s->advance.x + 32) >> 6);
      for (unsigned y = 0; y < s->bitmap.rows; ++y)
        for (unsigned x = 0; x < s->bitmap.width; ++x)
          if (s->bitmap.buffer[static_cast<int>(y) * s->bitmap.pitch + static_cast<int>(x / 8)] &
              (0x80 >> (x % 8)))
            g.pixels.insert(
                {s->bitmap_left + static_cast<int>(x), s->bitmap_top - static_cast<int>(y)});
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return glyphs;
}

std::vector<std::string> dump_command() {
  const char* env = getenv("GLYPH_DUMP");
  std::istringstream words(env && *env ? env : GLYPH_DUMP_PATH);
  std::vector<std::string> command;
  for (std::string w; words >> w;) command.push_back(w);
  return command;
}

// A byte as iconv reads it, "-" where it reads none.
std::string iconv_text(const char* page, int byte) {
  uint32_t u = iconv_unicode(page, static_cast<uint8_t>(byte));
  char text[16] = "-";
  if (u) std::snprintf(text, sizeof text, "%04X", u);
  return text;
}

// Every page's bytes as iconv reads them, but for the C1 controls, which no
// page draws, and a few bytes that Windows' tables and glibc's read from
// different editions of the page: Hebrew's sin dot, and Mac Roman's Ohm and
// Delta (the Greek letters or the symbols) and its Apple logo.
TEST(Rasterizer, CodePagesAsIconvReadsThem) {
  const std::set<std::pair<int, int>> editions = {
      {1255, 0xCA}, {10000, 0xBD}, {10000, 0xC6}, {10000, 0xF0}};
  const std::pair<int, const char*> pages[] = {
      {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"},
      {1254, "CP1254"}, {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"},
      {1258, "CP1258"}, {874, "CP874"},   {437, "CP437"},   {10000, "MACINTOSH"},
  };
  for (const auto& [number, name] : pages) {
    std::vector<std::string> argv = dump_command();
    argv.insert(argv.end(), {"--code-page", std::to_string(number)});
    RunResult run = run_command(argv);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string want, got;
    std::istringstream lines(run.out);
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
      std::string line;
      std::getline(lines, line);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (editions.count({number, byte})) continue;
      std::string u = iconv_text(name, byte);
      if (u.size() == 4 && u >= "0080" && u <= "009F") u = "-";
      char text[16];
      std::snprintf(text, sizeof text, "%02X ", byte);
      want += text + u + "\n";
      got += line + "\n";
    }
    EXPECT_EQ(got, want) << name;
  }
}

struct Face {
  const char* family;
  int pixels;
  unsigned first, last;  // a block of characters
};

// The two pixel sizes of a 12 point font: Latin, Latin-1, Greek and Cyrillic.
TEST(Rasterizer, GlyphsComeCloseToFreeType) {
  std::vector<std::string> command = dump_command();
  const Face faces[] = {
      {"DejaVu Sans", 12, 0x20, 0xFF},     {"DejaVu Sans", 24, 0x20, 0xFF},
      {"DejaVu Sans", 12, 0x391, 0x3C9},   {"DejaVu Sans", 24, 0x410, 0x44F},
      {"Liberation Sans", 12, 0x20, 0xFF}, {"Liberation Sans", 24, 0x410, 0x44F},
  };
  int glyphs = 0, identical = 0, same_advance = 0;
  size_t ink = 0, differing = 0;
  for (const Face& f : faces) {
    char first[16], last[16];
    std::snprintf(first, sizeof first, "%X", f.first);
    std::snprintf(last, sizeof last, "%X", f.last);
    std::vector<std::string> argv = command;
    argv.insert(argv.end(), {std::to_string(f.pixels), first, last});
    std::istringstream family(f.family);
    for (std::string w; family >> w;) argv.push_back(w);
    std::map<unsigned, Ink> ours = dumped_glyphs(argv);
    std::map<unsigned, Ink> reference = freetype_glyphs(f.family, f.pixels, f.first, f.last);
    ASSERT_GT(reference.size(), 50u) << f.family;
    int face_identical = 0;
    size_t face_ink = 0, face_differing = 0;
    for (const auto& [code, ref] : reference) {
      // The same characters are there, and only those.
      ASSERT_EQ(ours.count(code), 1u) << f.family << " " << std::hex << code;
      const Ink& g = ours[code];
      size_t common = 0;
      for (const auto& p : g.pixels) common += ref.pixels.count(p);
      size_t d = g.pixels.size() + ref.pixels.size() - 2 * common;
      same_advance += g.advance == ref.advance;
      face_identical += g.advance == ref.advance && d == 0;
      face_ink += ref.pixels.size();
      face_differing += d;
    }
    EXPECT_EQ(ours.size(), reference.size()) << f.family;
    std::printf(
        "%s %d px U+%04X..U+%04X: %zu glyphs, %.1f%% identical, %.2f%% of the ink pixels "
        "differ\n",
        f.family, f.pixels, f.first, f.last, reference.size(),
        100.0 * face_identical / static_cast<double>(reference.size()),
        100.0 * static_cast<double>(face_differing) / static_cast<double>(face_ink));
    glyphs += static_cast<int>(reference.size());
    identical += face_identical;
    ink += face_ink;
    differing += face_differing;
  }
  // Both hint the same outlines; they part by a pixel here and there, where
  // accents sit on letters.
  EXPECT_EQ(same_advance, glyphs);
  EXPECT_GE(identical * 100, glyphs * 85);
  EXPECT_LE(differing * 100, ink * 2);
}

}  // namespace
