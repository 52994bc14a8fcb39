// The generator's command through the real command interpreter: what the
// generator receives, what else runs, and the status that comes back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "command.h"
#include "launch.h"

namespace fs = std::filesystem;

namespace {

// fake_generator.exe is built beside this program.
fs::path fake_generator() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  return fs::path(std::string(self, n)).parent_path() / "fake_generator.exe";
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

LOGFONTA font_named(const char* face, int charset) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  std::strncpy(font.lfFaceName, face, sizeof font.lfFaceName - 1);
  font.lfCharSet = static_cast<BYTE>(charset);
  return font;
}

// Runs from a fresh folder holding bin\_glyphsmith.exe, as a user would.
class Launch : public testing::Test {
 protected:
  void SetUp() override {
    saved_cwd_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("fontpick-test-" + std::to_string(GetCurrentProcessId()) +
                                        "-" + std::to_string(++count_));
    fs::create_directories(dir_ / "bin");
    fs::copy_file(fake_generator(), dir_ / "bin" / "_glyphsmith.exe");
    fs::current_path(dir_);
    _putenv("FAKE_GENERATOR_STATUS=");
  }
  void TearDown() override {
    fs::current_path(saved_cwd_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::set<std::string> listing() {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      names.insert(e.path().lexically_relative(dir_).generic_string());
    return names;
  }

  fs::path dir_;
  fs::path saved_cwd_;
  static inline int count_ = 0;
};

struct OddName {
  const char* face;
  const char* arguments;  // one a line, as the generator saw them after the set
};

void PrintTo(const OddName& name, std::ostream* out) {
  *out << name.face;
}

class LaunchOddNames : public Launch, public testing::WithParamInterface<OddName> {};

TEST_P(LaunchOddNames, ReachTheGeneratorAsTheSameWords) {
  EXPECT_EQ(run_command_line(generator_command(font_named(GetParam().face, 161), 105)), 0);
  EXPECT_EQ(read_text(dir_ / "generator-args.txt"),
            std::string("10.5\n13.7\nGreek\n") + GetParam().arguments);
  // Nothing but the generator ran: no folder made, no file written.
  EXPECT_EQ(listing(), (std::set<std::string>{"bin", "bin/_glyphsmith.exe", "generator-args.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, LaunchOddNames,
    testing::Values(
        OddName{"DejaVu Sans", "DejaVu\nSans\n"}, OddName{"A&mkdir made", "A&mkdir\nmade\n"},
        OddName{"A&&mkdir made", "A&&mkdir\nmade\n"}, OddName{"A|mkdir made", "A|mkdir\nmade\n"},
        OddName{"A||mkdir made", "A||mkdir\nmade\n"},
        OddName{"A>made B>>made", "A>made\nB>>made\n"}, OddName{"A<made", "A<made\n"},
        OddName{"A^B ^ ^^&mkdir made", "A^B\n^\n^^&mkdir\nmade\n"},
        OddName{"%PATH% %CD% 100% %% %a%b%", "%PATH%\n%CD%\n100%\n%%\n%a%b%\n"},
        OddName{"It's \"Bold\"", "It's\n\"Bold\"\n"},
        OddName{"A\"&mkdir made\"", "A\"&mkdir\nmade\"\n"},
        OddName{"\"&mkdir made", "\"&mkdir\nmade\n"},
        OddName{"a\\\" b\\\\\"&mkdir made", "a\\\"\nb\\\\\"&mkdir\nmade\n"},
        OddName{"50%\"&mkdir made", "50%\"&mkdir\nmade\n"},
        OddName{"back\\ \\%x% (TT) a=b,c;d !e @f", "back\\\n\\%x%\n(TT)\na=b,c;d\n!e\n@f\n"},
        OddName{"Caf\xe9 Sans", "Caf\xe9\nSans\n"}));

TEST_F(Launch, LineBreakInANameRunsNothingElse) {
  EXPECT_EQ(run_command_line(generator_command(font_named("A\nmkdir made", 0), 90)), 0);
  std::string arguments = read_text(dir_ / "generator-args.txt");
  // cmd.exe drops the escaped break; some other interpreters keep it.
  EXPECT_TRUE(arguments == "9\n11.7\nWestern\nAmkdir\nmade\n" ||
              arguments == "9\n11.7\nWestern\nA\nmkdir\nmade\n")
      << arguments;
  EXPECT_EQ(listing(), (std::set<std::string>{"bin", "bin/_glyphsmith.exe", "generator-args.txt"}));
}

class LaunchStatus : public Launch, public testing::WithParamInterface<int> {};

TEST_P(LaunchStatus, BecomesTheExitCode) {
  _putenv(("FAKE_GENERATOR_STATUS=" + std::to_string(GetParam())).c_str());
  EXPECT_EQ(run_command_line(std::string(generator_path) + " 9 11.7 Western Arial"), GetParam());
  EXPECT_EQ(read_text(dir_ / "generator-args.txt"), "9\n11.7\nWestern\nArial\n");
}

// Windows exit codes are not cut to 8 bits.
INSTANTIATE_TEST_SUITE_P(Statuses, LaunchStatus, testing::Values(0, 1, 3, 255, 256, 70000));

TEST_F(Launch, MissingGeneratorIsAFailure) {
  fs::remove(dir_ / "bin" / "_glyphsmith.exe");
  // The status is the command interpreter's own (1 or 9009, by version).
  EXPECT_NE(run_command_line(std::string(generator_path) + " 9 11.7 Western Arial"), 0);
  EXPECT_EQ(listing(), (std::set<std::string>{"bin"}));
}

TEST(GeneratorCommand, PlainNamesGiveThePlainCommand) {
  EXPECT_EQ(generator_command(font_named("Times New Roman", 0), 90),
            "bin\\_glyphsmith 9 11.7 Western Times New Roman");
  EXPECT_EQ(generator_command(font_named("DejaVu Sans", 0), 120),
            "bin\\_glyphsmith 12 15.6 Western DejaVu Sans");
  EXPECT_EQ(generator_command(font_named("Arial", 128), 125),
            "bin\\_glyphsmith 12.5 16.3 128 Arial");
}

TEST(QuoteWord, LeavesPlainWordsAlone) {
  for (const char* word : {"Arial", "DejaVu", "12.5", "-n", "a+b,c;d=e:f@g/h_i", "(TT)", "it's",
                           "back\\slash\\", "!x", "Caf\xe9"})
    EXPECT_EQ(quote_word(word), word);
}

TEST(QuoteWord, EscapesWhatTheInterpreterWouldTake) {
  struct Case {
    const char* word;
    const char* quoted;
  } cases[] = {
      {"A&B|C<D>E^F", "A^&B^|C^<D^>E^^F"},
      {"100%", "100\"%\""},
      {"%%PATH%%", "\"%%\"PATH\"%%\""},
      {"say\"hi\"", "say\\^\"hi\\^\""},
      {"a\\\"b", "a\\\\\\^\"b"},
      {"a\\\\%b", "a\\\\\\\\\"%\"b"},
      {"x\ny", "x^\ny"},
      {"", "\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(quote_word(c.word), c.quoted) << c.word;
}

}  // namespace
