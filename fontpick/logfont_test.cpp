#include "logfont.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>

namespace {

TEST(Logfont, LayoutMatchesThePlatformRecord) {
  EXPECT_EQ(sizeof(LOGFONTA), 60u);
  EXPECT_EQ(offsetof(LOGFONTA, lfWeight), 16u);
  EXPECT_EQ(offsetof(LOGFONTA, lfItalic), 20u);
  EXPECT_EQ(offsetof(LOGFONTA, lfCharSet), 23u);
  EXPECT_EQ(offsetof(LOGFONTA, lfOutPrecision), 24u);
  EXPECT_EQ(offsetof(LOGFONTA, lfFaceName), 28u);
}

struct MulDivCase {
  int number, numerator, denominator, result;
};

std::ostream& operator<<(std::ostream& out, const MulDivCase& c) {
  return out << c.number << " * " << c.numerator << " / " << c.denominator;
}

class MulDivTest : public testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsHalvesAwayFromZero) {
  const MulDivCase& c = GetParam();
  EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
      << c.number << " * " << c.numerator << " / " << c.denominator;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MulDivTest,
    testing::Values(MulDivCase{90, 96, 720, 12}, MulDivCase{105, 96, 720, 14},
                    MulDivCase{99, 120, 720, 17},     // 16.5
                    MulDivCase{-99, 120, 720, -17},   // -16.5
                    MulDivCase{99, -120, 720, -17}, MulDivCase{99, 120, -720, -17},
                    MulDivCase{-99, 120, -720, 17}, MulDivCase{5, 1, 4, 1},  // 1.25
                    MulDivCase{7, 1, 4, 2},                                  // 1.75
                    MulDivCase{-7, 1, 4, -2}, MulDivCase{1, 1, 3, 0}, MulDivCase{2, 1, 3, 1},
                    MulDivCase{0, 5, 3, 0}, MulDivCase{7, 3, 0, -1},
                    // The exact product is used, not a 32-bit one.
                    MulDivCase{INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                    MulDivCase{INT_MIN, INT_MIN, INT_MIN, INT_MIN},
                    MulDivCase{65536, 65536, 2, -1},  // 2^31
                    MulDivCase{INT_MIN, 1, 1, INT_MIN}, MulDivCase{INT_MIN, -1, 1, -1},
                    MulDivCase{INT_MIN, 1, -1, -1}, MulDivCase{INT_MAX, 2, 2, INT_MAX}));

}  // namespace
