// Palm database bytes laid out field by field, for tests to compare with
// what the programs write or to feed the readers; independent of the
// library's own encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// v as n big-endian bytes.
inline std::string be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
  return s;
}

// Every header field a test may want to set; the rest are 0 and version 1.
struct HeaderFields {
  std::string name = "Test";  // padded with zero bytes to 32, never cut
  uint16_t attributes = 0;
  uint32_t created = 0;
  uint32_t modified = 0;
  uint32_t app_info = 0;
  uint32_t sort_info = 0;
  std::string type_creator = "typecrea";  // 8 bytes
  uint16_t count = 0;
};

inline std::string header_bytes(const HeaderFields& f) {
  std::string h = f.name;
  h.resize(32, '\0');
  h += be(f.attributes, 2) + be(1, 2) + be(f.created, 4) + be(f.modified, 4);
  h += std::string(8, '\0') + be(f.app_info, 4) + be(f.sort_info, 4);
  return h + f.type_creator + std::string(8, '\0') + be(f.count, 2);
}

// The 78 header bytes of a freshly built database, its two clock fields
// zero: the name cut to 31 bytes, type and creator to 4, version 1.
inline std::string header_bytes(const std::string& name, uint16_t attributes,
                                const std::string& type, const std::string& creator,
                                uint16_t count) {
  std::string four_zeros(4, '\0');
  return header_bytes({name.substr(0, 31), attributes, 0, 0, 0, 0,
                       (type + four_zeros).substr(0, 4) + (creator + four_zeros).substr(0, 4),
                       count});
}

inline std::string resource_entry(const std::string& type, uint16_t id, uint32_t offset) {
  return type + be(id, 2) + be(offset, 4);
}

inline std::string record_entry(uint32_t offset, uint8_t attributes, uint32_t unique_id) {
  return be(offset, 4) + static_cast<char>(attributes) + be(unique_id, 3);
}

struct EntryBytes {
  std::string type;  // empty for a record
  unsigned id;
  std::string data;
};

// A whole database as a fresh build writes it, its clock fields zero: the
// entry list, the pad to four bytes, then the data in list order.
inline std::string database_bytes(const std::string& name, bool resources, const std::string& type,
                                  const std::string& creator,
                                  const std::vector<EntryBytes>& list) {
  std::string out =
      header_bytes(name, resources ? 9 : 8, type, creator, static_cast<uint16_t>(list.size()));
  size_t directory = 78 + list.size() * (resources ? 10 : 8);
  uint32_t offset = static_cast<uint32_t>((directory + 3) / 4 * 4);
  std::string data;
  for (size_t i = 0; i < list.size(); ++i) {
    out += resources ? resource_entry(list[i].type, static_cast<uint16_t>(list[i].id), offset)
                     : record_entry(offset, 0, static_cast<uint32_t>(i));
    offset += static_cast<uint32_t>(list[i].data.size());
    data += list[i].data;
  }
  out.resize((out.size() + 3) / 4 * 4, '\0');
  return out + data;
}
