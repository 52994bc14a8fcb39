#include "text.h"

#include <cstdarg>
#include <cstring>

namespace base {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower_ascii(std::string s) {
  for (char& c : s) c = ascii_lower(c);
  return s;
}

bool equal_ignoring_ascii_case(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return a[i] == '\0' && i == b.size();
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

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  vsnprintf(text.data(), text.size() + 1, fmt, again);
  va_end(again);
  return text;
}

std::string shell_word(const std::string& word) {
  // Bytes the shell never treats specially inside an argument word; '=' only
  // means an assignment in a command's first word, and bytes from 0x80 up
  // (UTF-8 names) mean nothing to it.
  auto plain = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c >= 0x80 || (c != 0 && strchr("_./:@%+=,-", c));
  };
  bool simple = !word.empty();
  for (unsigned char c : word) simple = simple && plain(c);
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

}  // namespace base
