#include "reader.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "layout.h"
#include "text.h"

namespace palm {

using base::format;

namespace {

// Entries as the file lays them out, turned to host order by their layouts.
void read_entry(const uint8_t* p, bool resources, PalmEntry* e) {
  LayoutError unused;
  if (resources) {
    ResourceEntry r;
    memcpy(&r, p, sizeof r);
    pack_fields(&r, kResourceLayout, kHostSwapsBytes, &unused);
    memcpy(e->type, r.type, 4);
    e->id = r.id;
    e->offset = static_cast<uint32_t>(r.offset_high) << 16 | r.offset_low;
  } else {
    RecordEntry r;
    memcpy(&r, p, sizeof r);
    pack_fields(&r, kRecordLayout, kHostSwapsBytes, &unused);
    e->offset = r.offset;
    e->attributes = r.attributes;
    e->unique_id = static_cast<uint32_t>(r.unique_id[0]) << 16 |
                   static_cast<uint32_t>(r.unique_id[1]) << 8 | r.unique_id[2];
  }
}

// Something that starts at an offset: AppInfo, SortInfo or an entry.
struct Start {
  std::string label;
  uint32_t offset;
};

// Everything lies after the entry list and inside the file, in order.
std::string check_starts(const std::vector<Start>& starts, uint64_t directory_end,
                         uint64_t file_size) {
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
  return "";
}

}  // namespace

const char* header_attribute_name(int bit) {
  static const char* const kNames[16] = {"resource",        "read-only",
                                         "appinfo-dirty",   "backup",
                                         "install-newer",   "reset-after-install",
                                         "copy-prevention", "stream",
                                         "hidden",          "launchable-data",
                                         "recyclable",      "bundle",
                                         nullptr,           nullptr,
                                         nullptr,           "open"};
  return bit >= 0 && bit < 16 ? kNames[bit] : nullptr;
}

const char* record_flag_name(int bit) {
  static const char* const kNames[4] = {"secret", "busy", "dirty", "delete"};
  return bit >= 4 && bit < 8 ? kNames[bit - 4] : nullptr;
}

size_t palm_directory_size(const uint8_t* start, size_t size) {
  if (size < kPalmHeaderSize) return kPalmHeaderSize;
  bool resources = read_field<uint16_t>(start + offsetof(DatabaseHeader, attributes)) & kAttrResource;
  return kPalmHeaderSize + read_field<uint16_t>(start + offsetof(DatabaseHeader, entry_count)) *
                               (resources ? kResourceEntrySize : kRecordEntrySize);
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
  DatabaseHeader& h = db->header;
  memcpy(&h, start, kPalmHeaderSize);
  // The writer's own layouts turn file order into host order as well; being
  // fixed, they report no error.
  LayoutError unused;
  pack_fields(&h, kHeaderLayout, kHostSwapsBytes, &unused);
  if (!memchr(h.name, 0, sizeof h.name)) return "database name has no terminating zero byte";
  db->resources = h.attributes & kAttrResource;
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
  // Each part runs up to the next one's start.
  std::string problem = check_starts(starts, directory_end, file_size);
  if (!problem.empty()) return problem;
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

}  // namespace palm
