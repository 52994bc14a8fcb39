#include "code_pages.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "font_spec.h"
#include "rasterizer.h"

namespace {

struct CharsetCase {
  const char* token;
  const char* name;  // nullptr: refused with `error`
  int code;
  int code_page;
  const char* error;
};

TEST(CodePages, CharsetsByNameOrNumber) {
  const CharsetCase cases[] = {
      {"Western", "Western", 0, 1252, ""},
      {"wEsTeRn", "Western", 0, 1252, ""},
      {"0", "Western", 0, 1252, ""},
      {"default", "Default", 1, 1252, ""},
      {"EASTERNEUROPE", "EasternEurope", 238, 1250, ""},
      {"238", "EasternEurope", 238, 1250, ""},
      {"Greek", "Greek", 161, 1253, ""},
      {"cyrillic", "Cyrillic", 204, 1251, ""},
      {"Turkish", "Turkish", 162, 1254, ""},
      {"Hebrew", "Hebrew", 177, 1255, ""},
      {"Arabic", "Arabic", 178, 1256, ""},
      {"186", "186", 186, 1257, ""},
      {"Vietnamese", "Vietnamese", 163, 1258, ""},
      {"thai", "Thai", 222, 874, ""},
      {"Mac", "Mac", 77, 10000, ""},
      {"255", "OEM", 255, 437, ""},
      {"Symbol", "Symbol", 2, 0, ""},
      {"128", nullptr, 0, 0,
       "character set 128 has two-byte characters; a Palm font holds single bytes"},
      {"129", nullptr, 0, 0,
       "character set 129 has two-byte characters; a Palm font holds single bytes"},
      {"134", nullptr, 0, 0,
       "character set 134 has two-byte characters; a Palm font holds single bytes"},
      {"136", nullptr, 0, 0,
       "character set 136 has two-byte characters; a Palm font holds single bytes"},
      {"Baltic", nullptr, 0, 0, "unknown character set 'Baltic'"},
      {"999", nullptr, 0, 0, "unknown character set '999'"},
      {"+186", nullptr, 0, 0, "unknown character set '+186'"},
      {"", nullptr, 0, 0, "unknown character set ''"},
  };
  for (const CharsetCase& c : cases) {
    Charset charset;
    std::string error = find_charset(c.token, &charset);
    if (!c.name) {
      EXPECT_EQ(error, c.error) << c.token;
      continue;
    }
    EXPECT_EQ(error, "") << c.token;
    EXPECT_EQ(charset.name, c.name) << c.token;
    EXPECT_EQ(charset.code, c.code) << c.token;
    EXPECT_EQ(charset.code_page, c.code_page) << c.token;
    EXPECT_EQ(charset.symbol, c.code_page == 0) << c.token;
  }
}

// What fontpick sends must read back as the same set, by name and by number.
TEST(CodePages, EveryFontpickNameReadsAsItsNumber) {
  for (const CharsetEntry& entry : CharsetTable) {
    Charset by_name, by_number;
    EXPECT_EQ(find_charset(entry.name, &by_name), "") << entry.name;
    EXPECT_EQ(by_name.code, entry.code) << entry.name;
    EXPECT_EQ(find_charset(std::to_string(entry.code), &by_number), "") << entry.name;
    EXPECT_EQ(by_number.name, charset_name(entry.code)) << entry.name;
  }
}

// The published Windows, DOS and Mac tables, byte by byte; 0 marks a byte
// the page leaves undefined.
TEST(CodePages, BytesAsUnicode) {
  struct Case {
    int page;
    uint8_t byte;
    uint32_t unicode;
  };
  const Case cases[] = {
      {1252, 0x41, 0x0041}, {1252, 0x80, 0x20AC},  {1252, 0x81, 0},       {1252, 0x9F, 0x0178},
      {1250, 0x8A, 0x0160}, {1250, 0xE8, 0x010D},  {1250, 0x83, 0},       {1251, 0xC0, 0x0410},
      {1251, 0xFF, 0x044F}, {1251, 0x98, 0},       {1253, 0xC1, 0x0391},  {1253, 0xAA, 0},
      {1253, 0xD2, 0},      {1254, 0xF0, 0x011F},  {1254, 0xDD, 0x0130},  {1255, 0xE0, 0x05D0},
      {1255, 0xD9, 0},      {1256, 0xC7, 0x0627},  {1256, 0x81, 0x067E},  {1257, 0xE0, 0x0105},
      {1257, 0xA1, 0},      {1258, 0xCC, 0x0300},  {1258, 0xE2, 0x00E2},  {1258, 0x41, 0x0041},
      {874, 0xA1, 0x0E01},  {874, 0x80, 0x20AC},   {874, 0xDB, 0},        {437, 0xE0, 0x03B1},
      {437, 0xB0, 0x2591},  {10000, 0xA5, 0x2022}, {10000, 0xDB, 0x20AC}, {10000, 0xD9, 0x0178},
  };
  for (const Case& c : cases) {
    uint32_t unicode = 0;
    bool defined = code_page_to_unicode(c.page, c.byte, &unicode);
    EXPECT_EQ(defined, c.unicode != 0) << c.page << " " << int{c.byte};
    if (defined) {
      EXPECT_EQ(unicode, c.unicode) << c.page << " " << int{c.byte};
    }
  }
}

}  // namespace

namespace {

// The sample sentences, converted by iconv on its own: every character is in
// its page, and the preview draws exactly those bytes.
TEST(CodePages, SamplesInTheirOwnPages) {
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

}  // namespace
