// The whole road: fontpick's dialog on a private X server, confirmed with
// Return, starts the built generator as bin/_glyphsmith; prcbuild packs what
// it wrote with a remap resource; Palm::PDB reads the package back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "bitmap_font.h"
#include "run.h"
#include "xserver.h"

namespace {

// Starts fontpick and presses Return in its dialog until it ends: under load
// the dialog may map late or miss a key while it fills its font list.
RunResult confirm_dialog(const XServer& x, const std::string& folder,
                         const std::vector<std::string>& arguments) {
  using namespace std::chrono_literals;
  std::vector<std::string> argv{FONTPICK_PROGRAM};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  RunOptions options{folder, x.environment(), 90};
  std::future<RunResult> run =
      std::async(std::launch::async, [argv, options] { return run_command(argv, options); });
  RunOptions tool{folder, x.environment(), 60};
  auto deadline = std::chrono::steady_clock::now() + 80s;
  bool seen = false;
  while (run.wait_for(200ms) != std::future_status::ready &&
         std::chrono::steady_clock::now() < deadline) {
    RunResult found =
        run_command({"xdotool", "search", "--onlyvisible", "--class", "fontpick"}, tool);
    if (found.status != 0 || found.out.empty()) continue;
    std::string window = found.out.substr(0, found.out.find('\n'));
    if (!seen) std::this_thread::sleep_for(1s);
    seen = true;
    if (run_command({"xdotool", "windowfocus", "--sync", window}, tool).status != 0) continue;
    run_command({"xdotool", "key", "Return"}, tool);
    run.wait_for(5s);
  }
  EXPECT_TRUE(seen) << "no dialog appeared";
  return run.get();
}

TEST(Pipeline, FontpickGlyphsmithPrcbuild) {
  XServer x;
  ASSERT_TRUE(x.running()) << x.error();
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
  ASSERT_EQ(symlink(GLYPHSMITH_PROGRAM, dir.file("bin/_glyphsmith").c_str()), 0);

  RunResult pick = confirm_dialog(x, dir.path, {"DejaVu Sans:0:400:Greek", "12pt"});
  ASSERT_EQ(pick.status, 0) << pick.err;
  EXPECT_EQ(pick.err, "");
  EXPECT_EQ(pick.out.substr(0, pick.out.find(',')), "NFNT0080.bin: DejaVu Sans 12 points");
  for (const char* name : {"NFNT0080.bin", "nfnt0080-hd.bin", "preview-0080.png"})
    EXPECT_TRUE(file_exists(dir.file(name))) << name;
  std::string v2 = read_file(dir.file("nfnt0080-hd.bin"));
  BitmapFont font;
  ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(v2.data()), v2.size(), &font), "");
  EXPECT_TRUE(font_has_char(font, 0xC1));   // Greek capital alpha in 1253
  EXPECT_FALSE(font_has_char(font, 0xAA));  // undefined in 1253

  RunResult pack = run_command({PRCBUILD_PROGRAM, "Greek.prc", "DejaVu Sans Greek", "Font", "PGwk",
                                "NFNT0080.bin", "nfnt0080-hd.bin", "-f", "Rmap0000", "80"},
                               RunOptions{dir.path, {}, 60});
  ASSERT_EQ(pack.status, 0) << pack.err;
  RunResult dump = run_command({"perl", PALM_DUMP, dir.file("Greek.prc")});
  ASSERT_EQ(dump.status, 0) << dump.err;
  std::string entries = dump.out.substr(dump.out.find("entries:"));
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "entries:    3\n"
                "  NFNT   128 (0x0080) %7zu bytes\n"
                "  nfnt   128 (0x0080) %7zu bytes\n"
                "  Rmap     0 (0x0000)       4 bytes\n",
                read_file(dir.file("NFNT0080.bin")).size(), v2.size());
  EXPECT_EQ(entries, expected);

  // prcdump reads the fonts in the package as fonts.
  RunResult listing = run_command({PRCDUMP_PROGRAM, dir.file("Greek.prc")});
  ASSERT_EQ(listing.status, 0) << listing.err;
  int present = 0;
  for (int c = font.first_char; c <= font.last_char; ++c) present += font_has_char(font, c);
  for (const char* version : {"v1", "v2"}) {
    std::snprintf(expected, sizeof expected,
                  "font %s: characters %d-%d (%d present), height %d, ascent %d, dpi 72%s\n",
                  version, font.first_char, font.last_char, present, font.rect_height, font.ascent,
                  version[1] == '2' ? " 144" : "");
    EXPECT_NE(listing.out.find(expected), std::string::npos) << expected << listing.out;
  }
  EXPECT_NE(listing.out.find("remap to font 0x0080\n"), std::string::npos) << listing.out;
}

}  // namespace
