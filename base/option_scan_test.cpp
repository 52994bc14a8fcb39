#include "options.h"

#include <gtest/gtest.h>

namespace base {
namespace {

enum { kId = 256, kBold };

// Each argument line read to its end or its first mistake, every find as
// "-X=value" for an option, "value" for an operand and "!message".
std::string scanned(std::vector<std::string> words) {
  words.insert(words.begin(), "program");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  OptionScan scan;
  start_options(&scan, static_cast<int>(words.size()), argv.data(),
                {{"help", 'h', false}, {nullptr, 'o', true}, {"id", kId, true}, {"bold", kBold, false}});
  std::string text;
  for (OptionFound f = next_option(&scan); f.kind != OptionKind::end; f = next_option(&scan)) {
    if (f.kind == OptionKind::error) return text + "!" + f.error;
    text += f.kind == OptionKind::operand ? f.value + " " : option_name(scan, f.code) + "=" + f.value + " ";
  }
  return text;
}

TEST(Options, Scan) {
  struct Case {
    std::vector<std::string> words;
    std::string found;
  } cases[] = {
      {{"a", "--bold", "b", "-oout", "--id=80", "c"}, "a --bold= b -o=out --id=80 c "},
      {{"-ho", "x", "--", "-h", "--bold"}, "--help= -o=x -h --bold "},
      {{"a", "-q"}, "a !unknown option '-q'"},
      {{"-hq"}, "--help= !unknown option '-hq'"},
      {{"--bold=1"}, "!unknown option '--bold=1'"},
      {{"--colour"}, "!unknown option '--colour'"},
      {{"--id"}, "!option '--id' needs a value"},
      {{"a", "-o"}, "a !option '-o' needs a value"},
  };
  for (const Case& c : cases) EXPECT_EQ(scanned(c.words), c.found) << testing::PrintToString(c.words);
}

}  // namespace
}  // namespace base
