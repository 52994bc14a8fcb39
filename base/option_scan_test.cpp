#include "option_scan.h"

#include <gtest/gtest.h>

namespace base {
namespace {

enum { kId = 256, kBold };

// Each argument line read to its end or its first mistake, every find as
// "-X=value" for an option, "value" for an operand and "!message"; a
// mistake's option as given, and the one lacking a value, in *given.
std::string scanned(std::vector<std::string> words, std::string* given) {
  words.insert(words.begin(), "program");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  OptionScan scan;
  start_options(&scan, static_cast<int>(words.size()), argv.data(),
                {{"help", 'h', false}, {nullptr, 'o', true}, {"id", kId, true}, {"bold", kBold, false}});
  std::string text;
  for (OptionFound f = next_option(&scan); f.kind != OptionKind::end; f = next_option(&scan)) {
    if (f.kind == OptionKind::error) {
      *given = f.given + (f.code ? " " + option_name(scan, f.code) : "");
      return text + "!" + f.error;
    }
    text += f.kind == OptionKind::operand ? f.value + " " : option_name(scan, f.code) + "=" + f.value + " ";
  }
  return text;
}

TEST(Options, Scan) {
  struct Case {
    std::vector<std::string> words;
    std::string found;
    std::string given;
  } cases[] = {
      {{"a", "--bold", "b", "-oout", "--id=80", "c"}, "a --bold= b -o=out --id=80 c ", ""},
      {{"-ho", "x", "--", "-h", "--bold"}, "--help= -o=x -h --bold ", ""},
      {{"a", "-q"}, "a !unknown option '-q'", "-q"},
      {{"-hq"}, "--help= !unknown option '-hq'", "-q"},
      {{"--bold=1"}, "!unknown option '--bold=1'", "--bold=1"},
      {{"--help=1"}, "!unknown option '--help=1'", "--help=1"},
      {{"--colour"}, "!unknown option '--colour'", "--colour"},
      {{"--id"}, "!option '--id' needs a value", "--id --id"},
      {{"a", "-o"}, "a !option '-o' needs a value", "-o -o"},
  };
  for (const Case& c : cases) {
    std::string given;
    EXPECT_EQ(scanned(c.words, &given), c.found) << testing::PrintToString(c.words);
    EXPECT_EQ(given, c.given) << testing::PrintToString(c.words);
  }
}

}  // namespace
}  // namespace base
