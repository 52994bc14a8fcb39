// A Palm OS database being built: its header, the entries waiting to be
// written, and the writer that lays header, entry list, pad and data out in
// one file. Errors come back as values for the caller to word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "layout.h"
#include "output.h"

namespace palm {

// The database image in host byte order. Field order and widths follow the
// file exactly, so each record can be converted in place by pack_fields and
// written as it stands.
struct DatabaseHeader {
  char name[32];
  uint16_t attributes;
  uint16_t version;
  uint32_t creation_date;
  uint32_t modification_date;
  uint32_t last_backup_date;
  uint32_t modification_number;
  uint32_t app_info_offset;
  uint32_t sort_info_offset;
  char type[4];
  char creator[4];
  uint32_t unique_id_seed;
  uint32_t next_record_list;
  uint16_t entry_count;
};

struct ResourceEntry {
  char type[4];
  uint16_t id;
  // Two halves, high first, so that the 32-bit offset lands big-endian
  // without the record needing 4-byte alignment.
  uint16_t offset_high;
  uint16_t offset_low;
};

struct RecordEntry {
  uint32_t offset;
  uint8_t attributes;
  uint8_t unique_id[3];  // big-endian position in the list
};

static_assert(sizeof(ResourceEntry) == 10);
static_assert(sizeof(RecordEntry) == 8);

constexpr size_t kHeaderSize = 78;

// A database holds at most this many entries; add_entry refuses more.
constexpr size_t kMaxEntries = 6552;

// The largest resource or record a Palm holds: a memory chunk is under 64 KiB.
constexpr size_t kMaxEntrySize = 65505;

// The builder reads an input file in pieces of at most this many bytes
// (decimal, not 128 KiB): without splitting, a longer file is cut there. Its
// readers name the limit too, to say what a rebuild keeps.
constexpr size_t kFileReadSize = 130000;

// Header attribute bits: a resource database, and one to back up. Those two
// are the only ones the writer sets.
constexpr uint16_t kAttrResource = 0x0001;
constexpr uint16_t kAttrBackup = 0x0008;

// The header attributes the writer gives a resource or a record database.
constexpr uint16_t written_attributes(bool resources) {
  return resources ? kAttrResource | kAttrBackup : kAttrBackup;
}

// The header version the writer gives every database.
constexpr uint16_t kWrittenVersion = 1;

// Where the writer puts the first byte of data: the end of the entry list
// padded with zeros to a multiple of 4.
constexpr uint32_t data_start(uint32_t directory_end) {
  return (directory_end + 3) / 4 * 4;
}

// Seconds from 1904-01-01 (the Palm epoch) to 1970-01-01.
constexpr int64_t kPalmEpochOffset = 2082844800;

// One entry waiting to be written. Its bytes are either a heap block of its
// own or a stretch of an input file held open until the database is written.
struct DatabaseEntry {
  unsigned char* block;
  size_t size;
  FILE* source;
  uint64_t source_offset;
  std::string source_name;  // named in the error when a read fails
  bool owns_source;         // a file split in two is closed once
  ResourceEntry resource;
  RecordEntry record;
};

// What stopped a database from being built or written.
enum class DatabaseFailure {
  none,
  empty_entry,       // an entry of no bytes
  too_many_entries,  // past kMaxEntries
  out_of_memory,     // no block for an entry's bytes
  layout,            // a record layout letter that names no width
  open_output,       // the output file can't be made
  read_input,        // an input held open can't be read to its end
  write_output,      // the output can't be written or put in place
};

struct DatabaseError {
  DatabaseFailure what = DatabaseFailure::none;
  FileError file;      // the file concerned, and the system's reason when it has one
  size_t size = 0;     // out_of_memory: the bytes asked for
  char letter = '\0';  // layout: the letter
  bool ok() const { return what == DatabaseFailure::none; }
};

struct Database;
// Frees every block and closes every file the list owns.
void clear_entries(Database* db);

struct Database {
  bool record_mode = false;  // a record database (.pdb) instead of resources (.prc)
  DatabaseHeader header{};
  std::vector<DatabaseEntry> entries;  // in the order they were added

  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database() { clear_entries(this); }
};

// Seconds since 1904-01-01, the Palm epoch, in 32-bit unsigned arithmetic.
uint32_t palm_time(time_t unix_seconds);

// Empties the entry list and fills the header from the clock; db->record_mode
// must be set already.
void init_header(Database* db, const char* name, const char* type, const char* creator);

// Appends a copy of size bytes at data. In resource mode the type is the first
// four bytes at name and the ID the low 16 bits of id; both are ignored for
// records.
DatabaseError add_entry(Database* db, const char* name, unsigned id, const void* data, size_t size);

// Appends size bytes of the open file source from offset on, which stay in
// the file until the database is written: big inputs are never held in
// memory. With owns set the list closes the file when it is emptied (on
// success only: a refused file is still the caller's). The name is for the
// error should the read fail then.
DatabaseError add_file_entry(Database* db, const char* name, unsigned id, FILE* source,
                             uint64_t offset, size_t size, const char* source_name, bool owns);

// Writes the database to path, replacing any file there only once the whole
// database is written, so path may be one of the inputs. On failure every
// existing file is as it was. The list is emptied unless an input could not
// be read.
DatabaseError write_database(Database* db, const char* path);

// The bytes write_database would write, for a caller that writes several
// files as one group. The list is emptied unless an input could not be read.
DatabaseError database_image(Database* db, std::vector<uint8_t>* image);

}  // namespace palm
