// Another platform's build (GLYPHSMITH, a command prefix such as
// "wine .../glyphsmith.exe") against this one's, run on the same faces: the
// same characters, glyphs that come close at both densities, and files that
// FontForge reads as they were meant. Prints how close, face by face.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_font.h"
#include "fontforge.h"
#include "run.h"

using namespace palm;

namespace {

std::vector<std::string> other_build() {
  return env_command("GLYPHSMITH");
}

// The version 2 font a run wrote into the folder, and its bytes.
BitmapFont made_font(std::vector<std::string> command, const TempDir& dir,
                     const std::vector<std::string>& args, std::string* bytes) {
  command.insert(command.end(), args.begin(), args.end());
  RunResult r = run_command(command, RunOptions{dir.path, {}, 120});
  EXPECT_EQ(r.status, 0) << r.err;
  *bytes = read_file(dir.file("nfnt0080-hd.bin"));
  BitmapFont font;
  EXPECT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(), &font), "");
  return font;
}

// A character's ink in its cell: (x from the cell's left edge, y above the
// baseline).
std::set<std::pair<int, int>> cell_ink(const BitmapFont& font, const FontImage& image, int c) {
  std::set<std::pair<int, int>> ink;
  GlyphColumns cols = glyph_columns(font, image, c);
  int baseline = font.ascent * image.density / 72;
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < cols.width; ++x)
      if (font_pixel(image, cols.x + x, y)) ink.insert({x, baseline - y});
  return ink;
}

// Every character FontForge exports, at both densities, as the decoded font
// draws it.
void expect_fontforge_reads(const std::string& bytes, const BitmapFont& font,
                            const std::string& name) {
  FontForgeExport got = fontforge_export(bytes);
  ASSERT_EQ(got.error, "") << name;
  ASSERT_EQ(got.strikes.size(), 2u) << name;
  for (size_t d = 0; d < 2; ++d) {
    const FontImage& image = font.images[d];
    const ExportedStrike& strike = got.strikes[d];
    int k = image.density / 72;
    EXPECT_EQ(strike.ascent, font.ascent * k) << name;
    int characters = 0;
    for (int c = font.first_char; c <= font.last_char; ++c) {
      if (!font_has_char(font, c)) continue;
      ++characters;
      GlyphColumns cols = glyph_columns(font, image, c);
      ExportedGlyph want = make_glyph(cols.advance * k, cols.width, image.rows, [&](int x, int y) {
        return font_pixel(image, cols.x + x, y);
      });
      auto it = strike.glyphs.find(c);
      EXPECT_EQ(it == strike.glyphs.end() ? "none" : glyph_text(it->second), glyph_text(want))
          << name << " character " << c << " at " << image.density << " dpi";
    }
    EXPECT_EQ(strike.glyphs.size(), static_cast<size_t>(characters) + 1) << name;  // and .notdef
  }
}

struct Closeness {
  int glyphs = 0;
  int identical = 0;  // the same width and the same ink
  size_t ink = 0;     // this build's ink pixels
  size_t differing = 0;
};

TEST(Platforms, GlyphsComeCloseToThisBuilds) {
  std::vector<std::string> other = other_build();
  if (other.empty()) GTEST_SKIP() << "GLYPHSMITH names no other build";
  const std::vector<std::string> cases[] = {
      {"12", "15.6", "Western", "DejaVu", "Sans"},
      {"9", "11.7", "Cyrillic", "DejaVu", "Sans"},
      {"10.5", "13.7", "Greek", "DejaVu", "Sans"},
      {"12", "15.6", "Western", "Liberation", "Sans"},
      {"10", "13", "EasternEurope", "Liberation", "Sans"},
  };
  Closeness total[2];
  for (const auto& c : cases) {
    std::string name = testing::PrintToString(c);
    std::vector<std::string> args{"--no-preview"};
    args.insert(args.end(), c.begin(), c.end());
    TempDir ours_dir, theirs_dir;
    std::string ours_bytes, theirs_bytes;
    BitmapFont ours = made_font({GLYPHSMITH_PROGRAM}, ours_dir, args, &ours_bytes);
    BitmapFont theirs = made_font(other, theirs_dir, args, &theirs_bytes);
    ASSERT_EQ(ours.images.size(), 2u) << name;
    ASSERT_EQ(theirs.images.size(), 2u) << name;
    expect_fontforge_reads(theirs_bytes, theirs, name);
    Closeness face[2];
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
      // The code pages and the faces' characters agree exactly.
      ASSERT_EQ(font_has_char(theirs, byte), font_has_char(ours, byte)) << name << " " << byte;
      if (!font_has_char(ours, byte)) continue;
      for (size_t d = 0; d < 2; ++d) {
        std::set<std::pair<int, int>> a = cell_ink(ours, ours.images[d], byte);
        std::set<std::pair<int, int>> b = cell_ink(theirs, theirs.images[d], byte);
        size_t common = 0;
        for (const auto& p : a) common += b.count(p);
        size_t differing = a.size() + b.size() - 2 * common;
        bool same_width = glyph_columns(ours, ours.images[d], byte).width ==
                          glyph_columns(theirs, theirs.images[d], byte).width;
        for (Closeness* k : {&face[d], &total[d]}) {
          ++k->glyphs;
          k->identical += same_width && differing == 0;
          k->ink += a.size();
          k->differing += differing;
        }
      }
    }
    for (size_t d = 0; d < 2; ++d)
      std::printf(
          "%s %s pt %s, %d dpi: %d glyphs, %.1f%% identical, %.2f%% of the ink pixels "
          "differ\n",
          (c[3] + " " + c[4]).c_str(), c[0].c_str(), c[2].c_str(), 72 * int(d + 1), face[d].glyphs,
          100.0 * face[d].identical / face[d].glyphs, 100.0 * face[d].differing / face[d].ink);
  }
  for (const Closeness& t : total) {
    ASSERT_GT(t.glyphs, 0);
    // Both hint the same outlines; they part by a pixel here and there,
    // mostly where accents sit on letters.
    EXPECT_GE(t.identical * 100, t.glyphs * 85);
    EXPECT_LE(t.differing * 100, t.ink * 3);
  }
}

}  // namespace
