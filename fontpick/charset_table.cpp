#include "charset_table.h"

const CharsetEntry CharsetTable[13] = {
    {"Western", 0},   {"Default", 1},      {"EasternEurope", 238}, {"Greek", 161},
    {"Mac", 77},      {"OEM", 255},        {"Cyrillic", 204},      {"Symbol", 2},
    {"Turkish", 162}, {"Vietnamese", 163}, {"Arabic", 178},        {"Hebrew", 177},
    {"Thai", 222},
};

bool equal_ignoring_ascii_case(const char* a, const std::string& b) {
  // fontpick links nothing of palm/, whose text helpers do the same.
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return a[i] == '\0' && i == b.size();
}

const CharsetEntry* find_charset_entry(const std::string& token) {
  for (const CharsetEntry& entry : CharsetTable)
    if (equal_ignoring_ascii_case(entry.name, token)) return &entry;
  return nullptr;
}

std::string charset_name(int code) {
  for (const CharsetEntry& entry : CharsetTable)
    if (entry.code == code) return entry.name;
  return std::to_string(code);
}
