// The character-set names fontpick writes on the generator's command line and
// the generator reads back: one table for both programs, and the ASCII case
// folding its names are compared with.
#pragma once

#include <string>

struct CharsetEntry {
  const char* name;
  int code;
};

// Searched in this order, first match winning, names compared without regard
// to ASCII case.
extern const CharsetEntry CharsetTable[13];

// Whether two names are equal with ASCII letters folded to lower case,
// whatever the locale.
bool equal_ignoring_ascii_case(const char* a, const std::string& b);

// The first row with a name equal to token (any ASCII case), or nullptr.
const CharsetEntry* find_charset_entry(const std::string& token);

// The table name for code, or its decimal text when no row has it. Returns a
// fresh string rather than a shared static buffer.
std::string charset_name(int code);
