#include "charsets.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace charsets {
namespace {

// A literal, to join the messages' literals.
#define KNOWN_SETS \
    "(known: Western, Default, EasternEurope, Greek, Mac, OEM, Cyrillic, Symbol, Turkish, " \
    "Vietnamese, Arabic, Hebrew, Thai, or a Windows number such as 186)"

struct CharsetCase {
  const char* token;
  const char* name;  // nullptr: refused with the message `text`
  int code;
  int code_page;
  const char* text;  // the set's XLFD name, or the message
};

TEST(Charsets, ByNameOrNumber) {
  const CharsetCase cases[] = {
      {"Western", "Western", 0, 1252, "windows-1252"},
      {"wEsTeRn", "Western", 0, 1252, "windows-1252"},
      {"0", "Western", 0, 1252, "windows-1252"},
      {"default", "Default", 1, 1252, "windows-1252"},
      {"EASTERNEUROPE", "EasternEurope", 238, 1250, "windows-1250"},
      {"238", "EasternEurope", 238, 1250, "windows-1250"},
      {"Greek", "Greek", 161, 1253, "windows-1253"},
      {"cyrillic", "Cyrillic", 204, 1251, "windows-1251"},
      {"Turkish", "Turkish", 162, 1254, "windows-1254"},
      {"Hebrew", "Hebrew", 177, 1255, "windows-1255"},
      {"Arabic", "Arabic", 178, 1256, "windows-1256"},
      {"186", "186", 186, 1257, "windows-1257"},
      {"Vietnamese", "Vietnamese", 163, 1258, "windows-1258"},
      {"thai", "Thai", 222, 874, "windows-874"},
      {"Mac", "Mac", 77, 10000, "mac-roman"},
      {"255", "OEM", 255, 437, "ibm-cp437"},
      {"Symbol", "Symbol", 2, 0, "microsoft-symbol"},
      {"128", nullptr, 0, 0,
       "character set 128 has two-byte characters; a Palm font holds single bytes"},
      {"129", nullptr, 0, 0,
       "character set 129 has two-byte characters; a Palm font holds single bytes"},
      {"134", nullptr, 0, 0,
       "character set 134 has two-byte characters; a Palm font holds single bytes"},
      {"136", nullptr, 0, 0,
       "character set 136 has two-byte characters; a Palm font holds single bytes"},
      {"Baltic", nullptr, 0, 0, "unknown character set 'Baltic' " KNOWN_SETS},
      {"999", nullptr, 0, 0, "unknown character set '999' " KNOWN_SETS},
      {"+186", nullptr, 0, 0, "unknown character set '+186' " KNOWN_SETS},
      {"", nullptr, 0, 0, "unknown character set '' " KNOWN_SETS},
  };
  for (const CharsetCase& c : cases) {
    Charset charset;
    std::string error = find_charset(c.token, &charset);
    if (!c.name) {
      EXPECT_EQ(error, c.text) << c.token;
      continue;
    }
    EXPECT_EQ(error, "") << c.token;
    EXPECT_STREQ(charset.xlfd, c.text) << c.token;
    EXPECT_EQ(charset.name, c.name) << c.token;
    EXPECT_EQ(charset.code, c.code) << c.token;
    EXPECT_EQ(charset.code_page, c.code_page) << c.token;
    EXPECT_EQ(charset.symbol, c.code_page == 0) << c.token;
  }
}

// What fontpick sends must read back as the same set, by name and by number.
TEST(Charsets, EveryFontpickNameReadsAsItsNumber) {
  for (const CharsetEntry& entry : CharsetTable) {
    Charset by_name, by_number;
    EXPECT_EQ(find_charset(entry.name, &by_name), "") << entry.name;
    EXPECT_EQ(by_name.code, entry.code) << entry.name;
    EXPECT_EQ(find_charset(std::to_string(entry.code), &by_number), "") << entry.name;
    EXPECT_EQ(by_number.name, charset_name(entry.code)) << entry.name;
  }
}

// A bitmap font's registry and encoding: the table's names, ISO 8859 and
// KOI8 by Windows' numbers; none for Symbol or names no page has.
TEST(Charsets, XlfdNamesTheirCodePage) {
  const std::pair<const char*, int> names[] = {
      {"windows-1251", 1251}, {"WINDOWS-1257", 1257}, {"mac-roman", 10000}, {"ibm-cp437", 437},
      {"windows-874", 874},   {"iso8859-1", 28591},   {"ISO8859-5", 28595}, {"iso8859-16", 28606},
      {"iso8859-17", 0},      {"iso8859-", 0},        {"iso8859-+5", 0},    {"koi8-r", 20866},
      {"KOI8-U", 21866},      {"koi8-ru", 0},         {"microsoft-symbol", 0},
      {"misc-fontspecific", 0}, {"", 0},
  };
  for (auto [name, page] : names) EXPECT_EQ(xlfd_code_page(name), page) << name;
}

// The sample sentences, converted by iconv on its own: every character is in
// its page, and the preview draws exactly those bytes.
TEST(Charsets, SamplesInTheirOwnPages) {
  const std::pair<const char*, const char*> sets[] = {
      {"Western", "CP1252"}, {"EasternEurope", "CP1250"}, {"Cyrillic", "CP1251"},
      {"Greek", "CP1253"},   {"Turkish", "CP1254"},       {"Hebrew", "CP1255"},
      {"Arabic", "CP1256"},  {"186", "CP1257"},           {"Vietnamese", "CP1258"},
      {"Thai", "CP874"},     {"Mac", "MACINTOSH"},        {"OEM", "CP437"},
  };
  for (auto [name, page] : sets) {
    Charset charset;
    ASSERT_EQ(find_charset(name, &charset), "");
    iconv_t cd = iconv_open(page, "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << page;
    std::string in = charset.sample, out(4 * in.size() + 4, '\0');
    char *ip = in.data(), *op = out.data();
    size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<size_t>(-1)) << name;
    iconv(cd, nullptr, nullptr, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    EXPECT_GT(out.size(), 6u) << name;
    EXPECT_EQ(sample_bytes(charset), out) << name;
  }
  Charset symbol;
  ASSERT_EQ(find_charset("symbol", &symbol), "");
  EXPECT_EQ(sample_bytes(symbol), "");
}

// A character the page lacks, and every byte that is no UTF-8, is one 0:
// drawn as the missing symbol, never as some other character.
TEST(Charsets, TextInTheCodePage) {
  const struct {
    const char* set;
    std::string utf8, bytes;
  } cases[] = {
      {"Western", "caf\xC3\xA9 \xE2\x82\xAC\n", "caf\xE9 \x80\n"},
      {"Western", "\xCE\xA9!", std::string("\0!", 2)},
      {"Greek", "\xCE\xA9!", "\xD9!"},
      {"Western", "\xA9x\xC3", std::string("\0x\0", 3)},       // stray, cut short at the end
      {"Western", "\xC3(\xE2\x82", std::string("\0(\0", 3)},  // cut short by the next character
      {"Western", "\xC1\x81\xE0\x81\x81", std::string("\0\0", 2)},  // 'A' overlong
      {"Western", "\xF8\x88\x80\x80\x80", std::string(5, '\0')},
      {"Symbol", "ab\n", std::string("\0\0\n", 3)},
      // The Palm's own: tab, figure space and suits; the ellipsis is the page's.
      {"Western", "\t\xE2\x80\x87\xE2\x99\xA5\xE2\x80\xA6", "\x09\x19\x8F\x85"},
      {"Default", "\xE2\x99\xA6\xE2\x99\xA0", "\x8D\x90"},
      {"Cyrillic", "\t\xE2\x99\xA5\xE2\x80\xA6", std::string("\0\0\x85", 3)},
  };
  for (const auto& c : cases) {
    Charset charset;
    ASSERT_EQ(find_charset(c.set, &charset), "");
    EXPECT_EQ(code_page_bytes(charset, c.utf8), c.bytes) << c.set << " " << c.utf8;
  }
}

TEST(CharsetName, CodesWithoutARowAreDecimal) {
  EXPECT_EQ(charset_name(0), "Western");
  EXPECT_EQ(charset_name(1), "Default");
  EXPECT_EQ(charset_name(255), "OEM");
  EXPECT_EQ(charset_name(186), "186");
  EXPECT_EQ(charset_name(128), "128");
  EXPECT_EQ(charset_name(-5), "-5");
  EXPECT_EQ(charset_name(2147483647), "2147483647");
}

}  // namespace
}  // namespace charsets
