// The built program as fontpick and a user run it: refused command lines
// leave the folder as it was, accepted ones write fonts the decoder reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "bitmap_font.h"
#include "entry_name.h"
#include "font_picture.h"
#include "glyphsmith.h"
#include "in_process.h"
#include "png_pixels.h"
#include "text_page.h"
#include "run.h"
#include "text.h"

using namespace palm;

#ifndef GLYPHSMITH_PROGRAM
#error GLYPHSMITH_PROGRAM must name the built program
#endif

using base::format;

namespace {

// GLYPHSMITH may name another build to run instead (a command prefix such as
// "wine .../glyphsmith.exe").
std::vector<std::string> command_prefix() {
  return program_command("GLYPHSMITH", GLYPHSMITH_PROGRAM);
}

bool windows_build() {
  return runs_under_wine(command_prefix());
}

// The version 2 font's file, the same on every system.
std::string v2_name(const std::string& id) {
  return "nfnt" + id + "-hd.bin";
}

// The built program, or the build GLYPHSMITH names.
RunResult glyphsmith_process(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> argv = command_prefix();
  argv.insert(argv.end(), args.begin(), args.end());
  RunResult r = run_command(argv, RunOptions{dir.path, {}, 120});
  r.out = without_cr(r.out);
  r.err = from_wine(r.err);
  return r;
}

// The run function in this process, unless GLYPHSMITH names another build.
RunResult glyphsmith(const TempDir& dir, std::vector<std::string> args) {
  RunResult r = run_program("GLYPHSMITH", "glyphsmith", run_glyphsmith, args, {dir.path, {}, 120});
  r.out = without_cr(r.out);
  r.err = from_wine(r.err);
  return r;
}

using Runner = RunResult (*)(const TempDir&, std::vector<std::string>);

// The cases whose outcome a platform's build decides (GDI's faces and
// sizes, its streams' line ends, main's exit status): run in this process,
// and when GLYPHSMITH names another build (scripts/test-windows.sh names
// the Windows one), as that program too.
class Program : public testing::TestWithParam<Runner> {
 protected:
  RunResult glyphsmith(const TempDir& dir, std::vector<std::string> args) {
    return GetParam()(dir, std::move(args));
  }
};

std::vector<Runner> other_builds() {
  if (env_command("GLYPHSMITH").empty()) return {};
  return {glyphsmith_process};
}

std::string runner_name(const testing::TestParamInfo<Runner>& info) {
  return info.param == glyphsmith ? "InProcess" : "OtherBuild";
}

INSTANTIATE_TEST_SUITE_P(Glyphsmith, Program, testing::Values(glyphsmith), runner_name);
INSTANTIATE_TEST_SUITE_P(GlyphsmithEndToEnd, Program, testing::ValuesIn(other_builds()),
                         runner_name);

BitmapFont decoded(const std::string& path) {
  std::string bytes = read_file(path);
  BitmapFont font;
  EXPECT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "")
      << path;
  return font;
}

struct Refusal {
  std::vector<std::string> args;
  std::string err;  // the whole of standard error; '*' stands for a number where marked
  bool pattern = false;
};

// Whether text is pattern with each '*' standing for one or more hex digits.
bool matches(const char* text, const char* pattern) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern != '*') return *text == *pattern && matches(text + 1, pattern + 1);
  int digits = 0;
  while (std::isxdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  for (; digits > 0; --digits)
    if (matches(text + digits, pattern + 1)) return true;
  return false;
}

const std::string kFace[] = {"DejaVu", "Sans"};

std::vector<std::string> line(std::vector<std::string> head) {
  head.insert(head.end(), std::begin(kFace), std::end(kFace));
  return head;
}

TEST_P(Program, RefusedCommandLinesLeaveNothing) {
  const std::string expected =
      "glyphsmith: expected SIZE LINE CHARSET FACE... (see glyphsmith --help)\n";
  const Refusal cases[] = {
      {{}, expected},
      {{"12", "15.6", "Western"}, expected},
      {{"--bold", "12", "15.6"}, expected},
      {line({"--frob", "12", "15.6", "Western"}), "glyphsmith: unknown option '--frob'\n"},
      {line({"-12", "15.6", "Western"}), "glyphsmith: unknown option '-12'\n"},
      {{"-o"}, "glyphsmith: option '-o' needs a value\n"},
      {{"12", "15.6", "Western", "DejaVu", "Sans", "--frob"},
       "glyphsmith: unknown option '--frob'\n"},
      {line({"--bold=x", "12", "15.6", "Western"}), "glyphsmith: unknown option '--bold=x'\n"},
      {{"--", "-o", "15.6", "Western", "DejaVu"},
       "glyphsmith: size '-o' is not a number of points from 0.5 to 255\n"},
      {line({"-o", "", "12", "15.6", "Western"}), "glyphsmith: option '-o' needs a folder\n"},
      {line({"--id", "12345", "12", "15.6", "Western"}),
       "glyphsmith: resource ID '12345' is not 1 to 4 hexadecimal digits\n"},
      {line({"--id", "0x80", "12", "15.6", "Western"}),
       "glyphsmith: resource ID '0x80' is not 1 to 4 hexadecimal digits\n"},
      {line({"--weight", "0", "12", "15.6", "Western"}),
       "glyphsmith: weight '0' is not a number from 1 to 1000\n"},
      {line({"--weight", "bold", "12", "15.6", "Western"}),
       "glyphsmith: weight 'bold' is not a number from 1 to 1000\n"},
      {line({"12pt", "15.6", "Western"}),
       "glyphsmith: size '12pt' is not a number of points from 0.5 to 255\n"},
      {line({"0.4", "15.6", "Western"}),
       "glyphsmith: size '0.4' is not a number of points from 0.5 to 255\n"},
      {line({"12,5", "15.6", "Western"}),
       "glyphsmith: size '12,5' is not a number of points from 0.5 to 255\n"},
      {line({"256", "15.6", "Western"}),
       "glyphsmith: size '256' is not a number of points from 0.5 to 255\n"},
      {line({"12", "1e3", "Western"}),
       "glyphsmith: line spacing '1e3' is not a number of points from 0 to 1000\n"},
      {line({"12", "15.6", "Klingon"}),
       "glyphsmith: unknown character set 'Klingon' (known: Western, Default, EasternEurope, "
       "Greek, Mac, OEM, Cyrillic, Symbol, Turkish, Vietnamese, Arabic, Hebrew, Thai, or a "
       "Windows number such as 186)\n"},
      {{"12", "15.6", "128", "MS", "Gothic"},
       "glyphsmith: character set 128 has two-byte characters; a Palm font holds single bytes\n"},
      {{"12", "15.6", "Western", "DejaVu", "Sanz"},
       "glyphsmith: no installed font family 'DejaVu Sanz' (closest: 'DejaVu Sans'; see glyphsmith "
       "--list)\n"},
      {{"12", "15.6", "Western", "DejaVuSans"},
       "glyphsmith: no installed font family 'DejaVuSans' (closest: 'DejaVu Sans'; see glyphsmith "
       "--list)\n"},
      {line({"12", "15.6", "Symbol"}),
       "glyphsmith: font family 'DejaVu Sans' has no symbol character map\n"},
      {line({"-o", "missing", "12", "15.6", "Western"}), "glyphsmith: no folder 'missing'\n"},
      {line({"-o", "/dev/null", "12", "15.6", "Western"}), "glyphsmith: no folder '/dev/null'\n"},
      {line({"200", "260", "Western"}),
       "glyphsmith: font family 'DejaVu Sans' at 200 points: character 0x* would be * pixels "
       "wide, more than a Palm font's 127\n",
       true},
      // The size the help names for this face.
      {line({"26", "33.8", "Western"}),
       "glyphsmith: font family 'DejaVu Sans' at 26 points takes * bytes at 72 and 144 dpi, "
       "more than a Palm resource holds (65505); the largest size that fits is * points; or "
       "choose fewer characters with --chars, or write the 72-dpi font alone with "
       "--single-density\n",
       true},
      {line({"--chars", "0x20-0x7e,0x100", "12", "15.6", "Western"}),
       "glyphsmith: character list '0x20-0x7e,0x100': '0x100' is not a code from 0 to 0xff or a "
       "range (codes and ranges such as 0x20-0x7e,0xa0-0xff)\n"},
      {line({"--chars", "0x7e-0x20", "12", "15.6", "Western"}),
       "glyphsmith: character list '0x7e-0x20': the range '0x7e-0x20' runs backwards\n"},
      {line({"--chars", "32,,33", "12", "15.6", "Western"}),
       "glyphsmith: character list '32,,33': '' is not a code from 0 to 0xff or a range (codes "
       "and ranges such as 0x20-0x7e,0xa0-0xff)\n"},
      {{"--list", "a", "b"}, "glyphsmith: --list takes one PATTERN at most\n"},
      {line({"40", "52", "Western"}),
       "glyphsmith: font family 'DejaVu Sans' at 40 points takes * bytes at 72 and 144 dpi, "
       "more than a Palm resource holds (65505); the largest size that fits is * points; or "
       "choose fewer characters with --chars, or write the 72-dpi font alone with "
       "--single-density\n",
       true},
  };
  // Bitmap faces and font files: FreeType reads them, GDI only names families.
  TempDir files;
  std::string bomb = files.file("big.pcf.gz");  // one byte past the bound, unpacked
  ASSERT_EQ(run_command({"sh", "-c", "head -c 67108865 /dev/zero | gzip -1 >big.pcf.gz"},
                        RunOptions{files.path, {}, 120})
                .status,
            0);
  const std::vector<Refusal> bitmap_cases =
      windows_build()
          ? std::vector<Refusal>{{{"12", "15.6", "Western", "/no/such.bdf"},
                                  "glyphsmith: no font file '/no/such.bdf'\n"}}
          : std::vector<Refusal>{
                {{"13", "15.6", "Western", "Terminus"},
                 "glyphsmith: font family 'Terminus' has no 13-pixel strike (sizes: 12, 14, 16, "
                 "18, 20, 22, 24, 28, 32)\n"},
                {{"12", "15.6", "Thai", "Terminus"},
                 "glyphsmith: font family 'Terminus' has * of the * characters Thai adds to "
                 "ASCII; choose a set it covers\n",
                 true},
                {{"12", "15.6", "Western", "/no/such.bdf"},
                 "glyphsmith: no font file '/no/such.bdf'\n"},
                {{"12", "15.6", "Western", GLYPHSMITH_SOURCE_DIR "/glyphsmith.cpp"},
                 "glyphsmith: cannot read '" GLYPHSMITH_SOURCE_DIR "/glyphsmith.cpp' as a font\n"},
                {{"12", "15.6", "Western", bomb},
                 "glyphsmith: font file '" + bomb + "' is more than 64 MB uncompressed\n"},
            };
  std::vector<Refusal> all(std::begin(cases), std::end(cases));
  all.insert(all.end(), bitmap_cases.begin(), bitmap_cases.end());
  for (const Refusal& c : all) {
    TempDir dir;
    RunResult r = glyphsmith(dir, c.args);
    std::string shown = testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.out, "") << shown;
    if (c.pattern)
      EXPECT_TRUE(matches(r.err.c_str(), c.err.c_str())) << shown << "\n" << r.err;
    else
      EXPECT_EQ(r.err, c.err) << shown;
    EXPECT_EQ(folder_names(dir.path), std::set<std::string>{}) << shown;
  }
}

// A refused set leaves the folder as it was, its own earlier file included.
TEST_P(Program, RefusedSetsLeaveFilesAsTheyWere) {
  // GDI's glyphs come out a pixel smaller at some sizes, so one size more fits.
  const std::string fits =
      std::string("the largest size that fits is ") + (windows_build() ? "25" : "24") + " points";
  const Refusal cases[] = {
      {line({"--set", "a/b", "9", "11.7", "Western"}),
       "glyphsmith: set name 'a/b' is not 1 to 25 letters, digits, spaces, '.', '_' or '-'\n"},
      {line({"--set", std::string(26, 'x'), "9", "11.7", "Western"}),
       "glyphsmith: set name '" + std::string(26, 'x') +
           "' is not 1 to 25 letters, digits, spaces, '.', '_' or '-'\n"},
      {{"9", "11.7", "Western", "DejaVu", "Sans", "--set"},
       "glyphsmith: option '--set' needs a value\n"},
      {{"--set", "T", "9", "11.7", "Western"},
       "glyphsmith: expected --set NAME SIZE LINE CHARSET FACE... (see glyphsmith --help)\n"},
      {line({"--large", "12", "9", "11.7", "Western"}), "glyphsmith: unknown option '--large'\n"},
      {line({"--set", "T", "--large", "0.4", "9", "11.7", "Western"}),
       "glyphsmith: large size '0.4' is not a number of points from 0.5 to 255\n"},
      {line({"--set", "T", "--bold-weight", "1001", "9", "11.7", "Western"}),
       "glyphsmith: bold weight '1001' is not a number from 1 to 1000\n"},
      {line({"--set", "T", "--id", "81", "9", "11.7", "Western"}),
       "glyphsmith: resource ID 0081 stands for narrowFixedFont; choose another\n"},
      {line({"--set", "T", "--id", "7f", "9", "11.7", "Western"}),
       "glyphsmith: resource ID 007f is below 0080, among the Palm's own fonts\n"},
      {line({"--set", "T", "--id", "fffe", "9", "11.7", "Western"}),
       "glyphsmith: the set's four IDs from fffe up pass ffff\n"},
      {line({"--set", "T", "-o", "missing", "9", "11.7", "Western"}),
       "glyphsmith: no folder 'missing'\n"},
      {{"--set", "T", "9", "11.7", "Western", "DejaVu", "Sanz"},
       "glyphsmith: no installed font family 'DejaVu Sanz' (closest: 'DejaVu Sans'; see glyphsmith "
       "--list)\n"},
      {{"--set", "T", "9", "11.7", "Western", "T-fonts.prc"},
       "glyphsmith: the set would replace its own font file 'T-fonts.prc'\n"},
      // Too large at 144 dpi, as the single font of that size is.
      {line({"--set", "T", "26", "33.8", "Western"}),
       "glyphsmith: the std font at 26 points takes * bytes at 72 and 144 dpi, more than a Palm "
       "resource holds (65505); " +
           fits + "\n",
       true},
      {line({"--set", "T", "22", "28.6", "Western"}),
       "glyphsmith: the large font at 28 points takes * bytes at 72 and 144 dpi, more than a "
       "Palm resource holds (65505); " +
           fits + " (--large sets the large fonts' size)\n",
       true},
  };
  std::vector<Refusal> all(std::begin(cases), std::end(cases));
  if (!windows_build())  // a bitmap face has only its strikes' sizes
    all.push_back({{"--set", "T", "12", "14", "Western", "Terminus"},
                   "glyphsmith: the large font: font family 'Terminus' has no 15-pixel strike "
                   "(sizes: 12, 14, 16, 18, 20, 22, 24, 28, 32) (--large sets the large fonts' "
                   "size)\n"});
  for (const Refusal& c : all) {
    TempDir dir;
    write_file(dir.file("T-fonts.prc"), "keep");
    RunResult r = glyphsmith(dir, c.args);
    std::string shown = testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_TRUE(c.pattern ? matches(r.err.c_str(), c.err.c_str()) : r.err == c.err) << shown << "\n"
                                                                                    << r.err;
    EXPECT_EQ(folder_names(dir.path), std::set<std::string>{"T-fonts.prc"}) << shown;
    EXPECT_EQ(read_file(dir.file("T-fonts.prc")), "keep") << shown;
  }
}

// Options may follow the face's words: none of them joins the family name.
TEST_P(Program, OptionsAnywhere) {
  TempDir first, last, plain;
  ASSERT_EQ(glyphsmith(first, line({"--italic", "--no-preview", "12", "15.6", "Western"})).status,
            0);
  ASSERT_EQ(
      glyphsmith(last, {"12", "15.6", "Western", "DejaVu", "Sans", "--italic", "--no-preview"})
          .status,
      0);
  ASSERT_EQ(glyphsmith(plain, line({"--no-preview", "12", "15.6", "Western"})).status, 0);
  std::string italic = read_file(first.file("NFNT0080.bin"));
  EXPECT_EQ(read_file(last.file("NFNT0080.bin")), italic);
  EXPECT_NE(read_file(plain.file("NFNT0080.bin")), italic);
  // A bitmap family's oblique face is its italic.
  TempDir oblique;
  if (!windows_build()) {
    EXPECT_EQ(glyphsmith(oblique, {"--italic", "12", "13", "Western", "Terminus"}).status, 0);
  }
}

// A folder the program may not write in, as the system words it.
TEST(Glyphsmith, UnwritableFolderLeavesNothing) {
  if (windows_build()) GTEST_SKIP() << "POSIX permissions";
  TempDir dir;
  std::string folder = "/sys";
  int fd = open((folder + "/glyphsmith-probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_LT(fd, 0) << "/sys took a new file";
  std::string why = std::strerror(errno);
  std::set<std::string> before = folder_names(folder);
  RunResult r = glyphsmith(dir, line({"-o", folder, "--id", "80", "12", "15.6", "Western"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "glyphsmith: cannot write in '" + folder + "': " + why + "\n");
  EXPECT_EQ(folder_names(folder), before);
}

// main's own check of its standard output, which a run function leaves to it.
TEST(GlyphsmithEndToEnd, FullStandardOutputFails) {
  if (windows_build()) GTEST_SKIP() << "POSIX /dev/full";
  TempDir dir;
  RunResult r = run_command({"sh", "-c", "exec \"$0\" --version >/dev/full", GLYPHSMITH_PROGRAM},
                            RunOptions{dir.path, {}, 120});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("glyphsmith: standard output: ") + std::strerror(ENOSPC) + "\n");
}

TEST_P(Program, HelpAndVersion) {
  TempDir dir;
  for (const char* help : {"-h", "--help"}) {
    RunResult r = glyphsmith(dir, {help});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "Usage: glyphsmith [options] SIZE LINE CHARSET FACE...");
    EXPECT_EQ(r.err, "");
  }
  // The set's command line asks for the same help and version.
  EXPECT_EQ(glyphsmith(dir, {"--set", "T", "-h"}).out, glyphsmith(dir, {"--help"}).out);
  EXPECT_EQ(glyphsmith(dir, {"--version", "--set", "T"}).out, "glyphsmith " GLYPHSMITH_VERSION "\n");
  RunResult r = glyphsmith(dir, {"--version", "12"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "glyphsmith " GLYPHSMITH_VERSION "\n");
  EXPECT_EQ(folder_names(dir.path), std::set<std::string>{});
}

std::string size_of(const TempDir& dir, const std::string& name) {
  return std::to_string(read_file(dir.file(name)).size());
}

// Width and height from a PNG file's header.
std::string png_size(const std::string& path) {
  std::string png = read_file(path);
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return "not a PNG";
  auto be32 = [&png](size_t at) {
    return std::to_string(
        static_cast<uint8_t>(png[at]) << 24 | static_cast<uint8_t>(png[at + 1]) << 16 |
        static_cast<uint8_t>(png[at + 2]) << 8 | static_cast<uint8_t>(png[at + 3]));
  };
  return be32(16) + " x " + be32(20);
}

// Fewer characters or one density make a font that would not fit; --list
// names the private set's families, with a bitmap family's strikes.
TEST_P(Program, CharsSingleDensityAndList) {
  TempDir dir;
  RunResult r =
      glyphsmith(dir, line({"--no-preview", "--chars", "0x20-0x7e", "36", "40", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  BitmapFont v1 = decoded(dir.file("NFNT0080.bin"));
  EXPECT_EQ(v1.first_char, 0x20);
  EXPECT_EQ(v1.last_char, 0x7E);
  r = glyphsmith(dir, line({"--no-preview", "--single-density", "12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(decoded(dir.file("NFNT0082.bin")).first_char, 0x09);
  EXPECT_EQ(folder_names(dir.path),
            (std::set<std::string>{"NFNT0080.bin", v2_name("0080"), "NFNT0082.bin"}));
  // wine's GDI lists no OpenType bitmap family.
  if (windows_build()) return;
  r = glyphsmith(dir, {"--list", "ter"});
  EXPECT_EQ(r.out, "Terminus: 12 14 16 18 20 22 24 28 32 pixels\n");
}

// New fonts take the first free ID from 0080 up that no Palm font name stands
// for, whatever names earlier versions gave the files; --id names one and
// replaces.
TEST_P(Program, ChoosesFreeIdsAndReplacesOnlyOnRequest) {
  TempDir dir;
  write_file(dir.file("nfnt0080-2.bin"), "keep");
  write_file(dir.file("PREVIEW-0082.PNG"), "keep");
  write_file(dir.file("nfnt0083.bin"), "keep");
  write_file(dir.file("NFNT0084.png"), "keep");
  write_file(dir.file("Nfnt0085"), "keep");
  write_file(dir.file("nfnt0086x.bin"), "not a font's name");
  RunResult r = glyphsmith(dir, line({"12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // 0x20..0xFF but DEL and the two bytes 1252 leaves undefined that
  // the Palm leaves so too, and its tab, ellipsis and numeric space.
  std::string what =
      "DejaVu Sans 12 points, Western (code page 1252), "
      "224 characters, ";
  BitmapFont v1 = decoded(dir.file("NFNT0086.bin"));
  std::string high = std::to_string(v1.rect_height) + " pixels high";
  EXPECT_EQ(r.out, "NFNT0086.bin: " + what + high + ", 72 dpi, " + size_of(dir, "NFNT0086.bin") +
                       " bytes\n" + v2_name("0086") + ": " + what + high + ", 72 and 144 dpi, " +
                       size_of(dir, v2_name("0086")) +
                       " bytes\npreview-0086.png: preview at 72 and 144 dpi, " +
                       png_size(dir.file("preview-0086.png")) + " pixels\n");
  EXPECT_EQ(read_file(dir.file("nfnt0080-2.bin")), "keep");
  // prcbuild refuses the preview's name, and reads the fonts' as their type and ID.
  unsigned id = 0;
  EXPECT_FALSE(entry_name_id("preview-0086.png", &id));
  EXPECT_TRUE(entry_name_id(v2_name("0086").c_str(), &id));
  EXPECT_EQ(0x86u, id);

  r = glyphsmith(dir, line({"--id", "80", "--no-preview", "9", "11.7", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  // The largest size of this face that fits, as the help says.
  r = glyphsmith(dir, line({"--id", "81", "--no-preview", "24", "31.2", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(folder_names(dir.path),
            (std::set<std::string>{"nfnt0080-2.bin", "NFNT0080.bin", v2_name("0080"), "NFNT0081.bin",
                                   v2_name("0081"), "PREVIEW-0082.PNG", "nfnt0083.bin",
                                   "NFNT0084.png", "Nfnt0085", "nfnt0086x.bin", "NFNT0086.bin",
                                   v2_name("0086"), "preview-0086.png"}));
  EXPECT_LT(decoded(dir.file(v2_name("0080"))).rect_height, v1.rect_height);
}

// 'A' and 'B' in a face numbered by byte, at `bits` a pixel: '#' the whole
// range, '+' half of it, '-' just under half, '.' none; 'C' ends before its
// BITMAP, a blank.
std::string grey_bdf(int bits) {
  const char* rows[] = {"#+-.#", "-#+#.", "+.#-+"};
  int full = (1 << bits) - 1, half = (full + 1) / 2;
  std::string bdf = "STARTFONT 2." + std::string(bits > 1 ? "3" : "1") +
                    "\nFONT -Test-Grey-Medium-R-Normal--3-30-72-72-P-50-windows-1252\nSIZE 3 72 72" +
                    (bits > 1 ? " " + std::to_string(bits) : "") +
                    "\nFONTBOUNDINGBOX 5 3 0 0\nSTARTPROPERTIES 5\nFAMILY_NAME \"Grey\"\n"
                    "CHARSET_REGISTRY \"windows\"\nCHARSET_ENCODING \"1252\"\nFONT_ASCENT 3\n"
                    "FONT_DESCENT 0\nENDPROPERTIES\nCHARS 3\n";
  for (char c : {'A', 'B'}) {
    bdf += "STARTCHAR " + std::string(1, c) + "\nENCODING " + std::to_string(c) +
           "\nSWIDTH 1000 0\nDWIDTH 6 0\nBBX 5 3 " + std::to_string(c - 'A') + " 0\nBITMAP\n";
    for (const char* row : rows) {
      uint64_t packed = 0;
      for (const char* p = row; *p; ++p)
        packed = packed << bits | (*p == '#' ? full : *p == '+' ? half : *p == '-' ? half - 1 : 0);
      int used = 5 * bits, bytes = (used + 7) / 8;
      bdf += format("%0*llX\n", 2 * bytes, static_cast<unsigned long long>(packed << (8 * bytes - used)));
    }
    bdf += "ENDCHAR\n";
  }
  return bdf + "STARTCHAR C\nENCODING 67\nSWIDTH 1000 0\nDWIDTH 6 0\nBBX 5 3 0 0\nENDCHAR\nENDFONT\n";
}

// A grey strike's ink is every pixel at least half its range: 2, 4 and 8
// bits a pixel give the fonts of the 1-bit twin.
TEST(Glyphsmith, GreyStrikesAsTheir1BitTwin) {
  if (windows_build()) GTEST_SKIP() << "GDI only names families";
  TempDir dir;
  std::vector<std::string> fonts;
  for (int bits : {1, 2, 4, 8}) {
    std::string name = "g" + std::to_string(bits);
    write_file(dir.file(name + ".bdf"), grey_bdf(bits));
    ASSERT_EQ(run_command({"mkdir", name}, RunOptions{dir.path, {}, 120}).status, 0);
    RunResult r = glyphsmith(dir, {"--no-preview", "--id", "80", "-o", name, "3", "3", "Western",
                                   name + ".bdf"});
    ASSERT_EQ(r.status, 0) << r.err;
    fonts.push_back(hex(read_file(dir.file(name + "/NFNT0080.bin"))) + " / " +
                    hex(read_file(dir.file(name + "/" + v2_name("0080")))));
    EXPECT_EQ(fonts.back(), fonts.front()) << bits;
  }
}

}  // namespace

// The preview's page is the text given, whole whatever code page the system
// hands arguments in, drawn from the written font: Ω, which code page 1252
// lacks, as the missing symbol.
TEST_P(Program, PreviewPageShowsTheSampleFromTheWrittenFont) {
  TempDir dir;
  RunResult r =
      glyphsmith(dir, line({"--sample=\xCE\xA9 \xC3\xA9t\xC3\xA9", "12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  BitmapFont font = decoded(dir.file(v2_name("0080")));
  PictureOptions options;
  Canvas page = draw_text_page(font, std::string("\0 \xE9t\xE9", 5), 1, options.gap);
  EXPECT_EQ(page.width * page.height, (160 + options.gap + 320) * 320);
  Canvas sample =
      draw_sample(font, "The quick brown fox jumps over the lazy dog. 0123456789", options);
  Canvas want = stack_canvases({sample, draw_glyph_sheet(font, options), page}, 16, kPictureWhite);
  EXPECT_EQ(png_pixels(as_string(encode_png(want))),
            png_pixels(read_file(dir.file("preview-0080.png"))));
}
