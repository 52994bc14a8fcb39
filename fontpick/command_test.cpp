#include "command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct CommandCase {
  const char* face;
  int charset;
  int point_size;
  const char* command;
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
  return out << c.point_size << " " << c.charset << " " << testing::PrintToString(std::string(c.face));
}

class GeneratorCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(GeneratorCommand, FormatsTheFourArguments) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  std::strncpy(font.lfFaceName, GetParam().face, sizeof font.lfFaceName - 1);
  font.lfCharSet = static_cast<uint8_t>(GetParam().charset);
  EXPECT_EQ(generator_command(font, GetParam().point_size), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratorCommand,
    testing::Values(
        CommandCase{"Times New Roman", 0, 90, "bin/_glyphsmith 9 11.7 Western Times New Roman"},
        CommandCase{"Arial", 161, 120, "bin/_glyphsmith 12 15.6 Greek Arial"},
        CommandCase{"DejaVu Sans", 161, 105, "bin/_glyphsmith 10.5 13.7 Greek DejaVu Sans"},
        CommandCase{"Arial", 0, 125, "bin/_glyphsmith 12.5 16.3 Western Arial"},
        CommandCase{"Arial", 0, 25, "bin/_glyphsmith 2.5 3.3 Western Arial"},
        CommandCase{"Arial", 0, 95, "bin/_glyphsmith 9.5 12.4 Western Arial"},
        CommandCase{"Arial", 128, 1, "bin/_glyphsmith 0.1 0.1 128 Arial"},
        CommandCase{"Arial", 255, 16383, "bin/_glyphsmith 1638.3 2129.8 OEM Arial"},
        CommandCase{"Noto Sans CJK JP", 1, 100, "bin/_glyphsmith 10 13.0 Default Noto Sans CJK JP"},
        // Blanks stay as they were; only words that need it are quoted.
        CommandCase{"A  B\tC", 0, 90, "bin/_glyphsmith 9 11.7 Western A  B\tC"},
        CommandCase{"Foo;rm -rf x", 0, 90, "bin/_glyphsmith 9 11.7 Western 'Foo;rm' -rf x"},
        CommandCase{"Bob's Font", 0, 90, "bin/_glyphsmith 9 11.7 Western 'Bob'\\''s' Font"},
        CommandCase{"", 0, 90, "bin/_glyphsmith 9 11.7 Western "}));

TEST(GeneratorCommand, FaceNameFillingTheWholeFieldStopsAtItsEnd) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  std::memset(font.lfFaceName, 'A', sizeof font.lfFaceName);  // no terminating NUL
  EXPECT_EQ(generator_command(font, 90),
            "bin/_glyphsmith 9 11.7 Western " + std::string(LF_FACESIZE, 'A'));
}

}  // namespace
