// Font remap resources: four bytes, '@', 0 and a big-endian font ID, that
// tell software using Pagewick font packages to show one font in place of
// another. The Palm font names and the IDs they stand for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FontId {
  const char* name;
  uint16_t id;
};

// Searched in this order, first match winning; several names share an ID.
extern const FontId kFontIdTable[27];

// The font ID for a Palm font name (any ASCII case) or a hexadecimal number
// (low 16 bits kept). Returns "" or the message for a text that is neither.
std::string lookup_font_id(const char* text, uint16_t* id);

// The first name in kFontIdTable for id, or nullptr when none has it.
const char* font_id_name(uint16_t id);

constexpr size_t kFontRemapSize = 4;

// The remap resource's four bytes for a font ID.
void font_remap_bytes(uint16_t id, unsigned char bytes[4]);

// Whether bytes are a remap resource, and the font it names when they are.
bool read_font_remap(const uint8_t* bytes, size_t size, uint16_t* id);
