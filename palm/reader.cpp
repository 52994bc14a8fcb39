#include "reader.h"

#include <cstdio>
#include <cstring>

namespace {

// The header as the file lays it out ("B32WWD6B8DDW"): byte offsets of the
// fields after the 32-byte name.
enum HeaderField : size_t {
  kAttributes = 32,
  kVersion = 34,
  kCreationDate = 36,
  kModificationDate = 40,
  kBackupDate = 44,
  kModificationNumber = 48,
  kAppInfo = 52,
  kSortInfo = 56,
  kType = 60,
  kCreator = 64,
  kUniqueIdSeed = 68,
  kNextRecordList = 72,
  kEntryCount = 76,
};

// Resource entries are "B4WD" (type, ID, offset); record entries "DB4"
// (offset, attributes, 24-bit unique ID).
void read_entry(const uint8_t* p, bool resources, PalmEntry* e) {
  if (resources) {
    memcpy(e->type, p, 4);
    e->id = palm_u16(p + 4);
    e->offset = palm_u32(p + 6);
  } else {
    e->offset = palm_u32(p);
    e->attributes = p[4];
    e->unique_id = static_cast<uint32_t>(p[5]) << 16 | static_cast<uint32_t>(p[6]) << 8 | p[7];
  }
}

std::string format(const char* fmt, auto... args) {
  char text[200];
  snprintf(text, sizeof text, fmt, args...);
  return text;
}

// Something that starts at an offset: AppInfo, SortInfo or an entry.
struct Start {
  std::string label;
  uint32_t offset;
};

}  // namespace

size_t palm_directory_size(const uint8_t* start, size_t size) {
  if (size < kPalmHeaderSize) return kPalmHeaderSize;
  bool resources = palm_u16(start + kAttributes) & kPalmAttrResource;
  return kPalmHeaderSize +
         palm_u16(start + kEntryCount) * (resources ? kResourceEntrySize : kRecordEntrySize);
}

std::string read_database(const uint8_t* start, size_t size, uint64_t file_size, PalmDatabase* db) {
  *db = PalmDatabase();
  if (file_size < kPalmHeaderSize)
    return format("file of %llu bytes is shorter than the 78-byte header",
                  static_cast<unsigned long long>(file_size));
  if (file_size > UINT32_MAX)
    return format("file of %llu bytes is larger than a database can be (4 GiB)",
                  static_cast<unsigned long long>(file_size));
  if (size < kPalmHeaderSize) return "the header was not given";
  PalmHeader& h = db->header;
  memcpy(h.name, start, sizeof h.name);
  if (!memchr(h.name, 0, sizeof h.name)) return "database name has no terminating zero byte";
  h.attributes = palm_u16(start + kAttributes);
  h.version = palm_u16(start + kVersion);
  h.creation_date = palm_u32(start + kCreationDate);
  h.modification_date = palm_u32(start + kModificationDate);
  h.backup_date = palm_u32(start + kBackupDate);
  h.modification_number = palm_u32(start + kModificationNumber);
  h.app_info_offset = palm_u32(start + kAppInfo);
  h.sort_info_offset = palm_u32(start + kSortInfo);
  memcpy(h.type, start + kType, 4);
  memcpy(h.creator, start + kCreator, 4);
  h.unique_id_seed = palm_u32(start + kUniqueIdSeed);
  h.next_record_list = palm_u32(start + kNextRecordList);
  h.entry_count = palm_u16(start + kEntryCount);
  db->resources = h.attributes & kPalmAttrResource;
  db->file_size = file_size;

  // The count is 16 bits, so the list is at most 655 350 bytes; it is
  // checked against the file before any room is made for it.
  size_t entry_size = db->resources ? kResourceEntrySize : kRecordEntrySize;
  uint64_t directory_end = kPalmHeaderSize + uint64_t{h.entry_count} * entry_size;
  if (directory_end > file_size)
    return format("list of %u entries ends at byte %llu, past the end of the file (%llu bytes)",
                  h.entry_count, static_cast<unsigned long long>(directory_end),
                  static_cast<unsigned long long>(file_size));
  if (size < directory_end) return "the entry list was not given";
  db->directory_end = static_cast<uint32_t>(directory_end);

  std::vector<Start> starts;
  if (h.app_info_offset) starts.push_back({"AppInfo", h.app_info_offset});
  if (h.sort_info_offset) starts.push_back({"SortInfo", h.sort_info_offset});
  db->entries.resize(h.entry_count);
  for (size_t i = 0; i < h.entry_count; ++i) {
    read_entry(start + kPalmHeaderSize + i * entry_size, db->resources, &db->entries[i]);
    starts.push_back({format("entry %zu", i), db->entries[i].offset});
  }
  // Everything lies after the entry list and inside the file, in order; each
  // part runs up to the next one's start.
  for (size_t i = 0; i < starts.size(); ++i) {
    const Start& s = starts[i];
    if (s.offset < directory_end)
      return format("%s offset %u lies inside the header and entry list, which end at byte %llu",
                    s.label.c_str(), s.offset, static_cast<unsigned long long>(directory_end));
    if (s.offset > file_size)
      return format("%s offset %u is past the end of the file (%llu bytes)", s.label.c_str(),
                    s.offset, static_cast<unsigned long long>(file_size));
    if (i > 0 && s.offset < starts[i - 1].offset)
      return format("%s offset %u comes before %s offset %u", s.label.c_str(), s.offset,
                    starts[i - 1].label.c_str(), starts[i - 1].offset);
  }
  auto end_of = [&](size_t i) {
    return i + 1 < starts.size() ? starts[i + 1].offset : static_cast<uint32_t>(file_size);
  };
  size_t next = 0;
  if (h.app_info_offset) {
    db->app_info = {h.app_info_offset, end_of(next) - h.app_info_offset};
    ++next;
  }
  if (h.sort_info_offset) {
    db->sort_info = {h.sort_info_offset, end_of(next) - h.sort_info_offset};
    ++next;
  }
  for (PalmEntry& e : db->entries) e.size = end_of(next++) - e.offset;
  return "";
}
