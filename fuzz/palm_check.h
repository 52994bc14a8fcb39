// An independent reader of the databases prcbuild writes, for the fuzz target
// and its tests: it shares no code with prcbuild and checks the layout a Palm
// OS reader relies on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PalmEntry {
  std::string type;         // resources: the 4 type bytes; records: empty
  unsigned id = 0;          // resource ID, or the record's unique ID
  unsigned attributes = 0;  // records only
  std::string data;

  bool operator==(const PalmEntry&) const = default;
};

struct PalmFile {
  std::string name;  // the name field's bytes before its first NUL
  unsigned attributes = 0;
  unsigned version = 0;
  uint32_t created = 0, modified = 0, backed_up = 0, modification_number = 0;
  uint32_t app_info = 0, sort_info = 0, unique_id_seed = 0, next_list = 0;
  std::string type, creator;  // 4 bytes each
  std::vector<PalmEntry> entries;

  bool resource() const { return attributes & 1; }
};

// Reads bytes as a database: the 78-byte header, the entry list, at most 3
// zero pad bytes up to a 4-byte boundary, and then the entries' data, one
// block after another in list order, each block non-empty and the last one
// ending at the end of the file. Returns what is wrong, or an empty string.
std::string read_palm_file(const std::string& bytes, PalmFile* file);

// The lines scripts/palm-dump.pl --data prints for file, less the two dates.
std::string palm_dump_text(const PalmFile& file);
