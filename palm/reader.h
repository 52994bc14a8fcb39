// Reading a Palm OS database written by anyone: the header and the entry list
// are checked against the file's size before anything in them is trusted.
// Only the start of the file (header and entry list) is needed in memory;
// the entries' bytes stay where they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "database.h"

namespace palm {

constexpr size_t kPalmHeaderSize = kHeaderSize;
constexpr size_t kResourceEntrySize = sizeof(ResourceEntry);
constexpr size_t kRecordEntrySize = sizeof(RecordEntry);

// The name of a header attribute bit (0 to 15), or nullptr for the bits
// Palm OS gives no name.
const char* header_attribute_name(int bit);

// The name of a record attribute flag, bits 4 (secret) to 7 (delete); the
// low four bits are the record's category.
const char* record_flag_name(int bit);

// One resource (type and ID) or record (attributes and unique ID); its bytes
// run from offset to the next entry's offset, the last one's to the file's end.
struct PalmEntry {
  uint8_t type[4] = {};
  uint16_t id = 0;
  uint8_t attributes = 0;
  uint32_t unique_id = 0;  // 24 bits
  uint32_t offset = 0;
  uint32_t size = 0;
};

// A block that sits between the entry list and the entries (AppInfo or
// SortInfo); size 0 when absent.
struct PalmBlock {
  uint32_t offset = 0;
  uint32_t size = 0;
};

struct PalmDatabase {
  DatabaseHeader header{};  // in host order
  bool resources = false;
  uint64_t file_size = 0;
  uint32_t directory_end = 0;  // first byte after the entry list
  PalmBlock app_info;
  PalmBlock sort_info;
  std::vector<PalmEntry> entries;
};

// How many leading bytes of the file read_database needs: the header, then
// the entry list it announces. Given fewer than 78 bytes, returns 78.
size_t palm_directory_size(const uint8_t* start, size_t size);

// Checks and reads a database whose first `size` bytes are at `start` (at
// least palm_directory_size of them, or the whole file when it is shorter)
// and whose length is file_size. Returns "" and fills db, or says what is
// wrong in a few words for the caller to put after the file's name.
std::string read_database(const uint8_t* start, size_t size, uint64_t file_size, PalmDatabase* db);

}  // namespace palm
