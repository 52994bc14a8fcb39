#include "font_spec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ParseCase {
  const char* font_spec;
  const char* size_spec;
  int dpi_y;
  std::string face;
  int italic, weight, charset, out_precision, height;
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c) {
  return out << testing::PrintToString(std::string(c.font_spec)) << " "
             << testing::PrintToString(std::string(c.size_spec)) << " at " << c.dpi_y;
}

class FontSpecParse : public testing::TestWithParam<ParseCase> {};

TEST_P(FontSpecParse, FillsEveryField) {
  const ParseCase& c = GetParam();
  LOGFONTA font;
  std::memset(&font, 0x5A, sizeof font);  // every field must be written
  parse_font_spec(c.dpi_y, font, c.font_spec, c.size_spec);

  LOGFONTA expected;
  std::memset(&expected, 0, sizeof expected);
  expected.lfHeight = c.height;
  expected.lfWeight = c.weight;
  expected.lfItalic = static_cast<uint8_t>(c.italic);
  expected.lfCharSet = static_cast<uint8_t>(c.charset);
  expected.lfOutPrecision = static_cast<uint8_t>(c.out_precision);
  std::memcpy(expected.lfFaceName, c.face.data(), c.face.size());

  EXPECT_EQ(std::string(font.lfFaceName), c.face);
  EXPECT_EQ(font.lfHeight, c.height);
  EXPECT_EQ(font.lfWeight, c.weight);
  EXPECT_EQ(font.lfItalic, c.italic);
  EXPECT_EQ(font.lfCharSet, c.charset);
  EXPECT_EQ(font.lfOutPrecision, c.out_precision);
  // Everything else, padding of the face name included, is zero.
  EXPECT_EQ(std::memcmp(&font, &expected, sizeof font), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FontSpecParse,
    testing::Values(
        // The program's defaults.
        ParseCase{"Times New Roman:0:400:0", "9pt", 96, "Times New Roman", 0, 400, 0, 8, -12},
        ParseCase{"winfont://Arial:1:700:Greek", "12pt", 96, "Arial", 1, 700, 161, 8, -16},
        ParseCase{"winfont://Arial:1:700:Greek", "12pt", 120, "Arial", 1, 700, 161, 8, -20},
        ParseCase{"Arial:0:400:greek", "12pt", 96, "Arial", 0, 400, 161, 8, -16},
        ParseCase{"Arial:0:400:EASTERNEUROPE", "12pt", 96, "Arial", 0, 400, 238, 8, -16},
        // No colon: weight 400, Western set, no output precision.
        ParseCase{"Arial", "-20", 96, "Arial", 0, 400, 0, 0, -20},
        ParseCase{"DejaVu Sans Mono", "16", 96, "DejaVu Sans Mono", 0, 400, 0, 0, 16},
        // Fields the scan does not reach keep their defaults; no token is the default set.
        ParseCase{"Arial:", "-20", 96, "Arial", 0, 400, 1, 8, -20},
        ParseCase{"Arial:1", "-20", 96, "Arial", 1, 400, 1, 8, -20},
        ParseCase{"Arial:1:", "-20", 96, "Arial", 1, 400, 1, 8, -20},
        ParseCase{"Arial:1:600", "-20", 96, "Arial", 1, 600, 1, 8, -20},
        ParseCase{"Arial:x:700:Greek", "-20", 96, "Arial", 0, 400, 1, 8, -20},
        ParseCase{"Arial:1 :700:Greek", "-20", 96, "Arial", 1, 400, 1, 8, -20},
        ParseCase{"Arial: 1: 700: Greek", "-20", 96, "Arial", 1, 700, 161, 8, -20},
        ParseCase{"Arial:-:700", "-20", 96, "Arial", 0, 400, 1, 8, -20},
        ParseCase{"Arial:1:700:Greek extra", "-20", 96, "Arial", 1, 700, 161, 8, -20},
        ParseCase{"Arial:1:700:Greek:more", "-20", 96, "Arial", 1, 700, 1, 8, -20},
        // Numbers: low 8 bits of the written value.
        ParseCase{"Arial:0:400:128", "-20", 96, "Arial", 0, 400, 128, 8, -20},
        ParseCase{"Arial:0:400:-1", "-20", 96, "Arial", 0, 400, 255, 8, -20},
        ParseCase{"Arial:0:400:300", "-20", 96, "Arial", 0, 400, 44, 8, -20},
        ParseCase{"Arial:0:400:+161x", "-20", 96, "Arial", 0, 400, 161, 8, -20},
        ParseCase{"Arial:257:400:0", "-20", 96, "Arial", 1, 400, 0, 8, -20},
        ParseCase{"Arial:-1:400:0", "-20", 96, "Arial", 255, 400, 0, 8, -20},
        ParseCase{"Arial:99999999999:400:0", "-20", 96, "Arial", 255, 400, 0, 8, -20},
        ParseCase{"Arial:0:400:4294967457", "-20", 96, "Arial", 0, 400, 161, 8, -20},
        // Neither a name nor a number: the default set.
        ParseCase{"Arial:0:400:Latin", "-20", 96, "Arial", 0, 400, 1, 8, -20},
        // Only the colon matters for the face.
        ParseCase{":1:700:Greek", "-20", 96, "", 1, 700, 161, 8, -20},
        ParseCase{"", "-20", 96, "", 0, 400, 0, 0, -20},
        // The prefix only in exactly this form.
        ParseCase{"winfont:Arial", "-20", 96, "winfont", 0, 400, 1, 8, -20},
        ParseCase{"WINFONT://Arial", "-20", 96, "WINFONT", 0, 400, 1, 8, -20},
        ParseCase{"winfont://", "-20", 96, "", 0, 400, 0, 0, -20},
        ParseCase{"winfont://winfont://Arial", "-20", 96, "winfont", 0, 400, 1, 8, -20},
        // Sizes: a lower-case p means points, anything else a logical height.
        ParseCase{"Arial", "12PT", 96, "Arial", 0, 400, 0, 0, 12},
        ParseCase{"Arial", "10.5pt", 96, "Arial", 0, 400, 0, 0, -14},
        ParseCase{"Arial", "10.45pt", 120, "Arial", 0, 400, 0, 0, -18},
        ParseCase{"Arial", "9.9pt", 120, "Arial", 0, 400, 0, 0, -17},
        // A second sign is no number to "%lf", nor is a sign after 0x more than the 0.
        ParseCase{"Arial", "--9pt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "+-9pt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "0x-1pt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "-0x18p", 96, "Arial", 0, 400, 0, 0, 32},
        ParseCase{"Arial", "9pt", 96, "Arial", 0, 400, 0, 0, -12},
        ParseCase{"Arial", "  8p", 96, "Arial", 0, 400, 0, 0, -11},
        ParseCase{"Arial", "p12", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "pt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "-5pt", 96, "Arial", 0, 400, 0, 0, 7},
        ParseCase{"Arial", "+12pt", 96, "Arial", 0, 400, 0, 0, -16},
        ParseCase{"Arial", "0x18p", 96, "Arial", 0, 400, 0, 0, -32},
        ParseCase{"Arial", "1e300pt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "nanpt", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "214748364.7pt", 720, "Arial", 0, 400, 0, 0, -2147483647},
        ParseCase{"Arial", "-214748364.86pt", 720, "Arial", 0, 400, 0, 0, -2147483647 - 1},
        ParseCase{"Arial", "-214748364.95pt", 720, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", " -16px", 96, "Arial", 0, 400, 0, 0, 21},
        ParseCase{"Arial", " -16", 96, "Arial", 0, 400, 0, 0, -16},
        ParseCase{"Arial", "big", 96, "Arial", 0, 400, 0, 0, 0},
        ParseCase{"Arial", "99999999999", 96, "Arial", 0, 400, 0, 0, 2147483647},
        ParseCase{"Arial", "-99999999999", 96, "Arial", 0, 400, 0, 0, -2147483647 - 1}));

TEST(FontSpec, LongFaceNameKeepsFirst31Characters) {
  LOGFONTA font;
  std::string name = "Abcdefghijklmnopqrstuvwxyz 0123456789";
  parse_font_spec(96, font, name + ":0:700:Greek", "9pt");
  EXPECT_EQ(std::string(font.lfFaceName), name.substr(0, 31));
  EXPECT_EQ(font.lfWeight, 700);
  EXPECT_EQ(font.lfCharSet, 161);
  parse_font_spec(96, font, "winfont://" + name, "9pt");
  EXPECT_EQ(std::string(font.lfFaceName), name.substr(0, 31));
}

TEST(FontSpec, LongTokenKeepsFirst79Characters) {
  // 79 digits of a number whose low 8 bits tell whether digit 80 was read.
  std::string digits(78, '0');
  LOGFONTA font;
  parse_font_spec(96, font, "Arial:0:400:" + digits + "1" + "0", "9pt");
  EXPECT_EQ(font.lfCharSet, 1);
  parse_font_spec(96, font, "Arial:0:400:" + digits + "2", "9pt");
  EXPECT_EQ(font.lfCharSet, 2);
}

struct CodeCase {
  const char* token;
  int code;
};

std::ostream& operator<<(std::ostream& out, const CodeCase& c) {
  return out << testing::PrintToString(std::string(c.token));
}

class CharsetCode : public testing::TestWithParam<CodeCase> {};

TEST_P(CharsetCode, ReadsNamesAndNumbers) {
  EXPECT_EQ(charset_code(GetParam().token), GetParam().code) << GetParam().token;
}

INSTANTIATE_TEST_SUITE_P(Tokens, CharsetCode,
                         testing::Values(CodeCase{"", 1}, CodeCase{"Western", 0},
                                         CodeCase{"default", 1}, CodeCase{"GREEK", 161},
                                         CodeCase{"oem", 255}, CodeCase{"Thai", 222},
                                         CodeCase{"Greek ", 1}, CodeCase{"Gree", 1},
                                         CodeCase{"Latin", 1}, CodeCase{"128", 128},
                                         CodeCase{" -7", -7}, CodeCase{"+300", 300},
                                         CodeCase{"12abc", 12}, CodeCase{"-", 1}));

TEST(CharsetCode, EveryNameRoundTrips) {
  for (const CharsetEntry& entry : CharsetTable) {
    EXPECT_EQ(charset_code(entry.name), entry.code) << entry.name;
    EXPECT_EQ(charset_name(entry.code), entry.name);
  }
}

}  // namespace
