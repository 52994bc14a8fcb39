// The built program as fontpick and a user run it: refused command lines
// leave the folder as it was, and help, version and options anywhere on the
// line are read alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>

#include "glyphsmith_test.h"
#include "run.h"

namespace {

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

}  // namespace
