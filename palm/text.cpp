#include "text.h"

#include <cstring>

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower_ascii(std::string s) {
  for (char& c : s) c = ascii_lower(c);
  return s;
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool read_digits(const std::string& text, int base, size_t max_digits, int* value) {
  if (text.empty() || text.size() > max_digits) return false;
  int v = 0;
  for (char c : text) {
    int digit = hex_digit_value(c);
    if (digit < 0 || digit >= base) return false;
    v = v * base + digit;
  }
  *value = v;
  return true;
}

std::string hex_text(unsigned value, int digits) {
  return format("%0*x", digits, value);
}

std::string shell_word(const std::string& word) {
  auto plain = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           strchr("_./:@%+=,-", c);
  };
  bool simple = !word.empty();
  for (unsigned char c : word) simple = simple && plain(c) && c;
  if (simple) return word;
  std::string s = "'";
  for (unsigned char c : word) {
    if (c == '\'')
      s += "'\\''";
    else if (c == '\n')
      s += static_cast<char>(c);  // as it is between single quotes, in any shell
    else if (c < 0x20 || c == 0x7f)
      s += format("'\"$(printf '\\%03o')\"'", c);
    else
      s += static_cast<char>(c);
  }
  return s + "'";
}

std::string printable(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7f && p[i] != '\\')
      s += static_cast<char>(p[i]);
    else
      s += format("\\x%02x", p[i]);
  }
  return s;
}
