#include "charset_table.h"

#include <gtest/gtest.h>

namespace {

TEST(CharsetName, CodesWithoutARowAreDecimal) {
  EXPECT_EQ(charset_name(0), "Western");
  EXPECT_EQ(charset_name(1), "Default");
  EXPECT_EQ(charset_name(255), "OEM");
  EXPECT_EQ(charset_name(128), "128");
  EXPECT_EQ(charset_name(-5), "-5");
  EXPECT_EQ(charset_name(2147483647), "2147483647");
}

}  // namespace
