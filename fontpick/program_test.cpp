#include "program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ArgumentCase {
  std::vector<const char*> argv;
  const char* font_spec;
  const char* size_spec;
};

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
