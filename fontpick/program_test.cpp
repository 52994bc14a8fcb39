#include "program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "run.h"

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
    start_server();
  }

  void TearDown() override {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
  }

  // Xvfb picks a free display itself and tells us its number.
  void start_server() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server_ = fork();
    ASSERT_GE(server_, 0);
    if (server_ == 0) {
      int devnull = open("/dev/null", O_RDWR);
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
             "1024x768x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display_ = ":" + number;
  }

  std::vector<std::string> environment() const {
    return {"DISPLAY=" + display_, "GDK_BACKEND=x11", "WAYLAND_DISPLAY", "NO_AT_BRIDGE=1",
            "GTK_THEME", "ASAN_OPTIONS=detect_leaks=0"};
  }

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

  // Waits for the dialog, lets it fill its font list, then presses key in it.
  void press_in_dialog(const std::string& key) {
    RunResult found = xdotool({"search", "--sync", "--onlyvisible", "--class", "fontpick"});
    ASSERT_EQ(found.status, 0) << found.err;
    std::string window = found.out.substr(0, found.out.find('\n'));
    EXPECT_EQ(xdotool({"getwindowname", window}).out, "Font\n");
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window}).status, 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(xdotool({"key", key}).status, 0);
  }

  // Runs fontpick with arguments, answers the dialog with key and returns the run.
  RunResult answer(const std::vector<std::string>& arguments, const std::string& key) {
    std::future<RunResult> run = start_fontpick(arguments);
    press_in_dialog(key);
    RunResult result = run.get();
    EXPECT_FALSE(result.timed_out) << "the dialog did not end on " << key;
    return result;
  }

  TempDir dir_;
  pid_t server_ = -1;
  std::string display_;
};

TEST_F(Dialog, ConfirmRunsGeneratorWithChosenFont) {
  RunResult run = answer({"DejaVu Sans:0:400:Greek", "10.5pt"}, "Return");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(read_file(dir_.file("arguments")), "[10.5][13.7][Greek][DejaVu][Sans]");
}

TEST_F(Dialog, GeneratorExitCodeIsTheExitCode) {
  write_file(dir_.file("status"), "3\n");
  RunResult run = answer({"winfont://DejaVu Serif:1:700:Cyrillic"}, "Return");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(read_file(dir_.file("arguments")), "[12][15.6][Cyrillic][DejaVu][Serif]");
}

TEST_F(Dialog, HeightStartsTheSizeAndDefaultSetComesBackWestern) {
  // -16 at the server's 96 dots per inch is 12 points; no token is the default set.
  RunResult run = answer({"DejaVu Sans Mono:", "-16"}, "Return");
  EXPECT_EQ(run.status, 0);
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
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir_.file("arguments")), "[9][11.7][Western]" + words);
}

TEST_F(Dialog, EscapeCancelsAndStartsNothing) {
  write_file(dir_.file("status"), "3\n");
  RunResult run = answer({"DejaVu Sans:0:400:Greek", "10.5pt"}, "Escape");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(file_exists(dir_.file("arguments")));
}

TEST(DialogWithoutDisplay, FailsWithOneLineAndStartsNothing) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
  write_file(dir.file("bin/_glyphsmith"), fake_generator);
  ASSERT_EQ(chmod(dir.file("bin/_glyphsmith").c_str(), 0755), 0);
  RunResult run = run_command({FONTPICK_PROGRAM, "DejaVu Sans:0:400:Greek", "10.5pt"},
                              RunOptions{dir.path,
                                         {"DISPLAY", "WAYLAND_DISPLAY", "GDK_BACKEND",
                                          "ASAN_OPTIONS=detect_leaks=0"},
                                         60});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "fontpick: cannot open a display to show the font dialog on\n");
  EXPECT_FALSE(file_exists(dir.file("arguments")));
}

}  // namespace
