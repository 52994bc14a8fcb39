// Font remap resources: four bytes, '@', 0 and a big-endian font ID, that
// tell software using Pagewick font packages to show one font in place of
// another. The Palm font names and the IDs they stand for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace palm {

// The resource type of remap packages' entries (-f Rmap0000 stdFont).
constexpr char kFontRemapType[] = "Rmap";

struct FontId {
  const char* name;
  uint16_t id;
};

// Searched in this order, first match winning; several names share an ID.
extern const FontId kFontIdTable[27];

// The font ID for a Palm font name (any ASCII case) or a hexadecimal number
// (low 16 bits kept). False, *id left alone, for a text that is neither.
bool lookup_font_id(const char* text, uint16_t* id);

// The first name in kFontIdTable for id, or nullptr when none has it.
const char* font_id_name(uint16_t id);

constexpr size_t kFontRemapSize = 4;

// The remap resource's four bytes for a font ID.
void font_remap_bytes(uint16_t id, unsigned char bytes[4]);

// IDs from here up are left to applications' own fonts; below are the Palm's.
constexpr uint16_t kFirstCustomFontId = 0x0080;

// The ID a new font gets when none is asked for: the first from
// kFirstCustomFontId up that `taken` doesn't hold and that no name of
// kFontIdTable stands for, as a remap to such an ID reads as that Palm font
// (0x0081 is narrowFixedFont). False when every one is used.
bool first_free_font_id(const std::set<uint16_t>& taken, uint16_t* id);

// Whether bytes are a remap resource, and the font it names when they are.
bool read_font_remap(const uint8_t* bytes, size_t size, uint16_t* id);

}  // namespace palm
