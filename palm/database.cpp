#include "database.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input.h"

namespace palm {

namespace {

DatabaseError failure(DatabaseFailure what, const std::string& path = "", int code = 0) {
  DatabaseError error;
  error.what = what;
  error.file = {code, path};
  return error;
}

// Checks that one more entry of size bytes may be added, and returns it with
// its directory record filled.
DatabaseError new_entry(const Database& db, const char* name, unsigned id, size_t size,
                        DatabaseEntry* e) {
  if (size == 0) return failure(DatabaseFailure::empty_entry);
  if (db.entries.size() == kMaxEntries) return failure(DatabaseFailure::too_many_entries);
  *e = DatabaseEntry{nullptr, size, nullptr, 0, {}, false, {}, {}};
  if (!db.record_mode) {
    memcpy(e->resource.type, name, sizeof e->resource.type);
    e->resource.id = static_cast<uint16_t>(id);
  }
  return {};
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
LayoutError directory_bytes(Database* db, std::vector<unsigned char>* directory) {
  size_t count = db->entries.size();
  size_t entry_size = db->record_mode ? sizeof(RecordEntry) : sizeof(ResourceEntry);
  size_t directory_end = kHeaderSize + count * entry_size;
  size_t pad = data_start(static_cast<uint32_t>(directory_end)) - directory_end;
  directory->assign(directory_end + pad, 0);
  unsigned char* at = directory->data();
  LayoutError error;

  DatabaseHeader header = db->header;
  header.entry_count = static_cast<uint16_t>(count);
  at += pack_fields(&header, kHeaderLayout, kHostSwapsBytes, &error);
  memcpy(directory->data(), &header, kHeaderSize);

  uint32_t offset = static_cast<uint32_t>(directory_end + pad);
  for (size_t i = 0; i < count && error.ok(); ++i) {
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

DatabaseError layout_failure(const LayoutError& layout) {
  if (layout.ok()) return {};
  DatabaseError error = failure(DatabaseFailure::layout);
  error.letter = layout.letter;
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

DatabaseError add_entry(Database* db, const char* name, unsigned id, const void* data, size_t size) {
  DatabaseEntry e;
  DatabaseError error = new_entry(*db, name, id, size, &e);
  if (!error.ok()) return error;
  e.block = static_cast<unsigned char*>(malloc(size));
  if (!e.block) {
    error = failure(DatabaseFailure::out_of_memory, "", ENOMEM);
    error.size = size;
    return error;
  }
  memcpy(e.block, data, size);
  db->entries.push_back(std::move(e));
  return {};
}

DatabaseError add_file_entry(Database* db, const char* name, unsigned id, FILE* source,
                             uint64_t offset, size_t size, const char* source_name, bool owns) {
  DatabaseEntry e;
  DatabaseError error = new_entry(*db, name, id, size, &e);
  if (!error.ok()) return error;
  e.source = source;
  e.source_offset = offset;
  e.source_name = source_name;
  e.owns_source = owns;
  db->entries.push_back(std::move(e));
  return {};
}

DatabaseError write_database(Database* db, const char* path) {
  std::vector<unsigned char> directory;
  DatabaseError laid_out = layout_failure(directory_bytes(db, &directory));
  if (!laid_out.ok()) return laid_out;

  OutputFile out;
  FileError opened = output_open(&out, path);
  if (!opened.ok()) return failure(DatabaseFailure::open_output, path, opened.code);
  errno = 0;
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
  int code = errno ? errno : EIO;
  if (result == CopyResult::read_error) {
    output_discard(&out);
    return failure(DatabaseFailure::read_input, db->entries[i - 1].source_name, code);
  }
  // The inputs are closed before the output replaces its file, which may be
  // one of them: Windows won't replace a file that is still open.
  clear_entries(db);
  FileError committed = result == CopyResult::ok ? output_commit(&out) : FileError{code, path};
  if (committed.ok()) return {};
  output_discard(&out);
  return failure(DatabaseFailure::write_output, path, committed.code);
}

DatabaseError database_image(Database* db, std::vector<uint8_t>* image) {
  std::vector<unsigned char> directory;
  DatabaseError error = layout_failure(directory_bytes(db, &directory));
  if (!error.ok()) return error;
  image->assign(directory.begin(), directory.end());
  for (const DatabaseEntry& e : db->entries) {
    size_t at = image->size();
    image->resize(at + e.size);
    errno = 0;
    if (e.block)
      memcpy(image->data() + at, e.block, e.size);
    else if (!read_at(e.source, e.source_offset, image->data() + at, e.size))
      return failure(DatabaseFailure::read_input, e.source_name, errno ? errno : EIO);
  }
  clear_entries(db);
  return {};
}

}  // namespace palm
