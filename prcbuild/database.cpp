#include "database.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fail.h"
#include "layout.h"
#include "output.h"

bool record_mode = false;
DatabaseHeader header;
EntryList entries;

namespace {

constexpr uint16_t kResourceDatabase = 0x0001;
constexpr uint16_t kBackup = 0x0008;
constexpr uint32_t kPalmEpochOffset = 2082844800u;

void free_entries() {
  // Newest first: the C library finds a stream to close by walking its list
  // of open streams from the newest, so thousands close in linear time.
  for (size_t i = entries.count; i-- > 0;) {
    free(entries.blocks[i]);
    if (entries.owns_source[i]) fclose(entries.sources[i]);
  }
  entries.count = 0;
}

// Makes room for one more entry of size bytes and fills its directory record.
size_t append_entry(const char* name, unsigned id, size_t size) {
  if (size == 0) fail("malloc(0) requested.");
  if (entries.count == kMaxEntries)
    fail("Too many entries: a database holds at most %u.\n", static_cast<unsigned>(kMaxEntries));
  size_t i = entries.count;
  entries.blocks[i] = nullptr;
  entries.sizes[i] = size;
  entries.sources[i] = nullptr;
  entries.owns_source[i] = false;
  if (record_mode) {
    entries.records[i] = RecordEntry{};
  } else {
    memcpy(entries.resources[i].type, name, sizeof entries.resources[i].type);
    entries.resources[i].id = static_cast<uint16_t>(id);
  }
  return i;
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

}  // namespace

uint32_t palm_time(time_t unix_seconds) {
  return static_cast<uint32_t>(unix_seconds) + kPalmEpochOffset;
}

void init_header(const char* name, const char* type, const char* creator) {
  free_entries();
  memset(&header, 0, sizeof header);
  copy_field(header.name, sizeof header.name - 1, name);
  header.attributes = record_mode ? kBackup : kResourceDatabase | kBackup;
  header.version = 1;
  header.creation_date = header.modification_date = palm_time(time(nullptr));
  copy_field(header.type, sizeof header.type, type);
  copy_field(header.creator, sizeof header.creator, creator);
}

void add_entry(const char* name, unsigned id, const void* data, size_t size) {
  size_t i = append_entry(name, id, size);
  unsigned char* block = static_cast<unsigned char*>(malloc(size));
  if (!block) fail("Out of memory: %u bytes requested.", static_cast<unsigned>(size));
  memcpy(block, data, size);
  entries.blocks[i] = block;
  entries.count = i + 1;
}

void add_file_entry(const char* name, unsigned id, FILE* source, uint64_t offset, size_t size,
                    const char* source_name, bool owns) {
  size_t i = append_entry(name, id, size);
  entries.sources[i] = source;
  entries.source_offsets[i] = offset;
  entries.source_names[i] = source_name;
  entries.owns_source[i] = owns;
  entries.count = i + 1;
}

void write_database(const char* path) {
  OutputFile out;
  if (!output_open(&out, path)) fail("Error opening %s.\n", path);

  size_t entry_size = record_mode ? sizeof(RecordEntry) : sizeof(ResourceEntry);
  size_t directory_end = 78 + entries.count * entry_size;
  size_t pad = (4 - directory_end % 4) % 4;

  // Header, entry list and pad go out as one piece.
  static unsigned char directory[78 + kMaxEntries * sizeof(ResourceEntry) + 3];
  header.entry_count = static_cast<uint16_t>(entries.count);
  size_t used = pack_fields(&header, kHeaderLayout);
  memcpy(directory, &header, used);

  uint32_t offset = static_cast<uint32_t>(directory_end + pad);
  for (size_t i = 0; i < entries.count; ++i) {
    if (record_mode) {
      RecordEntry& r = entries.records[i];
      r.offset = offset;
      r.unique_id[0] = static_cast<uint8_t>(i >> 16);
      r.unique_id[1] = static_cast<uint8_t>(i >> 8);
      r.unique_id[2] = static_cast<uint8_t>(i);
      size_t n = pack_fields(&r, kRecordLayout);
      memcpy(directory + used, &r, n);
      used += n;
    } else {
      ResourceEntry& r = entries.resources[i];
      r.offset_high = static_cast<uint16_t>(offset >> 16);
      r.offset_low = static_cast<uint16_t>(offset);
      size_t n = pack_fields(&r, kResourceLayout);
      memcpy(directory + used, &r, n);
      used += n;
    }
    offset += static_cast<uint32_t>(entries.sizes[i]);
  }
  memset(directory + used, 0, pad);
  used += pad;

  CopyResult result = write_bytes(&out, directory, used) ? CopyResult::ok : CopyResult::write_error;
  size_t i = 0;
  for (; result == CopyResult::ok && i < entries.count; ++i) {
    if (entries.sources[i])
      result = output_copy(&out, entries.sources[i], entries.source_offsets[i], entries.sizes[i]);
    else if (!write_bytes(&out, entries.blocks[i], entries.sizes[i]))
      result = CopyResult::write_error;
  }
  if (result == CopyResult::ok && !output_commit(&out)) result = CopyResult::write_error;
  if (result != CopyResult::ok) {
    output_discard(&out);
    if (result == CopyResult::read_error) fail("Error reading %s.\n", entries.source_names[i - 1]);
    fail("Error writing %s.\n", path);
  }
  free_entries();
}
