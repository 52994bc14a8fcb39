#include "program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "in_process.h"
#include "run.h"
#include "xserver.h"

namespace {

struct ArgumentCase {
  std::vector<const char*> argv;
  const char* font_spec;
  const char* size_spec;
};

std::ostream& operator<<(std::ostream& out, const ArgumentCase& c) {
  for (const char* a : c.argv) out << testing::PrintToString(std::string(a)) << " ";
  return out;
}

class StartingFontTable : public testing::TestWithParam<ArgumentCase> {};

TEST_P(StartingFontTable, PicksSpecsByArgumentCount) {
  std::vector<const char*> argv = GetParam().argv;
  StartingFont start = starting_font(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(start.font_spec, GetParam().font_spec);
  EXPECT_EQ(start.size_spec, GetParam().size_spec);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, StartingFontTable,
    testing::Values(
        ArgumentCase{{"fontpick"}, "Times New Roman:0:400:0", "9pt"},
        ArgumentCase{{"fontpick", "Arial:1:700:Greek"}, "Arial:1:700:Greek", "12pt"},
        ArgumentCase{{"fontpick", "Arial", "-20"}, "Arial", "-20"},
        ArgumentCase{{"fontpick", "", ""}, "", ""},
        ArgumentCase{{"fontpick", "Arial", "10pt", "extra"}, "Times New Roman:0:400:0", "9pt"},
        ArgumentCase{{"fontpick", "a", "b", "c", "d"}, "Times New Roman:0:400:0", "9pt"}));

}  // namespace

// The real program and the real dialog on a private X server, driven by
// xdotool as a user would: Return confirms, Escape cancels.
namespace {

#ifndef FONTPICK_PROGRAM
#error FONTPICK_PROGRAM must name the built program
#endif

// Records its arguments in brackets and exits with the number in "status".
const char fake_generator[] =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '[%s]' \"$a\"; done > arguments\n"
    "[ -f status ] && exit \"$(cat status)\"\n"
    "exit 0\n";

class Dialog : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(dir_.file("bin").c_str(), 0755), 0);
    write_file(dir_.file("bin/_glyphsmith"), fake_generator);
    ASSERT_EQ(chmod(dir_.file("bin/_glyphsmith").c_str(), 0755), 0);
    ASSERT_TRUE(server_.running()) << server_.error();
  }

  std::vector<std::string> environment() const { return server_.environment(); }

  std::future<RunResult> start_fontpick(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), FONTPICK_PROGRAM);
    // A dialog that ignores its keys is killed after this and fails the test.
    RunOptions options{dir_.path, environment(), 60};
    return std::async(std::launch::async, [arguments, options] {
      return run_command(arguments, options);
    });
  }

  RunResult xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run_command(argv, RunOptions{dir_.path, environment(), 60});
  }

  // Runs fontpick with arguments and answers its dialog with key. Under load
  // the dialog may map late, refuse the focus for a moment or miss a key while
  // it fills its font list, so focus and press again until fontpick ends.
  RunResult answer(const std::vector<std::string>& arguments, const std::string& key) {
    using namespace std::chrono_literals;
    std::future<RunResult> run = start_fontpick(arguments);
    bool seen = false;
    auto deadline = std::chrono::steady_clock::now() + 50s;
    while (run.wait_for(200ms) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline) {
      RunResult found = xdotool({"search", "--onlyvisible", "--class", "fontpick"});
      if (found.status != 0 || found.out.empty()) continue;
      std::string window = found.out.substr(0, found.out.find('\n'));
      if (!seen) {
        EXPECT_EQ(xdotool({"getwindowname", window}).out, "Font\n");
        seen = true;
      }
      if (xdotool({"windowfocus", "--sync", window}).status != 0) continue;
      xdotool({"key", key});
      run.wait_for(1s);
    }
    RunResult result = run.get();
    EXPECT_TRUE(seen) << "no dialog appeared: " << result.err;
    EXPECT_FALSE(result.timed_out) << "the dialog did not end on " << key;
    return result;
  }

  TempDir dir_;
  XServer server_;
};

TEST_F(Dialog, ConfirmRunsGeneratorWithChosenFont) {
  RunResult run = answer({"DejaVu Sans:0:400:Greek", "10.5pt"}, "Return");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(read_file(dir_.file("arguments")), "[10.5][13.7][Greek][DejaVu][Sans]");
}

TEST_F(Dialog, GeneratorExitCodeIsTheExitCode) {
  write_file(dir_.file("status"), "3\n");
  RunResult run = answer({"winfont://DejaVu Serif:1:700:Cyrillic"}, "Return");
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(read_file(dir_.file("arguments")), "[12][15.6][Cyrillic][DejaVu][Serif]");
}

TEST_F(Dialog, HeightStartsTheSizeAndDefaultSetComesBackWestern) {
  // -16 at the server's 96 dots per inch is 12 points; no token is the default set.
  RunResult run = answer({"DejaVu Sans Mono:", "-16"}, "Return");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir_.file("arguments")), "[12][15.6][Western][DejaVu][Sans][Mono]");
}

TEST_F(Dialog, MissingFaceStartsFromClosestInstalledOne) {
  // The program's own default, Times New Roman at 9 points, whatever it is
  // installed as here; fontconfig's own tool says which face that is.
  RunResult match = run_command({"fc-match", "-f", "%{family[0]}", "Times New Roman"});
  ASSERT_EQ(match.status, 0);
  ASSERT_FALSE(match.out.empty());
  std::string words;
  for (size_t start = 0, end; start <= match.out.size(); start = end + 1) {
    end = std::min(match.out.find(' ', start), match.out.size());
    words += "[" + match.out.substr(start, end - start) + "]";
  }
  RunResult run = answer({"three", "or more", "arguments"}, "Return");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir_.file("arguments")), "[9][11.7][Western]" + words);
}

TEST_F(Dialog, EscapeCancelsAndStartsNothing) {
  write_file(dir_.file("status"), "3\n");
  RunResult run = answer({"DejaVu Sans:0:400:Greek", "10.5pt"}, "Escape");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(file_exists(dir_.file("arguments")));
}

// With no display to show the dialog on: the run function in this process,
// and the built program as main() runs it.
class NoDisplay : public testing::TestWithParam<bool> {};

TEST_P(NoDisplay, FailsWithOneLineAndStartsNothing) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
  write_file(dir.file("bin/_glyphsmith"), fake_generator);
  ASSERT_EQ(chmod(dir.file("bin/_glyphsmith").c_str(), 0755), 0);
  std::vector<std::string> argv{FONTPICK_PROGRAM, "DejaVu Sans:0:400:Greek", "10.5pt"};
  RunOptions options{
      dir.path, {"DISPLAY", "WAYLAND_DISPLAY", "GDK_BACKEND", "ASAN_OPTIONS=detect_leaks=0"}, 60};
  RunResult run =
      GetParam() ? run_in_process(run_fontpick, argv, options) : run_command(argv, options);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "fontpick: cannot open a display to show the font dialog on\n");
  EXPECT_FALSE(file_exists(dir.file("arguments")));
}

INSTANTIATE_TEST_SUITE_P(Fontpick, NoDisplay, testing::Values(true),
                         [](const auto&) { return "InProcess"; });
INSTANTIATE_TEST_SUITE_P(FontpickEndToEnd, NoDisplay, testing::Values(false),
                         [](const auto&) { return "Program"; });

}  // namespace
