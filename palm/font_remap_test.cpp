#include "font_remap.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "run.h"

using namespace palm;

namespace {

// The ID for text, which must be accepted.
uint16_t font_id(const char* text) {
  uint16_t id = 0xDEAD;
  EXPECT_TRUE(lookup_font_id(text, &id)) << text;
  return id;
}

std::string swap_case(std::string s) {
  for (char& c : s) c = islower(static_cast<unsigned char>(c)) ? toupper(c) : tolower(c);
  return s;
}

TEST(FontRemap, EveryNameInEitherCase) {
  // Names that share an ID must still resolve to it, so each row is checked
  // by name, in its own case, upside-down case, all upper and all lower.
  struct Row {
    const char* name;
    uint16_t id;
  } rows[] = {
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
  ASSERT_EQ(std::size(rows), std::size(kFontIdTable));
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_STREQ(rows[i].name, kFontIdTable[i].name) << "row " << i + 1 << " out of order";
    std::string name = rows[i].name;
    std::string upper = name, lower = name;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const std::string& spelling : {name, swap_case(name), upper, lower})
      EXPECT_EQ(rows[i].id, font_id(spelling.c_str())) << spelling;
  }
}

TEST(FontRemap, HexadecimalIds) {
  struct Case {
    const char* text;
    uint16_t id;
  } cases[] = {
      {"0", 0x0000},
      {"1a2", 0x01A2},
      {"1A2", 0x01A2},
      {"ffff", 0xFFFF},
      {"12345", 0x2345},
      {"00000000000000000000001", 0x0001},
      {"fffffffffffffffffffff0", 0xFFF0},
      {"beef", 0xBEEF},
      // Looks like a name but is plain hexadecimal.
      {"bad", 0x0BAD},
  };
  for (const Case& c : cases) EXPECT_EQ(c.id, font_id(c.text)) << c.text;
}

TEST(FontRemap, RefusedFonts) {
  for (const char* text : {"0x12", "bold", "", " 12", "12 ", "-1", "+1", "stdFont ", "g"}) {
    uint16_t id = 0x1234;
    EXPECT_FALSE(lookup_font_id(text, &id)) << text;
    EXPECT_EQ(0x1234, id) << text;
  }
}

TEST(FontRemap, NamesOfIds) {
  struct Case {
    uint16_t id;
    const char* name;  // the first row with the ID
  } cases[] = {
      {0x00, "hrTinyFont"},        {0x07, "hrSmallBoldFont"}, {0x08, "hrStdFont"},
      {0x0F, "hrLargeBoldFont"},   {0x81, "narrowFixedFont"}, {0x89, "stdFixedFont_sony"},
      {0x90, "stdFixedFont_palm"}, {0x10, nullptr},           {0x0100, nullptr},
  };
  for (const Case& c : cases) {
    const char* name = font_id_name(c.id);
    EXPECT_STREQ(c.name, name) << c.id;
  }
}

// New fonts step over the IDs the table names, whatever is taken.
TEST(FontRemap, FirstFreeIdSkipsNamedFonts) {
  std::set<uint16_t> all;
  for (unsigned v = 0x80; v <= 0xFFFF; ++v) all.insert(static_cast<uint16_t>(v));
  std::set<uint16_t> all_but_last = all;
  all_but_last.erase(0xFFFF);
  std::set<uint16_t> all_but_named = all;
  for (uint16_t named : {0x81, 0x89, 0x90}) all_but_named.erase(named);
  struct Case {
    std::set<uint16_t> taken;
    bool found;
    uint16_t id;
  } cases[] = {
      {{}, true, 0x80},
      {{0x80}, true, 0x82},
      {{0x7F, 0x80, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}, true, 0x8A},
      {{0x80, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F},
       true,
       0x91},
      {all_but_last, true, 0xFFFF},
      {all_but_named, false, 0xDEAD},
      {all, false, 0xDEAD},
  };
  for (const Case& c : cases) {
    uint16_t id = 0xDEAD;
    EXPECT_EQ(c.found, first_free_font_id(c.taken, &id)) << c.taken.size();
    EXPECT_EQ(c.id, id) << c.taken.size();
  }
}

TEST(FontRemap, ResourceBytes) {
  unsigned char bytes[4];
  font_remap_bytes(0x01A2, bytes);
  EXPECT_EQ("40 00 01 a2", hex(std::string(reinterpret_cast<char*>(bytes), 4)));
}

}  // namespace
