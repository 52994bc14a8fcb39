// Character sets as fontpick names them, and the single-byte code page whose
// bytes 0x20..0xFF become a Palm font's characters.
#pragma once

#include <string>

struct CharsetCodePage {
  int code;            // the character-set number
  int code_page;       // 1250..1258, 874, 437, 10000 (Mac Roman); 0 for Symbol
  const char* sample;  // a sentence in the set's language, UTF-8
};

struct Charset {
  std::string name;  // as the table spells it, or the number
  int code = 0;
  int code_page = 0;
  bool symbol = false;
  const char* sample = "";
};

// Reads a character-set name (any letter case) or a decimal number. Returns
// "" on success, else the message without the program's name.
std::string find_charset(const std::string& token, Charset* charset);

// The set's sample sentence in its own code page, one byte a character;
// characters the page lacks are left out. Empty for Symbol.
std::string sample_bytes(const Charset& charset);
