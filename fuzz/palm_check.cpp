#include "palm_check.h"

#include <cstdio>

namespace {

constexpr size_t kHeaderSize = 78;

uint32_t big_endian(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string describe(const char* format, unsigned long a, unsigned long b = 0) {
  char text[160];
  snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::string read_palm_file(const std::string& bytes, PalmFile* file) {
  *file = PalmFile{};
  if (bytes.size() < kHeaderSize) return describe("file of %lu bytes is shorter than a header", bytes.size());

  size_t name_end = bytes.find('\0');
  if (name_end >= 32) return "name field has no NUL";
  for (size_t i = name_end; i < 32; ++i)
    if (bytes[i] != '\0') return describe("name field byte %lu after the NUL is not 0", i);
  file->name = bytes.substr(0, name_end);
  file->attributes = big_endian(bytes, 32, 2);
  file->version = big_endian(bytes, 34, 2);
  file->created = big_endian(bytes, 36, 4);
  file->modified = big_endian(bytes, 40, 4);
  file->backed_up = big_endian(bytes, 44, 4);
  file->modification_number = big_endian(bytes, 48, 4);
  file->app_info = big_endian(bytes, 52, 4);
  file->sort_info = big_endian(bytes, 56, 4);
  file->type = bytes.substr(60, 4);
  file->creator = bytes.substr(64, 4);
  file->unique_id_seed = big_endian(bytes, 68, 4);
  file->next_list = big_endian(bytes, 72, 4);
  size_t count = big_endian(bytes, 76, 2);
  if (file->app_info || file->sort_info) return "application or sort info block present";
  if (file->next_list) return "a second entry list is announced";

  size_t entry_size = file->resource() ? 10 : 8;
  size_t list_end = kHeaderSize + count * entry_size;
  if (list_end > bytes.size())
    return describe("entry list of %lu entries runs past the end of the file (%lu bytes)", count,
                    bytes.size());
  size_t data_start = (list_end + 3) / 4 * 4;
  if (data_start > bytes.size()) return "pad runs past the end of the file";
  for (size_t i = list_end; i < data_start; ++i)
    if (bytes[i] != '\0') return describe("pad byte at %lu is not 0", i);

  size_t expected = data_start;
  for (size_t i = 0; i < count; ++i) {
    size_t at = kHeaderSize + i * entry_size;
    PalmEntry entry;
    size_t offset;
    if (file->resource()) {
      entry.type = bytes.substr(at, 4);
      entry.id = big_endian(bytes, at + 4, 2);
      offset = big_endian(bytes, at + 6, 4);
    } else {
      offset = big_endian(bytes, at, 4);
      entry.attributes = static_cast<unsigned char>(bytes[at + 4]);
      entry.id = big_endian(bytes, at + 5, 3);
    }
    if (offset != expected)
      return describe("entry %lu starts at %lu, not right after the previous one", i, offset);
    size_t end = i + 1 < count ? big_endian(bytes, at + entry_size + (file->resource() ? 6 : 0), 4)
                               : bytes.size();
    if (end <= offset || end > bytes.size())
      return describe("entry %lu has no bytes or ends outside the file (at %lu)", i, end);
    entry.data = bytes.substr(offset, end - offset);
    expected = end;
    file->entries.push_back(std::move(entry));
  }
  if (expected != bytes.size())
    return describe("%lu bytes follow the last entry's data", bytes.size() - expected);
  return "";
}

std::string palm_dump_text(const PalmFile& file) {
  std::string text;
  char line[128];
  auto field = [&](const char* label, const std::string& value) {
    text += label;
    text += value;
    text += '\n';
  };
  field("name:       ", file.name);
  field("kind:       ", file.resource() ? "resource database (.prc)" : "record database (.pdb)");
  std::string flags = file.resource() ? "resource" : "";
  if (file.attributes & 8) flags += flags.empty() ? "backup" : " backup";
  field("attributes: ", flags);
  field("version:    ", std::to_string(file.version));
  field("type:       ", file.type);
  field("creator:    ", file.creator);
  field("entries:    ", std::to_string(file.entries.size()));
  for (size_t i = 0; i < file.entries.size(); ++i) {
    const PalmEntry& e = file.entries[i];
    if (file.resource()) {
      text += "  " + e.type;
      snprintf(line, sizeof line, " %5u (0x%04x) %7zu bytes:", e.id, e.id, e.data.size());
    } else {
      snprintf(line, sizeof line, "  record %zu: uid %u, %zu bytes:", i, e.id, e.data.size());
    }
    text += line;
    for (unsigned char c : e.data) {
      snprintf(line, sizeof line, " %02x", c);
      text += line;
    }
    text += '\n';
  }
  return text;
}
