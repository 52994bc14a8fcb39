// Entry file names: a resource's file is named after its four bytes of type
// and its ID in four hexadecimal digits (tAIN03e8.bin is type tAIN, ID
// 0x03e8), which is how prcbuild takes type and ID back from the name; a
// record's file after its place in the database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace palm {

// The ID a resource file name gives: the text of at most four characters
// after the four of the type, read as "%x" reads it (leading white space, a
// sign and a 0x prefix allowed), low 16 bits kept. The type is the name's
// first four bytes. False when the name is shorter than four characters or
// its ID text holds no hexadecimal digit.
bool entry_name_id(const char* name, unsigned* id);

// A resource's file name without extension: the type, then the ID in four
// lower-case digits. Bytes that can't stand in a file name on every system,
// or that prcbuild would read differently ('/', '\', ':', NUL), become %XX,
// as does '%' itself, so the name can be turned back into the type;
// *escaped tells whether any did.
std::string resource_file_base(const uint8_t type[4], uint16_t id, bool* escaped);

// A record's file name without extension: "record" and its index with as
// many digits as the last of `count` needs, at least four, so that the names'
// sorted order is the records' order.
std::string record_file_base(size_t index, size_t count);

}  // namespace palm
