#include "layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "database.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// Converts as this host must for the file; the expected bytes are big-endian.
size_t pack(void* record, const char* layout, bool swap = kHostSwapsBytes) {
  LayoutError error;
  size_t covered = pack_fields(record, layout, swap, &error);
  EXPECT_TRUE(error.ok()) << layout << " " << error.letter;
  return covered;
}

std::string bytes_of(const void* p, size_t n) {
  return std::string(static_cast<const char*>(p), n);
}

TEST(Layout, EmptyLayoutCoversNothing) {
  unsigned char record[4] = {1, 2, 3, 4};
  EXPECT_EQ(0u, pack(record, ""));
  EXPECT_EQ("01 02 03 04", hex(bytes_of(record, 4)));
}

TEST(Layout, HeaderBecomesBigEndian) {
  DatabaseHeader h{};
  memcpy(h.name, "Fonts", 5);
  h.attributes = 0x0009;
  h.version = 1;
  h.creation_date = 0x01020304;
  h.modification_date = 0x05060708;
  h.sort_info_offset = 0x0A0B0C0D;
  memcpy(h.type, "Font", 4);
  memcpy(h.creator, "PGwk", 4);
  h.next_record_list = 0x11121314;
  h.entry_count = 0x0203;
  ASSERT_EQ(78u, pack(&h, kHeaderLayout));
  std::string expected = std::string("Fonts") + std::string(27, '\0') +
                         "\x00\x09\x00\x01\x01\x02\x03\x04\x05\x06\x07\x08"s +
                         std::string(12, '\0') + "\x0A\x0B\x0C\x0D"s + "FontPGwk" +
                         std::string(4, '\0') + "\x11\x12\x13\x14\x02\x03"s;
  ASSERT_EQ(78u, expected.size());
  EXPECT_EQ(hex(expected), hex(bytes_of(&h, 78)));
}

TEST(Layout, ResourceEntryBytes) {
  ResourceEntry e{{'t', 'A', 'I', 'N'}, 1000, 0, 88};
  ASSERT_EQ(10u, pack(&e, kResourceLayout));
  EXPECT_EQ("74 41 49 4e 03 e8 00 00 00 58", hex(bytes_of(&e, 10)));
}

TEST(Layout, CountsAndZeroCounts) {
  struct Case {
    const char* layout;
    size_t covered;
    const char* after;  // bytes 00..07 after conversion
  } cases[] = {
      {"W0D", 4, "03 02 01 00 04 05 06 07"},   {"B3W", 5, "00 01 02 04 03 05 06 07"},
      {"D2", 8, "03 02 01 00 07 06 05 04"},    {"W4", 8, "01 00 03 02 05 04 07 06"},
      {"B0Q0W", 2, "01 00 02 03 04 05 06 07"}, {"B10", 10, "00 01 02 03 04 05 06 07"},
  };
  for (const Case& c : cases) {
    unsigned char record[16];
    for (int i = 0; i < 16; ++i) record[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(c.covered, pack(record, c.layout)) << c.layout;
    EXPECT_EQ(c.after, hex(bytes_of(record, 8))) << c.layout;
  }
}

TEST(Layout, SwitchOffOnlyCounts) {
  RecordEntry e{0x00000068, 0, {0, 0, 2}};
  RecordEntry before = e;
  EXPECT_EQ(8u, pack(&e, kRecordLayout, false));
  EXPECT_EQ(0, memcmp(&e, &before, sizeof e));
}

TEST(Layout, ConvertingTwiceRestoresHostOrder) {
  RecordEntry e{0x12345678, 0x40, {1, 2, 3}};
  RecordEntry before = e;
  pack(&e, kRecordLayout);
  pack(&e, kRecordLayout);
  EXPECT_EQ(0, memcmp(&e, &before, sizeof e));
}

TEST(Layout, UnknownLetterStopsThere) {
  unsigned char record[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  LayoutError error;
  EXPECT_EQ(2u, pack_fields(record, "WQ", kHostSwapsBytes, &error));
  EXPECT_EQ('Q', error.letter);
  EXPECT_EQ("01 00 02 03 04 05 06 07", hex(bytes_of(record, 8)));
}

}  // namespace
