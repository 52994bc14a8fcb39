// The listing of a database: its header, then a line for each entry, with
// what the entry holds when it is something known (a font, a remap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "check.h"
#include "reader.h"


inline const uint8_t* bytes_of(const char* p) {
  return reinterpret_cast<const uint8_t*>(p);
}

size_t zero_terminated_length(const uint8_t* p, size_t n);

// Reads a small entry's bytes; empty when it can't.
std::string peek(FILE* file, uint32_t offset, uint32_t size);

// What the listing says about an entry's contents, if anything: a remap
// resource's font, a font's metrics. A font's entry index goes to *fonts, unless
// fonts is null.
std::string entry_detail(FILE* file, const palm::PalmDatabase& db, size_t index,
                         std::vector<size_t>* fonts);

// details holds entry_detail's text for each entry. An entry with findings
// is marked with a '!' before its line and the findings its detail doesn't
// tell after it; findings about the whole database follow the entries.
void print_listing(FILE* out, const std::string& path, const palm::PalmDatabase& db,
                   const std::vector<std::string>& details,
                   const std::vector<palm::CheckFinding>& findings);

// --check: a line "path: entry: finding" for each finding, or
// "path: ok, N entries" when there is none.
void print_findings(FILE* out, const std::string& path, const palm::PalmDatabase& db,
                    const std::vector<palm::CheckFinding>& findings);
