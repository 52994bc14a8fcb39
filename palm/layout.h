// Palm database records are kept in host byte order and turned into the
// file's big-endian order in place, just before they are written. A layout
// string lists a record's fields by width: B = 1 byte, W = 2 bytes, D = 4
// bytes, each letter followed by an optional decimal count ("B32" is
// thirty-two bytes).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace palm {

extern const char kHeaderLayout[];    // DatabaseHeader, 78 bytes
extern const char kResourceLayout[];  // ResourceEntry, 10 bytes
extern const char kRecordLayout[];    // RecordEntry, 8 bytes

// Whether host order differs from the file's: true on little-endian hosts.
constexpr bool kHostSwapsBytes = std::endian::native == std::endian::little;

// A letter of a layout string that names no field width.
struct LayoutError {
  char letter = '\0';  // '\0' when every letter was B, W or D
  bool ok() const { return letter == '\0'; }
};

// Converts the W and D fields of record in place when swap is set and
// returns the number of bytes the layout covers. A letter other than B, W
// or D stops the walk there and sets *error (the fields before it are
// converted already).
size_t pack_fields(void* record, const char* layout, bool swap, LayoutError* error);

// One 16- or 32-bit field alone, through the same conversion as a record's
// (a single W or D), for data that is no fixed record: font tables, resource
// contents.
template <typename T>
T read_field(const uint8_t* bytes) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4);
  T value;
  memcpy(&value, bytes, sizeof value);
  LayoutError unused;  // the layout is fixed: no error
  pack_fields(&value, sizeof(T) == 2 ? "W" : "D", kHostSwapsBytes, &unused);
  return value;
}

template <typename T>
void append_field(std::vector<uint8_t>* out, T value) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4);
  LayoutError unused;
  pack_fields(&value, sizeof(T) == 2 ? "W" : "D", kHostSwapsBytes, &unused);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
  out->insert(out->end(), bytes, bytes + sizeof value);
}

}  // namespace palm
