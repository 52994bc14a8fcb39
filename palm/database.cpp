#include "database.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "layout.h"
#include "output.h"

namespace {


std::string format(const char* format, const char* text) {
  std::string message(strlen(format) + strlen(text), '\0');
  message.resize(static_cast<size_t>(snprintf(message.data(), message.size() + 1, format, text)));
  return message;
}

// Checks that one more entry of size bytes may be added, and returns it with
// its directory record filled.
std::string new_entry(const Database& db, const char* name, unsigned id, size_t size,
                      DatabaseEntry* e) {
  if (size == 0) return "malloc(0) requested.";
  if (db.entries.size() == kMaxEntries) {
    char text[64];
    snprintf(text, sizeof text, "Too many entries: a database holds at most %u.\n",
             static_cast<unsigned>(kMaxEntries));
    return text;
  }
  *e = DatabaseEntry{nullptr, size, nullptr, 0, {}, false, {}, {}};
  if (!db.record_mode) {
    memcpy(e->resource.type, name, sizeof e->resource.type);
    e->resource.id = static_cast<uint16_t>(id);
  }
  return "";
}

// Copies at most n bytes of text and zeroes the rest of the field.
void copy_field(char* field, size_t n, const char* text) {
  size_t len = strnlen(text, n);
  memcpy(field, text, len);
  memset(field + len, 0, n - len);
}

bool write_bytes(OutputFile* out, const void* data, size_t size) {
  return fwrite(data, 1, size, out->stream) == size;
}

// Header, entry list and pad, in file order, with every entry's offset set.
std::string directory_bytes(Database* db, std::vector<unsigned char>* directory) {
  size_t count = db->entries.size();
  size_t entry_size = db->record_mode ? sizeof(RecordEntry) : sizeof(ResourceEntry);
  size_t directory_end = kHeaderSize + count * entry_size;
  size_t pad = data_start(static_cast<uint32_t>(directory_end)) - directory_end;
  directory->assign(directory_end + pad, 0);
  unsigned char* at = directory->data();
  std::string error;

  DatabaseHeader header = db->header;
  header.entry_count = static_cast<uint16_t>(count);
  at += pack_fields(&header, kHeaderLayout, kHostSwapsBytes, &error);
  memcpy(directory->data(), &header, kHeaderSize);

  uint32_t offset = static_cast<uint32_t>(directory_end + pad);
  for (size_t i = 0; i < count && error.empty(); ++i) {
    DatabaseEntry& e = db->entries[i];
    if (db->record_mode) {
      RecordEntry r = e.record;
      r.offset = offset;
      r.unique_id[0] = static_cast<uint8_t>(i >> 16);
      r.unique_id[1] = static_cast<uint8_t>(i >> 8);
      r.unique_id[2] = static_cast<uint8_t>(i);
      size_t n = pack_fields(&r, kRecordLayout, kHostSwapsBytes, &error);
      memcpy(at, &r, n);
      at += n;
    } else {
      ResourceEntry r = e.resource;
      r.offset_high = static_cast<uint16_t>(offset >> 16);
      r.offset_low = static_cast<uint16_t>(offset);
      size_t n = pack_fields(&r, kResourceLayout, kHostSwapsBytes, &error);
      memcpy(at, &r, n);
      at += n;
    }
    offset += static_cast<uint32_t>(e.size);
  }
  return error;
}

}  // namespace

void clear_entries(Database* db) {
  // Newest first: the C library finds a stream to close by walking its list
  // of open streams from the newest, so thousands close in linear time.
  for (size_t i = db->entries.size(); i-- > 0;) {
    free(db->entries[i].block);
    if (db->entries[i].owns_source) fclose(db->entries[i].source);
  }
  db->entries.clear();
}

uint32_t palm_time(time_t unix_seconds) {
  return static_cast<uint32_t>(unix_seconds) + static_cast<uint32_t>(kPalmEpochOffset);
}

void init_header(Database* db, const char* name, const char* type, const char* creator) {
  clear_entries(db);
  DatabaseHeader& header = db->header;
  memset(&header, 0, sizeof header);
  copy_field(header.name, sizeof header.name - 1, name);
  header.attributes = written_attributes(!db->record_mode);
  header.version = kWrittenVersion;
  header.creation_date = header.modification_date = palm_time(time(nullptr));
  copy_field(header.type, sizeof header.type, type);
  copy_field(header.creator, sizeof header.creator, creator);
}

std::string add_entry(Database* db, const char* name, unsigned id, const void* data, size_t size) {
  DatabaseEntry e;
  std::string error = new_entry(*db, name, id, size, &e);
  if (!error.empty()) return error;
  e.block = static_cast<unsigned char*>(malloc(size));
  if (!e.block) {
    char text[64];
    snprintf(text, sizeof text, "Out of memory: %u bytes requested.", static_cast<unsigned>(size));
    return text;
  }
  memcpy(e.block, data, size);
  db->entries.push_back(std::move(e));
  return "";
}

std::string add_file_entry(Database* db, const char* name, unsigned id, FILE* source,
                           uint64_t offset, size_t size, const char* source_name, bool owns) {
  DatabaseEntry e;
  std::string error = new_entry(*db, name, id, size, &e);
  if (!error.empty()) return error;
  e.source = source;
  e.source_offset = offset;
  e.source_name = source_name;
  e.owns_source = owns;
  db->entries.push_back(std::move(e));
  return "";
}

std::string write_database(Database* db, const char* path) {
  std::vector<unsigned char> directory;
  std::string error = directory_bytes(db, &directory);
  if (!error.empty()) return error;

  OutputFile out;
  if (!output_open(&out, path).ok()) return format("Error opening %s.\n", path);
  CopyResult result = write_bytes(&out, directory.data(), directory.size())
                          ? CopyResult::ok
                          : CopyResult::write_error;
  size_t i = 0;
  for (; result == CopyResult::ok && i < db->entries.size(); ++i) {
    const DatabaseEntry& e = db->entries[i];
    if (e.source)
      result = output_copy(out.stream, e.source, e.source_offset, e.size);
    else if (!write_bytes(&out, e.block, e.size))
      result = CopyResult::write_error;
  }
  if (result == CopyResult::read_error) {
    output_discard(&out);
    return format("Error reading %s.\n", db->entries[i - 1].source_name.c_str());
  }
  // The inputs are closed before the output replaces its file, which may be
  // one of them: Windows won't replace a file that is still open.
  clear_entries(db);
  if (result == CopyResult::ok && output_commit(&out).ok()) return "";
  output_discard(&out);
  return format("Error writing %s.\n", path);
}
