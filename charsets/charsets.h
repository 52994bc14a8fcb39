// The character sets a Palm font may be in, in one table: the name fontpick
// writes on the generator's command line and the generator reads back, the
// Windows character-set number, the single-byte code page whose bytes
// 0x20..0xFF become the font's characters, the XLFD name of that page, and a
// sample sentence in the set's language.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace charsets {

struct CharsetEntry {
  const char* name;    // nullptr for a set fontpick can only pass as a number
  int code;            // the Windows character-set number
  int code_page;       // 1250..1258, 874, 437, 10000 (Mac Roman); 0 for Symbol
  const char* xlfd;    // registry and encoding joined by '-': "windows-1252"
  const char* sample;  // UTF-8
};

// The named sets, searched in this order, first match winning, names
// compared without regard to ASCII case.
extern const std::span<const CharsetEntry, 13> CharsetTable;

// The first named row equal to token (any ASCII case), or nullptr.
const CharsetEntry* find_charset_entry(const std::string& token);

// The code page an XLFD registry and encoding joined by '-' (any ASCII
// case) names: the table's own names, iso8859-N as 28590 + N, koi8-r as
// 20866 and koi8-u as 21866, Windows' numbers for them. 0 for any other,
// Symbol's among them, whose bytes have no Unicode meaning to look up.
int xlfd_code_page(const std::string& xlfd);

// The table name for code, or its decimal text when no row has it. Returns a
// fresh string rather than a shared static buffer.
std::string charset_name(int code);

struct Charset {
  std::string name;  // as the table spells it, or the number
  int code = 0;
  int code_page = 0;
  bool symbol = false;
  const char* xlfd = "";
  const char* sample = "";
};

// Reads a character-set name (any letter case) or a decimal number. Returns
// "" on success, else the message without the program's name.
std::string find_charset(const std::string& token, Charset* charset);

// A character the Palm's own fonts of a set hold where its code page has
// none: the byte, the character text means by it, and for a blank the
// character whose advance it takes (0 for a glyph drawn as `meaning`).
struct PalmExtra {
  int byte;
  uint32_t meaning;
  uint32_t width_of;
};

// The Palm's Western fonts (code page 1252) hold the tab, the ellipsis the
// system draws where it truncates a label, a blank as wide as a digit and
// three card suits below 0x20 and where the page has nothing; 0x8E stays the
// page's Z caron, which text means there. No other set has any.
std::span<const PalmExtra> palm_extras(const Charset& charset);

// The lowest byte of the set's Palm fonts: 0x09 where the Palm's own
// characters start, else 0x20.
int palm_first_byte(const Charset& charset);

// The set's sample sentence in its own code page, one byte a character;
// characters the page lacks are left out. Empty for Symbol.
std::string sample_bytes(const Charset& charset);

// UTF-8 text in the set's code page, one byte a character, the Palm's own
// characters included: a character the font's bytes can't hold becomes
// byte 0, which no font holds, so it draws as the font's missing symbol; a
// line feed stays a line feed.
std::string code_page_bytes(const Charset& charset, std::string_view utf8);

}  // namespace charsets
