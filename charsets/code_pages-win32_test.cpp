// Windows' own code pages, byte by byte.
#include <gtest/gtest.h>

#include "code_pages.h"

namespace charsets {
namespace {

struct CodePageCase {
  int page;
  uint8_t byte;
  uint32_t unicode;  // 0: undefined
};

TEST(WindowsCodePages, BytesAsUnicode) {
  const CodePageCase cases[] = {
      {1252, 0x41, 0x0041},  {1252, 0x80, 0x20AC}, {1252, 0x81, 0},      {1252, 0x8D, 0},
      {1252, 0xE9, 0x00E9},  {1250, 0x8A, 0x0160}, {1250, 0xB9, 0x0105}, {1251, 0xC0, 0x0410},
      {1251, 0x98, 0},       {1253, 0xC1, 0x0391}, {1253, 0xAA, 0},      {1253, 0xD2, 0},
      {1254, 0xF0, 0x011F},  {1255, 0xE0, 0x05D0}, {1255, 0xD9, 0},      {1256, 0xC7, 0x0627},
      {1257, 0xC0, 0x0104},  {1258, 0xD2, 0x0309}, {874, 0xA1, 0x0E01},  {874, 0xDB, 0},
      {874, 0xFF, 0},        {437, 0xB0, 0x2591},  {437, 0xE1, 0x00DF},  {10000, 0x80, 0x00C4},
      {10000, 0xA5, 0x2022}, {28595, 0xB0, 0x0410}, {28597, 0xC1, 0x0391}, {20866, 0xE1, 0x0410},
      {21866, 0xA4, 0x0454},
  };
  for (const CodePageCase& c : cases) {
    uint32_t unicode = code_page_table(c.page)[c.byte];
    bool defined = unicode != 0;
    EXPECT_EQ(defined, c.unicode != 0) << c.page << " " << int(c.byte);
    if (defined) {
      EXPECT_EQ(unicode, c.unicode) << c.page << " " << int(c.byte);
    }
  }
}

}  // namespace
}  // namespace charsets
