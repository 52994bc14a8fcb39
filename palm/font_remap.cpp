#include "font_remap.h"

#include "text.h"

namespace palm {

using base::equal_ignoring_ascii_case, base::hex_digit_value;

const FontId kFontIdTable[27] = {
    {"hrTinyFont", 0x00},
    {"hrTinyBoldFont", 0x01},
    {"hrSmallFont", 0x02},
    {"hrSmallSymbolFont", 0x03},
    {"hrSmallSymbol11Font", 0x04},
    {"hrSmallSymbol7Font", 0x05},
    {"hrSmallLedFont", 0x06},
    {"hrSmallBoldFont", 0x07},
    {"hrStdFont", 0x08},
    {"hrBoldFont", 0x09},
    {"hrLargeFont", 0x0A},
    {"hrSymbolFont", 0x0B},
    {"hrSymbol11Font", 0x0C},
    {"hrSymbol7Font", 0x0D},
    {"hrLedFont", 0x0E},
    {"hrLargeBoldFont", 0x0F},
    {"stdFont", 0x00},
    {"boldFont", 0x01},
    {"largeFont", 0x02},
    {"symbolFont", 0x03},
    {"symbol11Font", 0x04},
    {"symbol7Font", 0x05},
    {"ledFont", 0x06},
    {"largeBoldFont", 0x07},
    {"stdFixedFont_sony", 0x89},
    {"stdFixedFont_palm", 0x90},
    {"narrowFixedFont", 0x81},
};

bool lookup_font_id(const char* text, uint16_t* id) {
  for (const FontId& row : kFontIdTable)
    if (equal_ignoring_ascii_case(row.name, text)) {
      *id = row.id;
      return true;
    }
  // An empty text names no font either.
  if (!*text) return false;
  unsigned value = 0;
  for (const char* p = text; *p; ++p) {
    int digit = hex_digit_value(*p);
    if (digit < 0) return false;
    value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFFFFu;
  }
  *id = static_cast<uint16_t>(value);
  return true;
}

const char* font_id_name(uint16_t id) {
  for (const FontId& row : kFontIdTable)
    if (row.id == id) return row.name;
  return nullptr;
}

void font_remap_bytes(uint16_t id, unsigned char bytes[4]) {
  bytes[0] = '@';
  bytes[1] = 0;
  bytes[2] = static_cast<unsigned char>(id >> 8);
  bytes[3] = static_cast<unsigned char>(id);
}

bool read_font_remap(const uint8_t* bytes, size_t size, uint16_t* id) {
  if (size != kFontRemapSize || bytes[0] != '@' || bytes[1] != 0) return false;
  *id = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
  return true;
}

bool first_free_font_id(const std::set<uint16_t>& taken, uint16_t* id) {
  for (unsigned candidate = kFirstCustomFontId; candidate <= 0xFFFF; ++candidate) {
    auto value = static_cast<uint16_t>(candidate);
    if (!taken.count(value) && !font_id_name(value)) {
      *id = value;
      return true;
    }
  }
  return false;
}

}  // namespace palm
