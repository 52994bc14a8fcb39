#include "number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace {

struct FormatCase {
  double value;
  const char* general;
  const char* one_decimal;
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", c.value);
  return out << text;
}

class NumberFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormat, RoundsInTwoStages) {
  EXPECT_EQ(format_general(GetParam().value), GetParam().general);
  if (GetParam().one_decimal != nullptr) {
    EXPECT_EQ(format_one_decimal(GetParam().value), GetParam().one_decimal);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberFormat,
    testing::Values(
        FormatCase{125 * 0.13, "16.25", "16.3"},  // exactly 16.25
        FormatCase{95 * 0.13, "12.35", "12.4"},   // 12.3499999999999996
        FormatCase{25 * 0.13, "3.25", "3.3"}, FormatCase{105 * 0.13, "13.65", "13.7"},
        FormatCase{90 * 0.1, "9", "9.0"}, FormatCase{3 * 0.1, "0.3", "0.3"},
        FormatCase{0.15, "0.15", "0.1"},  // 0.1499999999999999944...
        FormatCase{0.05, "0.05", "0.1"}, FormatCase{0.04, "0.04", "0.0"},
        FormatCase{0.0, "0", "0.0"}, FormatCase{-0.0, "-0", "-0.0"},
        FormatCase{-2.5, "-2.5", "-2.5"}, FormatCase{-0.04, "-0.04", "-0.0"},
        FormatCase{9.96, "9.96", "10.0"}, FormatCase{0.0001, "0.0001", "0.0"},
        FormatCase{0.00001, "1e-05", "0.0"}, FormatCase{123456.0, "123456", "123456.0"},
        FormatCase{1234565.0, "1.23457e+06", "1234565.0"},
        FormatCase{999999.5, "1e+06", "999999.5"},
        FormatCase{1e300, "1e+300", nullptr}, FormatCase{DBL_MIN, "2.22507e-308", "0.0"},
        FormatCase{5e-324, "4.94066e-324", "0.0"}, FormatCase{DBL_MAX, "1.79769e+308", nullptr},
        FormatCase{std::numeric_limits<double>::infinity(), "inf", "inf"},
        FormatCase{-std::numeric_limits<double>::infinity(), "-inf", "-inf"}));

TEST(NumberFormatLarge, OneDecimalKeepsEveryIntegerDigit) {
  // 2^70 = 1180591620717411303424: 17 significant digits, then zeros.
  EXPECT_EQ(format_one_decimal(std::ldexp(1.0, 70)), "1180591620717411300000.0");
  EXPECT_EQ(format_one_decimal(1e300).size(), 303u);
  EXPECT_EQ(format_one_decimal(1e300).substr(0, 20), "10000000000000001000");
}

// The exact decimal value of a positive double below 10^7, taken from the C
// library's printf, which prints the binary value exactly when given enough
// digits: every double here has fewer than 80 fraction digits.
struct Exact {
  std::string digits;  // integer part then 80 fraction digits
  int point;           // number of integer digits
};

Exact exact(double value) {
  char text[128];
  std::snprintf(text, sizeof text, "%.80f", value);
  std::string s = text;
  size_t dot = s.find('.');
  return {s.substr(0, dot) + s.substr(dot + 1), static_cast<int>(dot)};
}

uint64_t power10(int n) {
  uint64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

int digit_count(uint64_t n) {
  int count = 1;
  while (n >= 10) n /= 10, ++count;
  return count;
}

// Stage one in integers: the value is about n × 10^scale with n holding 17
// significant digits (18 when rounding carried into a new one).
void seventeen_digits(double value, uint64_t& n, int& scale) {
  Exact e = exact(value);
  size_t first = e.digits.find_first_not_of('0');
  n = std::stoull(e.digits.substr(first, 17));
  if (e.digits[first + 17] >= '5') ++n;
  scale = e.point - static_cast<int>(first) - 17;
}

std::string expected_one_decimal(double value) {
  uint64_t n;
  int scale;
  seventeen_digits(value, n, scale);
  uint64_t divisor = power10(-1 - scale);
  uint64_t tenths = (n + divisor / 2) / divisor;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string expected_general(double value) {
  uint64_t n;
  int scale;
  seventeen_digits(value, n, scale);
  int drop = digit_count(n) - 6;
  uint64_t divisor = power10(drop);
  uint64_t kept = (n + divisor / 2) / divisor;
  scale += drop;
  if (kept == 1000000) kept /= 10, ++scale;
  while (kept % 10 == 0 && scale < 0) kept /= 10, ++scale;
  std::string text = std::to_string(kept);
  if (scale >= 0) return text + std::string(scale, '0');
  int integer_digits = static_cast<int>(text.size()) + scale;
  if (integer_digits <= 0) return "0." + std::string(-integer_digits, '0') + text;
  return text.substr(0, integer_digits) + "." + text.substr(integer_digits);
}

TEST(NumberFormat, EveryDialogSizeMatchesExactDecimalRounding) {
  int rounded_up_from_below = 0;
  for (int tenths = 1; tenths <= 16383; ++tenths) {
    double size = tenths * 0.1;
    double derived = tenths * 0.13;
    ASSERT_EQ(format_general(size), expected_general(size)) << tenths;
    ASSERT_EQ(format_one_decimal(derived), expected_one_decimal(derived)) << tenths;
    // The size in points is always the tenths written out.
    std::string plain = std::to_string(tenths / 10) +
                        (tenths % 10 ? "." + std::to_string(tenths % 10) : std::string());
    ASSERT_EQ(format_general(size), plain) << tenths;
    char library[64];
    std::snprintf(library, sizeof library, "%.1f", derived);
    if (format_one_decimal(derived) != library) ++rounded_up_from_below;
  }
  // The range holds cases where the C library's rounding differs (95 is one).
  EXPECT_GT(rounded_up_from_below, 0);
}

}  // namespace
