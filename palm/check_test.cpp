#include "check.h"

#include <gtest/gtest.h>

#include <cstring>

#include "bitmap_font.h"
#include "database.h"
#include "test_font.h"

using namespace palm;

namespace {

struct Entry {
  const char* type;
  uint16_t id;
  std::vector<uint8_t> bytes;
};

struct Package {
  PalmDatabase db;
  std::vector<uint8_t> file;
};

Package package(const std::vector<Entry>& entries, bool resources = true) {
  Package p;
  p.db.resources = resources;
  for (const Entry& e : entries) {
    PalmEntry entry;
    memcpy(entry.type, e.type, 4);
    entry.id = e.id;
    entry.offset = static_cast<uint32_t>(p.file.size());
    entry.size = static_cast<uint32_t>(e.bytes.size());
    p.file.insert(p.file.end(), e.bytes.begin(), e.bytes.end());
    p.db.entries.push_back(entry);
  }
  p.db.file_size = p.file.size();
  return p;
}

// Each finding as the line prcdump prints after the file's name.
std::string checked(const Package& p, bool fail_reads = false) {
  ReadEntryBytes read = [&](uint64_t offset, size_t size, std::vector<uint8_t>* bytes) {
    if (fail_reads || offset + size > p.file.size()) return false;
    bytes->assign(p.file.begin() + static_cast<ptrdiff_t>(offset),
                  p.file.begin() + static_cast<ptrdiff_t>(offset + size));
    return true;
  };
  std::vector<CheckFinding> findings;
  std::string error = check_database(p.db, read, &findings);
  if (!error.empty()) return "error: " + error;
  std::string s;
  for (const CheckFinding& f : findings) {
    std::string entry = check_entry_name(p.db, f.entry);
    s += (entry.empty() ? "" : entry + ": ") + f.what + "\n";
  }
  return s;
}

const std::vector<uint8_t> kV1 = encode_font(tiny_font(false));
const std::vector<uint8_t> kV2 = encode_font(tiny_font(true));
const std::vector<uint8_t> kPng = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H',
                                   'D',  'R', 0,   0,   0,  1,  0,  0,  0, 1, 8, 0,  0,   0};

TEST(Check, BadPackages) {
  struct Case {
    const char* title;
    Package package;
    std::string expected;
  } cases[] = {
      {"fonts and remaps as glyphsmith and prcbuild make them",
       package({{"NFNT", 0x80, kV1},
                {"nfnt", 0x80, kV2},
                {"Rmap", 0, {'@', 0, 0, 0x80}},
                {"tAIN", 0x80, {1}}}),
       ""},
      {"a preview packed as a second NFNT",
       package({{"NFNT", 0x80, kV1}, {"nfnt", 0x80, kV2}, {"NFNT", 0x80, kPng}}),
       "entry 2 (NFNT 0x0080): the same type and ID as entry 0\n"
       "entry 2 (NFNT 0x0080): not a font (type 0x8950)\n"},
      {"the 72-dpi font packed as both",
       package({{"NFNT", 0x80, kV1}, {"nfnt", 0x80, kV1}}),
       "entry 1 (nfnt 0x0080): a version 1 font, but nfnt holds version 2\n"},
      {"the fonts' types swapped",
       package({{"NFNT", 0x81, kV2}, {"nfnt", 0x81, kV1}}),
       "entry 0 (NFNT 0x0081): a version 2 font, but NFNT holds version 1\n"
       "entry 1 (nfnt 0x0081): a version 1 font, but nfnt holds version 2\n"},
      {"a font cut short",
       package({{"nfnt", 0x80, std::vector<uint8_t>(kV2.begin(), kV2.begin() + 20)}}),
       "entry 0 (nfnt 0x0080): not a font: header shorter than 26 bytes\n"},
      {"remaps of the wrong form, the same type and ID thrice",
       package({{"Rmap", 1, {'@', 0, 0}},
                {"Rmap", 1, {'A', 0, 0, 1}},
                {"Rmap", 1, {'@', 0, 0, 1, 0}},
                {"rmap", 1, {'A'}}}),
       "entry 0 (Rmap 0x0001): 3 bytes, not the 4 of a font remap (40 00 and the font ID)\n"
       "entry 1 (Rmap 0x0001): the same type and ID as entry 0\n"
       "entry 1 (Rmap 0x0001): bytes 41 00 00 01, not a font remap (40 00 and the font ID)\n"
       "entry 2 (Rmap 0x0001): the same type and ID as entry 0\n"
       "entry 2 (Rmap 0x0001): 5 bytes, not the 4 of a font remap (40 00 and the font ID)\n"},
      {"types that differ only in letter case are two types",
       package({{"abcd", 1, {1}}, {"ABCD", 1, {1}}, {"ab\x01" "d", 1, {1}}, {"ab\x01" "d", 1, {2}}}),
       "entry 3 (ab\\x01d 0x0001): the same type and ID as entry 2\n"},
      {"an entry larger than a Palm holds",
       package({{"tAIN", 1, std::vector<uint8_t>(kMaxEntrySize)},
                {"tAIN", 2, std::vector<uint8_t>(kMaxEntrySize + 1)}}),
       "entry 1 (tAIN 0x0002): 65506 bytes, more than a Palm holds in one entry (65505)\n"},
      {"records: any bytes and any number of the same, but not too big",
       package({{"data", 0, kPng}, {"data", 0, kPng}, {"data", 0, std::vector<uint8_t>(70000)}}, false),
       "record 2: 70000 bytes, more than a Palm holds in one entry (65505)\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, checked(c.package)) << c.title;
}

TEST(Check, WholeDatabase) {
  std::vector<Entry> entries(kMaxEntries + 1, Entry{"tAIN", 0, {1}});
  for (size_t i = 0; i < entries.size(); ++i) entries[i].id = static_cast<uint16_t>(i);
  Package p = package(entries);
  p.db.app_info = {100, 70000};
  p.db.sort_info = {100, static_cast<uint32_t>(kMaxEntrySize)};
  EXPECT_EQ(
      "6553 entries, more than a Palm database holds (6552)\n"
      "AppInfo of 70000 bytes, more than a Palm holds in one entry (65505)\n",
      checked(p));
  p.db.entries.pop_back();
  p.db.app_info = {};
  p.db.sort_info = {100, 70000};
  EXPECT_EQ("SortInfo of 70000 bytes, more than a Palm holds in one entry (65505)\n",
            checked(p));
  // A read that fails stops the check; a font is read, another type isn't.
  EXPECT_EQ("", checked(package({{"tAIN", 1, {1}}}), true));
  EXPECT_EQ("error: read error in entry 0 (NFNT 0x0080)",
            checked(package({{"NFNT", 0x80, kV1}}), true));
}

}  // namespace
