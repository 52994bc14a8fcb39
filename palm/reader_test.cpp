#include "reader.h"

#include <gtest/gtest.h>

#include <string>

#include "palm_bytes.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// A header laid out field by field; entries follow as the case gives them.
std::string header(uint16_t attributes, uint16_t count, uint32_t app = 0, uint32_t sort = 0,
                   std::string name = "Test") {
  return header_bytes({name, attributes, 0xD0000000, 0xD0000001, app, sort, "typecrea", count});
}
std::string res(const char* type, uint16_t id, uint32_t offset) {
  return resource_entry(std::string(type, 4), id, offset);
}
std::string rec(uint32_t offset, uint8_t attributes, uint32_t uid) {
  return record_entry(offset, attributes, uid);
}

// What was read, in a few words: blocks, then each entry's key, offset and size.
std::string summary(const PalmDatabase& db) {
  std::string s = db.resources ? "resources" : "records";
  char part[80];
  if (db.app_info.offset)
    s += " app " + std::to_string(db.app_info.offset) + "+" + std::to_string(db.app_info.size);
  if (db.sort_info.offset)
    s += " sort " + std::to_string(db.sort_info.offset) + "+" + std::to_string(db.sort_info.size);
  for (const PalmEntry& e : db.entries) {
    if (db.resources)
      snprintf(part, sizeof part, " %.4s/%04x@%u+%u", reinterpret_cast<const char*>(e.type), e.id,
               e.offset, e.size);
    else
      snprintf(part, sizeof part, " %02x/%06x@%u+%u", e.attributes, e.unique_id, e.offset, e.size);
    s += part;
  }
  return s;
}

struct Case {
  const char* title;
  std::string bytes;
  std::string expected;  // the summary, or the error text
};

TEST(Reader, GoodAndCorruptFiles) {
  const Case cases[] = {
      {"empty resource database", header(9, 0) + "\0\0"s, "resources"},
      {"empty record database, no gap", header(8, 0), "records"},
      {"two resources after a 2-byte pad",
       header(9, 2) + res("tAIN", 1000, 100) + res("tver", 1, 104) + "\0\0"s + "abcdXYZ",
       "resources tAIN/03e8@100+4 tver/0001@104+3"},
      {"records with attributes, unique IDs, AppInfo and SortInfo, no gap",
       header(0, 3, 102, 105) + rec(107, 0x40, 0x123456) + rec(107, 0x81, 7) + rec(110, 0, 8) +
           "AAASSbbbcc",
       "records app 102+3 sort 105+2 40/123456@107+0 81/000007@107+3 00/000008@110+2"},
      {"last entry empty at the end of the file", header(9, 1) + res("code", 0, 88),
       "resources code/0000@88+0"},
      {"AppInfo alone runs to the end", header(8, 0, 80) + "\0\0xyz"s, "records app 80+3"},
      {"77 bytes", header(9, 0).substr(0, 77),
       "file of 77 bytes is shorter than the 78-byte header"},
      {"name without its zero", header(9, 0, 0, 0, std::string(32, 'N')) + "\0\0"s,
       "database name has no terminating zero byte"},
      {"entry list past the end", header(9, 3) + res("a   ", 0, 108),
       "list of 3 entries ends at byte 108, past the end of the file (88 bytes)"},
      {"count the file can't hold", header(8, 65535) + "\0\0"s,
       "list of 65535 entries ends at byte 524358, past the end of the file (80 bytes)"},
      {"entry inside the list", header(9, 1) + res("a   ", 0, 80) + "xxxx",
       "entry 0 offset 80 lies inside the header and entry list, which end at byte 88"},
      {"entry past the end", header(9, 1) + res("a   ", 0, 93) + "xxxx",
       "entry 0 offset 93 is past the end of the file (92 bytes)"},
      {"entries out of order", header(9, 2) + res("a   ", 0, 102) + res("b   ", 0, 100) + "xxxxxx",
       "entry 1 offset 100 comes before entry 0 offset 102"},
      {"AppInfo inside the header", header(8, 0, 40) + "\0\0"s,
       "AppInfo offset 40 lies inside the header and entry list, which end at byte 78"},
      {"SortInfo before AppInfo", header(8, 0, 82, 80) + "\0\0xxxx"s,
       "SortInfo offset 80 comes before AppInfo offset 82"},
      {"AppInfo after the first record", header(8, 1, 90) + rec(88, 0, 0) + "\0\0xxxxxxxx"s,
       "entry 0 offset 88 comes before AppInfo offset 90"},
      {"SortInfo past the end", header(8, 0, 0, 4000) + "\0\0"s,
       "SortInfo offset 4000 is past the end of the file (80 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
    PalmDatabase db;
    std::string error = read_database(bytes, c.bytes.size(), c.bytes.size(), &db);
    EXPECT_EQ(c.expected, error.empty() ? summary(db) : error);
    // Only the header and the entry list are needed, and nothing more is read.
    size_t need = palm_directory_size(bytes, c.bytes.size());
    if (error.empty() && need <= c.bytes.size()) {
      PalmDatabase head_only;
      EXPECT_EQ("", read_database(bytes, need, c.bytes.size(), &head_only));
      EXPECT_EQ(summary(db), summary(head_only));
    }
  }
}

TEST(Reader, HeaderFields) {
  std::string bytes = header(0x8009, 0, 0, 0, "My Font") + "\0\0"s;
  PalmDatabase db;
  ASSERT_EQ("", read_database(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                              bytes.size(), &db));
  EXPECT_EQ("My Font", std::string(db.header.name));
  EXPECT_EQ(0x8009, db.header.attributes);
  EXPECT_EQ(1, db.header.version);
  EXPECT_EQ(0xD0000000u, db.header.creation_date);
  EXPECT_EQ(0xD0000001u, db.header.modification_date);
  EXPECT_EQ("type", std::string(db.header.type, 4));
  EXPECT_EQ("crea", std::string(db.header.creator, 4));
  EXPECT_EQ(80u, db.file_size);
  EXPECT_EQ(78u, db.directory_end);
}

}  // namespace
