// What a Palm would mis-read in a database that reads well on the desktop:
// two resources of one type and ID, font resources that are no font or the
// other version's, remap resources of the wrong form, and more entries or
// bigger ones than the handheld holds. Found before the database goes on a
// device; the findings are values for the caller to print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reader.h"

namespace palm {

// One thing wrong, about one entry or about the whole database.
struct CheckFinding {
  static constexpr size_t kDatabase = static_cast<size_t>(-1);
  size_t entry = kDatabase;  // index in the entry list
  std::string what;          // a few words, lower case
};

// Fills bytes with `size` bytes of the file from `offset`; false when the
// file can't be read.
using ReadEntryBytes =
    std::function<bool(uint64_t offset, size_t size, std::vector<uint8_t>* bytes)>;

// Checks a database that read_database accepted, in entry order, the
// database's own findings last. Only the bytes of font and remap resources
// are read. Returns "" or what stopped the check (a read error).
std::string check_database(const PalmDatabase& db, const ReadEntryBytes& read,
                           std::vector<CheckFinding>* findings);

// "entry 3 (NFNT 0x0080)" or "record 3": the entry a finding names; "" for
// the database as a whole.
std::string check_entry_name(const PalmDatabase& db, size_t entry);

}  // namespace palm
