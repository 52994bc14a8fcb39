#include "font_remap.h"

#include "database.h"
#include "fail.h"
#include "prcbuild.h"

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

namespace {

// Case-blind for ASCII letters only, whatever the locale.
bool same_name(const char* a, const char* b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (; *a && *b; ++a, ++b)
    if (lower(static_cast<unsigned char>(*a)) != lower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

}  // namespace

uint16_t lookup_font_id(const char* text) {
  for (const FontId& row : kFontIdTable)
    if (same_name(text, row.name)) return row.id;
  // An empty text names no font either.
  if (!*text) fail("Error in font specification `%s'.\n", text);
  unsigned value = 0;
  for (const char* p = text; *p; ++p) {
    int digit = hex_digit_value(*p);
    if (digit < 0) fail("Error in font specification `%s'.\n", text);
    value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFFFFu;
  }
  return static_cast<uint16_t>(value);
}

int add_font_remap(int argc, char** argv, int at) {
  if (argc - at < 3) fail("Need to specify both fromFont and toFont.\n");
  const char* resource = argv[at + 1];
  unsigned id = resource_id_of(resource, resource);
  uint16_t font = lookup_font_id(argv[at + 2]);
  read_buffer[0] = '@';
  read_buffer[1] = 0;
  read_buffer[2] = static_cast<unsigned char>(font >> 8);
  read_buffer[3] = static_cast<unsigned char>(font);
  add_entry(resource, id, read_buffer, 4);
  return at + 2;
}
