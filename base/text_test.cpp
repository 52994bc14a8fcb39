#include "text.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(Text, ShellWord) {
  struct Case {
    std::string word, quoted;
  } cases[] = {
      {"a-b_c./:@%+=,9", "a-b_c./:@%+=,9"},
      {"Caf\xc3\xa9", "Caf\xc3\xa9"},
      {"a;b", "'a;b'"},
      {"", "''"},
      {"it's", "'it'\\''s'"},
      {"a b", "'a b'"},
      {"a\nb\x7f", "'a\nb'\"$(printf '\\177')\"''"},
      {std::string("a\0b", 3), "'a'\"$(printf '\\000')\"'b'"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.quoted, shell_word(c.word)) << c.word;
}

TEST(Text, Digits) {
  int v = -1;
  EXPECT_TRUE(read_digits("ffFF", 16, 4, &v));
  EXPECT_EQ(v, 0xFFFF);
  EXPECT_TRUE(read_digits("186", 10, 3, &v));
  EXPECT_EQ(v, 186);
  for (const char* refused : {"", "1a", "+12", " 12", "1000"})
    EXPECT_FALSE(read_digits(refused, 10, 3, &v)) << refused;
  EXPECT_EQ(v, 186);
}

TEST(Text, CaseAndHex) {
  EXPECT_EQ("abcz09[@", lower_ascii("AbCZ09[@"));
  EXPECT_EQ("00ff", hex_text(0xff, 4));
  EXPECT_EQ("12345", hex_text(0x12345, 4));
  EXPECT_EQ(10, hex_digit_value('A'));
  EXPECT_EQ(-1, hex_digit_value('g'));
}

}  // namespace
}  // namespace base
