// The listing of a database: its header, then a line for each entry, with
// what the entry holds when it is something known (a font, a remap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "reader.h"

// Bytes as they can be shown on a terminal: printable ASCII as it is, the
// rest (and the backslash) as \xNN.
std::string printable(const uint8_t* p, size_t n);

inline const uint8_t* bytes_of(const char* p) {
  return reinterpret_cast<const uint8_t*>(p);
}

size_t zero_terminated_length(const uint8_t* p, size_t n);

// Reads a small entry's bytes; empty when it can't.
std::string peek(FILE* file, uint32_t offset, uint32_t size);

// What the listing says about an entry's contents, if anything: a remap
// resource's font, a font's metrics. A font's entry index goes to *fonts, unless
// fonts is null.
std::string entry_detail(FILE* file, const PalmDatabase& db, size_t index,
                         std::vector<size_t>* fonts);

// details holds entry_detail's text for each entry.
void print_listing(FILE* out, const std::string& path, const PalmDatabase& db,
                   const std::vector<std::string>& details);
