#include "entry_name.h"

#include <gtest/gtest.h>

#include <string>

using namespace palm;

namespace {

TEST(EntryName, IdFromName) {
  struct Case {
    const char* name;
    bool ok;
    unsigned id;
  } cases[] = {
      {"tAIN03e8.bin", true, 0x03e8}, {"abc.bin", true, 0x000b}, {"neg_-001", true, 0xffff},
      {"pfx_0x1f", true, 0x001f},     {"pfx_0xzz", true, 0},     {"tAIN.bin", false, 0},
      {"abc", false, 0},              {"tAIN", false, 0},
  };
  for (const Case& c : cases) {
    unsigned id = 0;
    EXPECT_EQ(c.ok, entry_name_id(c.name, &id)) << c.name;
    EXPECT_EQ(c.id, id) << c.name;
  }
}

TEST(EntryName, NameFromTypeAndId) {
  bool escaped = true;
  EXPECT_EQ("tAIN03e8", resource_file_base(reinterpret_cast<const uint8_t*>("tAIN"), 1000, &escaped));
  EXPECT_FALSE(escaped);
  EXPECT_EQ("a%2Fb%00ffff",
            resource_file_base(reinterpret_cast<const uint8_t*>("a/b\0"), 0xffff, &escaped));
  EXPECT_TRUE(escaped);
  EXPECT_EQ("record0007", record_file_base(7, 10000));
  EXPECT_EQ("record00007", record_file_base(7, 10001));
}

}  // namespace
