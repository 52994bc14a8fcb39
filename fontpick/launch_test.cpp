#include "launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "run.h"

namespace {

// A generator that writes each argument in brackets and exits with the status
// named in the file "status" (0 when there is none).
const char fake_generator[] =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '[%s]' \"$a\"; done > arguments\n"
    "[ -f status ] && exit \"$(cat status)\"\n"
    "exit 0\n";

// Runs from a fresh directory holding bin/_glyphsmith, as a user would.
class Launch : public testing::Test {
 protected:
  void SetUp() override {
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    saved_cwd_ = here;
    ASSERT_EQ(mkdir(dir_.file("bin").c_str(), 0755), 0);
    write_file(dir_.file("bin/_glyphsmith"), fake_generator);
    ASSERT_EQ(chmod(dir_.file("bin/_glyphsmith").c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir_.path.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(saved_cwd_.c_str()), 0); }

  TempDir dir_;
  std::string saved_cwd_;
};

struct OddName {
  const char* face;
  const char* arguments;  // as the generator saw them after the two sizes and the set
};

std::ostream& operator<<(std::ostream& out, const OddName& c) {
  return out << testing::PrintToString(std::string(c.face));
}

class LaunchOddNames : public Launch, public testing::WithParamInterface<OddName> {};

TEST_P(LaunchOddNames, ReachTheGeneratorAsTheSameWords) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  std::strncpy(font.lfFaceName, GetParam().face, sizeof font.lfFaceName - 1);
  font.lfCharSet = 161;
  EXPECT_EQ(run_command_line(generator_command(font, 105)), 0);
  EXPECT_EQ(read_file(dir_.file("arguments")),
            std::string("[10.5][13.7][Greek]") + GetParam().arguments);
  // Nothing but the generator ran.
  EXPECT_FALSE(file_exists(dir_.file("pwned")));
  EXPECT_FALSE(file_exists(dir_.file("bin/pwned")));
}

INSTANTIATE_TEST_SUITE_P(
    Names, LaunchOddNames,
    testing::Values(OddName{"DejaVu Sans", "[DejaVu][Sans]"},
                    OddName{"A;touch pwned", "[A;touch][pwned]"},
                    OddName{"A&&touch pwned", "[A&&touch][pwned]"},
                    OddName{"A|touch pwned", "[A|touch][pwned]"},
                    OddName{"$(touch pwned)", "[$(touch][pwned)]"},
                    OddName{"`touch pwned`", "[`touch][pwned`]"},
                    OddName{"A>pwned", "[A>pwned]"},
                    OddName{"It's \"Bold\"", "[It's][\"Bold\"]"},
                    OddName{"back\\slash $HOME", "[back\\slash][$HOME]"},
                    OddName{"* ? [a] {a,b} ~ #x", "[*][?][[a]][{a,b}][~][#x]"},
                    OddName{"line\nbreak", "[line\nbreak]"},
                    OddName{"A=B !x -n", "[A=B][!x][-n]"},
                    OddName{"Caf\xc3\xa9 Sans", "[Caf\xc3\xa9][Sans]"}));

struct StatusCase {
  const char* generator;  // replaces the fake one; empty: remove it
  int status;
};

std::ostream& operator<<(std::ostream& out, const StatusCase& c) {
  return out << testing::PrintToString(std::string(c.generator));
}

class LaunchStatus : public Launch, public testing::WithParamInterface<StatusCase> {};

TEST_P(LaunchStatus, BecomesTheExitCode) {
  const std::string path = dir_.file("bin/_glyphsmith");
  if (*GetParam().generator == '\0') {
    ASSERT_EQ(unlink(path.c_str()), 0);
  } else {
    write_file(path, GetParam().generator);
  }
  EXPECT_EQ(run_command_line(std::string(generator_path) + " 9 11.7 Western Arial"),
            GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Generators, LaunchStatus,
    testing::Values(StatusCase{"#!/bin/sh\nexit 0\n", 0}, StatusCase{"#!/bin/sh\nexit 3\n", 3},
                    StatusCase{"#!/bin/sh\nexit 255\n", 255},
                    StatusCase{"#!/bin/sh\nkill -TERM $$\n", 128 + 15},
                    StatusCase{"#!/bin/sh\nkill -KILL $$\n", 128 + 9},
                    StatusCase{"", 127}));

TEST_F(Launch, GeneratorThatCannotBeExecutedGives126) {
  ASSERT_EQ(chmod(dir_.file("bin/_glyphsmith").c_str(), 0644), 0);
  EXPECT_EQ(run_command_line(std::string(generator_path) + " 9 11.7 Western Arial"), 126);
}

TEST(QuoteWord, LeavesPlainWordsAlone) {
  for (const char* word : {"Arial", "DejaVu", "12.5", "-n", "a+b,c:d@e%f/g_h", "Caf\xc3\xa9"})
    EXPECT_EQ(quote_word(word), word);
  EXPECT_EQ(quote_word("a;b"), "'a;b'");
  EXPECT_EQ(quote_word("a'b"), "'a'\\''b'");
  EXPECT_EQ(quote_word(""), "''");
}

}  // namespace
