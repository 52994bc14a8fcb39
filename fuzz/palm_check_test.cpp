#include "palm_check.h"

#include <gtest/gtest.h>

#include <string>

#include "palm_bytes.h"

namespace {

std::string header(const std::string& name, uint16_t attributes, uint16_t count) {
  return header_bytes({name, attributes, 3000000000u, 3000000000u, 0, 0, "rsrcPGwk", count});
}

// Two resources of 3 and 1 bytes: list ends at 98, 2 pad bytes, data at 100.
std::string two_resources() {
  return header("Font", 9, 2) + "tAIN" + be(1000, 2) + be(100, 4) + "NFNT" + be(0x80, 2) +
         be(103, 4) + std::string(2, '\0') + "abc" + "d";
}

// Three records of 5, 7 and 1 bytes: data at 104, 109 and 116.
std::string three_records() {
  std::string list;
  for (uint32_t i = 0, offset = 104; i < 3; offset += i == 0 ? 5 : 7, ++i)
    list += be(offset, 4) + be(i, 4);
  return header("Notes", 8, 3) + list + std::string(2, '\0') + "12345" + "abcdefg" + "z";
}

TEST(PalmCheck, ReadsResources) {
  PalmFile file;
  ASSERT_EQ(read_palm_file(two_resources(), &file), "");
  EXPECT_EQ(file.name, "Font");
  EXPECT_TRUE(file.resource());
  EXPECT_EQ(file.type + file.creator, "rsrcPGwk");
  EXPECT_EQ(file.created, 3000000000u);
  ASSERT_EQ(file.entries.size(), 2u);
  EXPECT_EQ(file.entries[0], (PalmEntry{"tAIN", 1000, 0, "abc"}));
  EXPECT_EQ(file.entries[1], (PalmEntry{"NFNT", 0x80, 0, "d"}));
}

TEST(PalmCheck, ReadsRecordsAndAnEmptyDatabase) {
  PalmFile file;
  ASSERT_EQ(read_palm_file(three_records(), &file), "");
  ASSERT_EQ(file.entries.size(), 3u);
  EXPECT_EQ(file.entries[0], (PalmEntry{"", 0, 0, "12345"}));
  EXPECT_EQ(file.entries[1], (PalmEntry{"", 1, 0, "abcdefg"}));
  EXPECT_EQ(file.entries[2], (PalmEntry{"", 2, 0, "z"}));

  ASSERT_EQ(read_palm_file(header("", 9, 0) + std::string(2, '\0'), &file), "");
  EXPECT_TRUE(file.entries.empty());
}

struct Damage {
  const char* what;
  std::string bytes;
  std::string problem;
};

class PalmCheckRejects : public testing::TestWithParam<Damage> {};

TEST_P(PalmCheckRejects, SaysWhatIsWrong) {
  PalmFile file;
  EXPECT_EQ(read_palm_file(GetParam().bytes, &file), GetParam().problem) << GetParam().what;
}

std::string patched(std::string bytes, size_t at, const std::string& with) {
  return bytes.replace(at, with.size(), with);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, PalmCheckRejects,
    testing::Values(
        Damage{"short", std::string(77, '\0'), "file of 77 bytes is shorter than a header"},
        Damage{"no NUL in the name", patched(two_resources(), 0, std::string(32, 'n')),
               "name field has no NUL"},
        Damage{"bytes after the name's NUL", patched(two_resources(), 20, "x"),
               "name field byte 20 after the NUL is not 0"},
        Damage{"pad byte set", patched(two_resources(), 99, "x"), "pad byte at 99 is not 0"},
        Damage{"pad missing", header("", 9, 0), "pad runs past the end of the file"},
        Damage{"list past the end", header("", 9, 7) + "xx",
               "entry list of 7 entries runs past the end of the file (80 bytes)"},
        Damage{"gap before the data", patched(two_resources(), 84, be(101, 4)),
               "entry 0 starts at 101, not right after the previous one"},
        Damage{"data in the pad", patched(two_resources(), 84, be(98, 4)),
               "entry 0 starts at 98, not right after the previous one"},
        Damage{"second entry before the first", patched(two_resources(), 94, be(99, 4)),
               "entry 0 has no bytes or ends outside the file (at 99)"},
        Damage{"empty entry", patched(two_resources(), 94, be(100, 4)),
               "entry 0 has no bytes or ends outside the file (at 100)"},
        Damage{"last entry cut", two_resources().substr(0, 103),
               "entry 1 has no bytes or ends outside the file (at 103)"},
        Damage{"records read as resources", patched(three_records(), 33, "\x09"),
               "entry 0 starts at 0, not right after the previous one"},
        Damage{"sort info block", patched(two_resources(), 56, be(4, 4)),
               "application or sort info block present"}));

// A trailing byte belongs to the last entry: nothing marks its end.
TEST(PalmCheck, LastEntryRunsToTheEnd) {
  PalmFile file;
  ASSERT_EQ(read_palm_file(two_resources() + "!", &file), "");
  EXPECT_EQ(file.entries[1].data, "d!");
}

TEST(PalmCheck, DumpTextMatchesPalmDump) {
  PalmFile file;
  ASSERT_EQ(read_palm_file(two_resources(), &file), "");
  EXPECT_EQ(palm_dump_text(file),
            "name:       Font\n"
            "kind:       resource database (.prc)\n"
            "attributes: resource backup\n"
            "version:    1\n"
            "type:       rsrc\n"
            "creator:    PGwk\n"
            "entries:    2\n"
            "  tAIN  1000 (0x03e8)       3 bytes: 61 62 63\n"
            "  NFNT   128 (0x0080)       1 bytes: 64\n");
  ASSERT_EQ(read_palm_file(three_records(), &file), "");
  EXPECT_EQ(palm_dump_text(file),
            "name:       Notes\n"
            "kind:       record database (.pdb)\n"
            "attributes: backup\n"
            "version:    1\n"
            "type:       rsrc\n"
            "creator:    PGwk\n"
            "entries:    3\n"
            "  record 0: uid 0, 5 bytes: 31 32 33 34 35\n"
            "  record 1: uid 1, 7 bytes: 61 62 63 64 65 66 67\n"
            "  record 2: uid 2, 1 bytes: 7a\n");
}

}  // namespace
