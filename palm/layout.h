// Palm database records are kept in host byte order and turned into the
// file's big-endian order in place, just before they are written. A layout
// string lists a record's fields by width: B = 1 byte, W = 2 bytes, D = 4
// bytes, each letter followed by an optional decimal count ("B32" is
// thirty-two bytes).
#pragma once

#include <bit>
#include <cstddef>
#include <string>

extern const char kHeaderLayout[];    // DatabaseHeader, 78 bytes
extern const char kResourceLayout[];  // ResourceEntry, 10 bytes
extern const char kRecordLayout[];    // RecordEntry, 8 bytes

// Whether host order differs from the file's: true on little-endian hosts.
constexpr bool kHostSwapsBytes = std::endian::native == std::endian::little;

// Converts the W and D fields of record in place when swap is set and
// returns the number of bytes the layout covers. A letter other than B, W
// or D stops the walk there and sets *error (the fields before it are
// converted already).
size_t pack_fields(void* record, const char* layout, bool swap, std::string* error);
