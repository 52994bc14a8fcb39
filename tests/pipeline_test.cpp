// The whole road: fontpick's dialog on a private X server, confirmed with
// Return, starts the built generator as bin/_glyphsmith; prcbuild packs what
// it wrote with a remap resource; Palm::PDB reads the package back. And the
// README's own steps, run as written, print what it shows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <fstream>
#include <future>
#include <sstream>

#include "bitmap_font.h"
#include "run.h"
#include "text.h"
#include "xserver.h"

using namespace palm;

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
    seen = true;
    if (run_command({"xdotool", "windowfocus", "--sync", window}, tool).status != 0) continue;
    run_command({"xdotool", "key", "Return"}, tool);
    run.wait_for(1s);
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

// One command of a README block, with the output shown under it.
struct ReadmeCommand {
  std::string line;
  std::vector<std::string> words;
  std::string comment;                // after " # " on the command's line
  std::vector<std::string> expected;  // the "# " lines under it
};

// The words of a command line as a POSIX shell splits them (quotes, no
// expansions); false at a quote left open.
bool shell_words(const std::string& line, std::vector<std::string>* words, std::string* comment) {
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"' || c == '\'') {
      size_t end = line.find(c, i + 1);
      if (end == std::string::npos) return false;
      word += line.substr(i + 1, end - i - 1);
      in_word = true;
      i = end;
    } else if (c == ' ') {
      if (in_word) words->push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '#' && !in_word) {
      *comment = line.substr(i + 1);
      break;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words->push_back(word);
  return true;
}

// The commands of the ```sh blocks of the README section whose heading is
// `heading`, lines ending in '\' joined.
std::vector<ReadmeCommand> readme_commands(const std::string& heading) {
  std::ifstream in(SOURCE_PATH "/README.md");
  std::vector<ReadmeCommand> commands;
  std::string line, pending;
  bool in_section = false, in_block = false;
  while (std::getline(in, line)) {
    if (line.rfind("#", 0) == 0 && !in_block) {
      in_section = line == heading;
      continue;
    }
    size_t indent = line.find_first_not_of(' ');
    std::string text = indent == std::string::npos ? "" : line.substr(indent);
    if (text.rfind("```", 0) == 0) {
      in_block = !in_block && text == "```sh";
      continue;
    }
    if (!in_section || !in_block) continue;
    if (text.rfind("#", 0) == 0) {
      if (!commands.empty()) commands.back().expected.push_back(text.substr(text.size() > 1 ? 2 : 1));
      continue;
    }
    if (!text.empty() && text.back() == '\\') {
      pending += text.substr(0, text.size() - 1);
      continue;
    }
    ReadmeCommand c;
    c.line = pending + text;
    pending.clear();
    EXPECT_TRUE(shell_words(c.line, &c.words, &c.comment)) << c.line;
    commands.push_back(c);
  }
  return commands;
}

// Whether text matches pattern, where "..." stands for any text.
bool glob_line(const std::string& text, const std::string& pattern) {
  size_t dots = pattern.find("...");
  if (dots == std::string::npos) return text == pattern;
  if (text.compare(0, dots, pattern, 0, dots) != 0) return false;
  std::string rest = pattern.substr(dots + 3);
  for (size_t at = dots; at <= text.size(); ++at)
    if (glob_line(text.substr(at), rest)) return true;
  return false;
}

// Whether the lines match the pattern lines, where a line "..." stands for
// any number of lines.
bool glob_lines(const std::vector<std::string>& lines, size_t i,
                const std::vector<std::string>& patterns, size_t p) {
  if (p == patterns.size()) return i == lines.size();
  if (patterns[p] == "...") {
    for (size_t k = i; k <= lines.size(); ++k)
      if (glob_lines(lines, k, patterns, p + 1)) return true;
    return false;
  }
  return i < lines.size() && glob_line(lines[i], patterns[p]) &&
         glob_lines(lines, i + 1, patterns, p + 1);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs the README section's commands of the four programs in one folder, in
// order, as written; the other lines (mkdir, ln, cd) are the folder's setup,
// done here. Each must end with 0, print nothing on standard error and print
// the lines shown under it. Under wine the Windows builds run them; fontpick
// then stands aside for the generator run it names in its comment ("runs
// bin/_glyphsmith ..."), which its dialog makes here.
void run_readme_section(const std::string& heading) {
  std::vector<ReadmeCommand> commands = readme_commands(heading);
  ASSERT_FALSE(commands.empty()) << heading;
  std::vector<std::string> glyphsmith = program_command("GLYPHSMITH", GLYPHSMITH_PROGRAM);
  bool wine = runs_under_wine(glyphsmith);
  TempDir dir, log;
  ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.file("examples").c_str(), 0755), 0);
  for (const char* example : {"tver0001.bin", "tAIN03e8.bin"})
    write_file(dir.file("examples/") + example,
               read_file(std::string(SOURCE_PATH) + "/examples/" + example));
  // The generator notes its arguments, then runs as fontpick's would.
  write_file(dir.file("bin/_glyphsmith"), "#!/bin/sh\necho \"$*\" >>'" + log.file("args") +
                                              "'\nexec '" GLYPHSMITH_PROGRAM "' \"$@\"\n");
  ASSERT_EQ(chmod(dir.file("bin/_glyphsmith").c_str(), 0755), 0);
  std::unique_ptr<XServer> x;
  int run = 0;
  for (const ReadmeCommand& c : commands) {
    if (c.words.empty()) continue;
    const std::string& program = c.words[0];
    std::vector<std::string> argv(c.words.begin() + 1, c.words.end());
    RunResult r;
    if (program == "fontpick") {
      const std::string runs = " runs bin/_glyphsmith ";
      size_t at = c.comment.find(runs);
      ASSERT_NE(at, std::string::npos) << c.line;
      std::vector<std::string> generator;
      std::string ignored;
      shell_words(c.comment.substr(at + runs.size()), &generator, &ignored);
      if (wine) {
        argv = generator;
        argv.insert(argv.begin(), glyphsmith.begin(), glyphsmith.end());
        r = run_command(argv, RunOptions{dir.path, {}, 120});
      } else {
        if (!x) x = std::make_unique<XServer>();
        ASSERT_TRUE(x->running()) << x->error();
        r = confirm_dialog(*x, dir.path, argv);
        std::string words;
        for (const std::string& w : generator) words += (words.empty() ? "" : " ") + w;
        EXPECT_EQ(read_file(log.file("args")), words + "\n") << c.line;
      }
    } else if (program == "glyphsmith" || program == "prcbuild" || program == "prcdump") {
      std::vector<std::string> command =
          program == "glyphsmith" ? glyphsmith
          : program == "prcbuild" ? program_command("PRCBUILD", PRCBUILD_PROGRAM)
                                  : program_command("PRCDUMP", PRCDUMP_PROGRAM);
      argv.insert(argv.begin(), command.begin(), command.end());
      r = run_command(argv, RunOptions{dir.path, {}, 120});
    } else {
      continue;
    }
    ++run;
    r.out = without_cr(r.out);
    EXPECT_EQ(r.status, 0) << c.line << "\n" << r.err;
    EXPECT_EQ(from_wine(r.err), "") << c.line;
    if (!c.expected.empty()) {
      EXPECT_TRUE(glob_lines(lines_of(r.out), 0, c.expected, 0)) << c.line << "\n" << r.out;
    }
  }
  EXPECT_GT(run, 0) << heading;
}

TEST(Pipeline, ReadmeMakeAFontPackage) {
  run_readme_section("## Make a font package");
}

TEST(Pipeline, ReadmeFontRemapPackages) {
  run_readme_section("### Font remap packages");
}

TEST(Pipeline, ReadmeReplacementSet) {
  run_readme_section("## A replacement set in one step");
}

// The set's packages as Palm::PDB and prcdump read them: the four fonts are
// the ones single runs of the generator make, and the remap entries send the
// Palm's std, bold, large and largeBold fonts, and their hr ones, to them.
TEST(Pipeline, ReplacementSetPackages) {
  TempDir dir;
  auto run = [&dir](const char* env, const char* built, const std::vector<std::string>& args) {
    std::vector<std::string> argv = program_command(env, built);
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run_command(argv, RunOptions{dir.path, {}, 120});
    r.out = without_cr(r.out);
    return r;
  };
  RunResult set = run("GLYPHSMITH", GLYPHSMITH_PROGRAM,
                      {"--set", "Sans", "--id", "a0", "9", "11.7", "Western", "DejaVu", "Sans"});
  ASSERT_EQ(set.status, 0) << set.err;
  RunResult check =
      run("PRCDUMP", PRCDUMP_PROGRAM, {"--check", "Sans-fonts.prc", "Sans-remap.prc"});
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, "Sans-fonts.prc: ok, 10 entries\nSans-remap.prc: ok, 10 entries\n");

  RunResult remap = run_command({"perl", PALM_DUMP, "--data", dir.file("Sans-remap.prc")});
  ASSERT_EQ(remap.status, 0) << remap.err;
  EXPECT_NE(remap.out.find("type:       Rmap\ncreator:    PGwk\n"), std::string::npos) << remap.out;
  EXPECT_EQ(remap.out.substr(remap.out.find("entries:")),
            "entries:    10\n"
            "  tver     1 (0x0001)       4 bytes: 31 2e 30 00\n"
            "  tAIN  1000 (0x03e8)      11 bytes: 53 61 6e 73 20 52 65 6d 61 70 00\n"
            "  Rmap     0 (0x0000)       4 bytes: 40 00 00 a0\n"
            "  Rmap     1 (0x0001)       4 bytes: 40 00 00 a1\n"
            "  Rmap     2 (0x0002)       4 bytes: 40 00 00 a2\n"
            "  Rmap     7 (0x0007)       4 bytes: 40 00 00 a3\n"
            "  Rmap     8 (0x0008)       4 bytes: 40 00 00 a0\n"
            "  Rmap     9 (0x0009)       4 bytes: 40 00 00 a1\n"
            "  Rmap    10 (0x000a)       4 bytes: 40 00 00 a2\n"
            "  Rmap    15 (0x000f)       4 bytes: 40 00 00 a3\n");

  // std and bold at 9 points, large and largeBold at 9 x 14/11, 11.5.
  ASSERT_EQ(run("PRCDUMP", PRCDUMP_PROGRAM, {"-x", "entries", "Sans-fonts.prc"}).status, 0);
  const std::vector<std::vector<std::string>> singles = {
      {"--id", "b0", "9", "11.7"},
      {"--id", "b1", "--bold", "9", "11.7"},
      {"--id", "b2", "11.5", "14.9"},
      {"--id", "b3", "--bold", "11.5", "14.9"},
  };
  std::string listed =
      "entries:    10\n  tver     1 (0x0001)       4 bytes\n  tAIN  1000 (0x03e8)      11 bytes\n";
  for (size_t i = 0; i < singles.size(); ++i) {
    std::vector<std::string> args = {"--no-preview"};
    args.insert(args.end(), singles[i].begin(), singles[i].end());
    args.insert(args.end(), {"Western", "DejaVu", "Sans"});
    ASSERT_EQ(run("GLYPHSMITH", GLYPHSMITH_PROGRAM, args).status, 0);
    std::string single = "b" + std::to_string(i), in_set = "a" + std::to_string(i);
    std::string v1 = read_file(dir.file("entries/NFNT00" + in_set + ".bin"));
    std::string v2 = read_file(dir.file("entries/nfnt00" + in_set + "-2.bin"));
    EXPECT_EQ(v1, read_file(dir.file("NFNT00" + single + ".bin"))) << in_set;
    EXPECT_EQ(v2, read_file(dir.file("nfnt00" + single + "-hd.bin"))) << in_set;
    for (const std::string* font : {&v1, &v2})
      listed += base::format("  %s   %d (0x00%s) %7zu bytes\n", font == &v1 ? "NFNT" : "nfnt",
                             0xa0 + static_cast<int>(i), in_set.c_str(), font->size());
  }
  RunResult fonts = run_command({"perl", PALM_DUMP, dir.file("Sans-fonts.prc")});
  ASSERT_EQ(fonts.status, 0) << fonts.err;
  EXPECT_EQ(fonts.out.substr(fonts.out.find("entries:")), listed);
}

}  // namespace
