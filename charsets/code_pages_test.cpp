#include "code_pages.h"

#include <gtest/gtest.h>

namespace charsets {
namespace {

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
      {28591, 0xE9, 0x00E9}, {28595, 0xB0, 0x0410}, {28597, 0xC1, 0x0391}, {28597, 0xD2, 0},
      {28605, 0xA4, 0x20AC}, {28606, 0xAA, 0x0218}, {20866, 0xE1, 0x0410}, {20866, 0xA4, 0x2553},
      {21866, 0xA4, 0x0454}, {28600 + 12, 0x41, 0},
  };
  for (const Case& c : cases) {
    uint32_t unicode = code_page_table(c.page)[c.byte];
    bool defined = unicode != 0;
    EXPECT_EQ(defined, c.unicode != 0) << c.page << " " << int{c.byte};
    if (defined) {
      EXPECT_EQ(unicode, c.unicode) << c.page << " " << int{c.byte};
    }
  }
}

}  // namespace
}  // namespace charsets
