#pragma once

#include <cstdint>

// Palm font names and the IDs they stand for, searched in this order.
struct FontId {
  const char* name;
  uint16_t id;
};
extern const FontId kFontIdTable[27];

// The font ID for a Palm font name (any ASCII case) or a hexadecimal number
// (low 16 bits kept); anything else ends the run with the font message.
uint16_t lookup_font_id(const char* text);

// Handles the group "-f rsrcXXXX toFont" whose -f stands at argv[at]: adds one
// 4-byte remap resource and returns the index of the group's last argument.
int add_font_remap(int argc, char** argv, int at);
