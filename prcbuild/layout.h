#pragma once

#include <cstddef>

// Records are kept in host order and turned into the file's big-endian order
// in place, just before they are written. A layout string lists a record's
// fields by width: B = 1 byte, W = 2 bytes, D = 4 bytes, each letter followed
// by an optional decimal count ("B32" is thirty-two bytes).
extern const char kHeaderLayout[];    // DatabaseHeader, 78 bytes
extern const char kResourceLayout[];  // ResourceEntry, 10 bytes
extern const char kRecordLayout[];    // RecordEntry, 8 bytes

// Whether W and D fields are reversed: true when the host is little-endian.
extern bool swap_bytes;

// Converts the W and D fields of record in place (when swap_bytes is set) and
// returns the number of bytes the layout covers.
size_t pack_fields(void* record, const char* layout);
