#include "database.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "palm_bytes.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

struct DatabaseTest : testing::Test {
  // Builds a database from the given blocks and returns its bytes with the two
  // clock fields checked for equality and then zeroed.
  std::string build(bool records, const std::vector<std::string>& blocks, const char* name = "Test",
                    const char* type = "data", const char* creator = "TEST") {
    Database db;
    db.record_mode = records;
    init_header(&db, name, type, creator);
    unsigned id = 1000;
    for (const std::string& b : blocks)
      EXPECT_TRUE(add_entry(&db, "tAIN", id++, b.data(), b.size()).ok());
    EXPECT_TRUE(write_database(&db, dir.file("out").c_str()).ok());
    std::string file = read_file(dir.file("out"));
    EXPECT_GE(file.size(), 78u);
    EXPECT_EQ(file.substr(36, 4), file.substr(40, 4)) << "creation and modification differ";
    file.replace(36, 8, std::string(8, '\0'));
    return file;
  }

  TempDir dir;
};

TEST_F(DatabaseTest, EmptyDatabasesAreEightyBytes) {
  EXPECT_EQ(hex(header_bytes("Test", 0x0009, "data", "TEST", 0) + std::string(2, '\0')),
            hex(build(false, {})));
  EXPECT_EQ(hex(header_bytes("Test", 0x0008, "data", "TEST", 0) + std::string(2, '\0')),
            hex(build(true, {})));
}

TEST_F(DatabaseTest, OneResourceHasNoPad) {
  std::string expected = header_bytes("Test", 0x0009, "data", "TEST", 1) +
                         std::string("tAIN\x03\xe8\x00\x00\x00\x58", 10) + "@\x00\x00\x01"s;
  EXPECT_EQ(hex(expected), hex(build(false, {"@\x00\x00\x01"s})));
}

TEST_F(DatabaseTest, TwoResourcesArePaddedToFour) {
  std::string expected = header_bytes("Test", 0x0009, "data", "TEST", 2) +
                         std::string("tAIN\x03\xe8\x00\x00\x00\x64", 10) +
                         std::string("tAIN\x03\xe9\x00\x00\x00\x67", 10) + std::string(2, '\0') +
                         "abc" + "defg";
  EXPECT_EQ(hex(expected), hex(build(false, {"abc", "defg"})));
}

TEST_F(DatabaseTest, ThreeRecords) {
  std::string expected = header_bytes("Test", 0x0008, "data", "TEST", 3) +
                         std::string("\x00\x00\x00\x68\x00\x00\x00\x00", 8) +
                         std::string("\x00\x00\x00\x6d\x00\x00\x00\x01", 8) +
                         std::string("\x00\x00\x00\x74\x00\x00\x00\x02", 8) + std::string(2, '\0') +
                         "11111" + "2222222" + "3";
  std::string file = build(true, {"11111", "2222222", "3"});
  EXPECT_EQ(117u, file.size());
  EXPECT_EQ(hex(expected), hex(file));
}

TEST_F(DatabaseTest, NameTypeAndCreatorFields) {
  struct Case {
    const char* name;
    const char* type;
    const char* creator;
    std::string expected;
  } cases[] = {
      {"0123456789012345678901234567890123456789", "ab", "abcdef",
       header_bytes("0123456789012345678901234567890", 0x0009, "ab\0\0"s, "abcd", 0)},
      {"", "", "x", header_bytes("", 0x0009, std::string(4, '\0'), "x\0\0\0"s, 0)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(hex(c.expected + std::string(2, '\0')),
              hex(build(false, {}, c.name, c.type, c.creator)))
        << c.name;
}

TEST_F(DatabaseTest, DatesCountFrom1904) {
  EXPECT_EQ(2082844800u, palm_time(0));
  EXPECT_EQ(2082844800u + 86400u, palm_time(86400));
  Database db;
  uint32_t before = palm_time(time(nullptr));
  init_header(&db, "Test", "data", "TEST");
  uint32_t after = palm_time(time(nullptr));
  EXPECT_LE(before, db.header.creation_date);
  EXPECT_GE(after, db.header.creation_date);
  EXPECT_EQ(db.header.creation_date, db.header.modification_date);
}

TEST_F(DatabaseTest, ListIsEmptiedByInitAndWrite) {
  Database db;
  init_header(&db, "A", "data", "TEST");
  EXPECT_TRUE(add_entry(&db, "tAIN", 1, "x", 1).ok());
  init_header(&db, "A", "data", "TEST");
  EXPECT_EQ(0u, db.entries.size());
  EXPECT_TRUE(add_entry(&db, "tAIN", 1, "x", 1).ok());
  EXPECT_TRUE(write_database(&db, dir.file("out").c_str()).ok());
  EXPECT_EQ(0u, db.entries.size());
}

TEST_F(DatabaseTest, FullListStillWrites) {
  Database db;
  db.record_mode = true;
  init_header(&db, "Many", "data", "TEST");
  for (size_t i = 0; i < kMaxEntries; ++i) ASSERT_TRUE(add_entry(&db, "", 0, "r", 1).ok());
  EXPECT_TRUE(write_database(&db, dir.file("out").c_str()).ok());
  std::string file = read_file(dir.file("out"));
  size_t data_start = 78 + kMaxEntries * 8 + 2;
  ASSERT_EQ(data_start + kMaxEntries, file.size());
  EXPECT_EQ("19 98", hex(file.substr(76, 2)));  // 6552 entries
  // The last record's entry: its offset, then attributes 0 and unique ID 6551.
  std::string last = file.substr(78 + (kMaxEntries - 1) * 8, 8);
  uint32_t offset = static_cast<uint32_t>(data_start + kMaxEntries - 1);
  std::string expected = {static_cast<char>(offset >> 24),
                          static_cast<char>(offset >> 16),
                          static_cast<char>(offset >> 8),
                          static_cast<char>(offset),
                          0,
                          0,
                          0x19,
                          static_cast<char>(0x97)};
  EXPECT_EQ(hex(expected), hex(last));
}

TEST_F(DatabaseTest, EntriesFromFilesAndBlocksMix) {
  write_file(dir.file("input"), "0123456789");
  FILE* input = fopen(dir.file("input").c_str(), "rb");
  ASSERT_NE(nullptr, input);
  Database db;
  init_header(&db, "Test", "data", "TEST");
  EXPECT_TRUE(add_file_entry(&db, "tAIN", 1000, input, 2, 3, "input", true).ok());
  EXPECT_TRUE(add_entry(&db, "tAIN", 1001, "ab", 2).ok());
  EXPECT_TRUE(add_file_entry(&db, "2AIN", 1002, input, 7, 3, "input", false).ok());
  EXPECT_TRUE(write_database(&db, dir.file("out").c_str()).ok());
  std::string file = read_file(dir.file("out"));
  ASSERT_EQ(78u + 30 + 0 + 8, file.size());
  EXPECT_EQ("234ab789", file.substr(108));
  EXPECT_EQ(hex("tAIN\x03\xe8\x00\x00\x00\x6c"s), hex(file.substr(78, 10)));
  EXPECT_EQ(hex("2AIN\x03\xea\x00\x00\x00\x71"s), hex(file.substr(98, 10)));
}

// The image is the file write_database writes, byte for byte, entries held
// in files included; an input cut short is named as for the file.
TEST_F(DatabaseTest, ImageIsTheWrittenFile) {
  write_file(dir.file("input"), "0123456789");
  Database written, imaged;
  for (Database* db : {&written, &imaged}) {
    init_header(db, "Image", "data", "TEST");
    db->header = written.header;
    FILE* input = fopen(dir.file("input").c_str(), "rb");
    ASSERT_NE(nullptr, input);
    EXPECT_TRUE(add_file_entry(db, "tAIN", 1000, input, 2, 3, "input", true).ok());
    EXPECT_TRUE(add_entry(db, "tAIN", 1001, "ab", 2).ok());
  }
  EXPECT_TRUE(write_database(&written, dir.file("out").c_str()).ok());
  std::vector<uint8_t> image;
  EXPECT_TRUE(database_image(&imaged, &image).ok());
  EXPECT_EQ(hex(read_file(dir.file("out"))), hex(image));
  EXPECT_TRUE(imaged.entries.empty());

  FILE* input = fopen(dir.file("input").c_str(), "rb");
  ASSERT_NE(nullptr, input);
  EXPECT_TRUE(add_file_entry(&imaged, "tAIN", 1000, input, 8, 3, "in/tAIN03e8.bin", true).ok());
  DatabaseError error = database_image(&imaged, &image);
  EXPECT_EQ(DatabaseFailure::read_input, error.what);
  EXPECT_EQ("in/tAIN03e8.bin", error.file.path);
}

TEST_F(DatabaseTest, InputShortenedBeforeWriting) {
  write_file(dir.file("input"), "0123456789");
  write_file(dir.file("out"), "precious");
  FILE* input = fopen(dir.file("input").c_str(), "rb");
  ASSERT_NE(nullptr, input);
  Database db;
  init_header(&db, "Test", "data", "TEST");
  EXPECT_TRUE(add_file_entry(&db, "tAIN", 1000, input, 0, 10, "in/tAIN03e8.bin", true).ok());
  write_file(dir.file("input"), "01234");
  DatabaseError error = write_database(&db, dir.file("out").c_str());
  EXPECT_EQ(DatabaseFailure::read_input, error.what);
  EXPECT_EQ("in/tAIN03e8.bin", error.file.path);
  EXPECT_EQ("precious", read_file(dir.file("out")));
  EXPECT_EQ(2u, std::distance(std::filesystem::directory_iterator(dir.path), {}))
      << "a temporary file was left";
}

TEST_F(DatabaseTest, AddEntryRefusals) {
  Database db;
  init_header(&db, "Many", "data", "TEST");
  EXPECT_EQ(DatabaseFailure::empty_entry, add_entry(&db, "tAIN", 1, "", 0).what);
  EXPECT_EQ(0u, db.entries.size());
  for (size_t i = 0; i < kMaxEntries; ++i) ASSERT_TRUE(add_entry(&db, "tAIN", 1, "r", 1).ok());
  EXPECT_EQ(DatabaseFailure::too_many_entries, add_entry(&db, "tAIN", 1, "r", 1).what);
  EXPECT_EQ(DatabaseFailure::too_many_entries,
            add_file_entry(&db, "tAIN", 1, stdin, 0, 1, "stdin", false).what);
  EXPECT_EQ(kMaxEntries, db.entries.size());
}

// The library keeps what failed, on which file, and the system's reason.
TEST_F(DatabaseTest, FailuresKeepTheSystemsReason) {
  struct Case {
    std::string path;
    DatabaseFailure what;
    int code;
  } cases[] = {
      {"/dev/full", DatabaseFailure::write_output, ENOSPC},
      {dir.file("missing/out.prc"), DatabaseFailure::open_output, ENOENT},
  };
  for (const Case& c : cases) {
    Database db;
    init_header(&db, "Test", "data", "TEST");
    ASSERT_TRUE(add_entry(&db, "tAIN", 1, "x", 1).ok());
    DatabaseError error = write_database(&db, c.path.c_str());
    EXPECT_EQ(c.what, error.what) << c.path;
    EXPECT_EQ(c.path, error.file.path);
    EXPECT_EQ(c.code, error.file.code) << c.path << ": " << error.file.reason();
  }
}

}  // namespace
