// Palm database bytes laid out field by field, for tests to compare with
// what the programs write; independent of the library's own encoder.
#pragma once

#include <cstdint>
#include <string>

// v as n big-endian bytes.
inline std::string be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
  return s;
}

// The 78 header bytes of a freshly built database, its two clock fields
// zero: the name cut to 31 bytes, type and creator to 4, version 1.
inline std::string header_bytes(const std::string& name, uint16_t attributes,
                                const std::string& type, const std::string& creator,
                                uint16_t count) {
  std::string h = name.substr(0, 31);
  h.resize(32, '\0');
  h += be(attributes, 2) + be(1, 2) + std::string(24, '\0');
  h += (type + std::string(4, '\0')).substr(0, 4) + (creator + std::string(4, '\0')).substr(0, 4);
  return h + std::string(8, '\0') + be(count, 2);
}
