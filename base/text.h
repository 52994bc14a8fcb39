// Small text helpers every program shares: ASCII letter case whatever the
// locale, hexadecimal digits, printf-style formatting into a string, and
// words quoted for a POSIX shell.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// printf's argument checks for our own formatters; MinGW's C++ runtime
// formats as GNU's does, which its own macro names.
#if defined(__MINGW_PRINTF_FORMAT)
#define BASE_PRINTF_FORMAT(fmt, first) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, first)))
#else
#define BASE_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#endif

namespace base {

char ascii_lower(char c);
std::string lower_ascii(std::string s);

// Whether a and b are the same but for the case of ASCII letters.
bool equal_ignoring_ascii_case(const char* a, const std::string& b);

// The value of an ASCII hexadecimal digit, or -1 for any other character.
int hex_digit_value(char c);

// A number of 1 to max_digits digits in base 10 or 16 and nothing else: no
// sign, blank or prefix. False for any other text, *value left alone.
bool read_digits(const std::string& text, int base, size_t max_digits, int* value);

// value as `digits` lower-case hexadecimal digits (more when it needs them).
std::string hex_text(unsigned value, int digits);

// Bytes as they can be shown on a terminal: printable ASCII as it is, the
// rest (and the backslash) as \xNN.
std::string printable(const uint8_t* p, size_t n);

// snprintf into a string of the length it needs.
std::string format(const char* fmt, ...) BASE_PRINTF_FORMAT(1, 2);

// One word for a POSIX shell: as it is when it needs no quoting, else in
// single quotes. A newline stands as it is there; other control bytes come
// from printf ("$(printf '\033')"), which every POSIX shell reads alike and
// which keeps them off the terminal.
std::string shell_word(const std::string& word);

}  // namespace base
