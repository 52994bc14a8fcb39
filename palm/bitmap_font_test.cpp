#include "bitmap_font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fontforge.h"
#include "run.h"
#include "test_font.h"

using namespace palm;

namespace {

std::string decode(const std::string& bytes, BitmapFont* font) {
  return decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), font);
}

// The header and tables alone, as a listing reads them; `readable` bytes
// from the start can be read, the rest fails.
std::string decode_tables(const std::string& bytes, size_t readable, BitmapFont* font) {
  auto read = [&](uint64_t offset, void* buffer, size_t n) {
    if (offset + n > readable) return false;
    memcpy(buffer, bytes.data() + offset, n);
    return true;
  };
  return decode_font(read, bytes.size(), FontDepth::tables, font);
}

void put16(std::string* bytes, size_t at, uint16_t v) {
  (*bytes)[at] = static_cast<char>(v >> 8);
  (*bytes)[at + 1] = static_cast<char>(v);
}

// Worked out by hand from the pictures in test_font.h.
const char kTinyV1[] =
    "90 00 00 41 00 43 00 04 00 00 ff ff 00 04 00 04 00 0e 00 03 00 01 00 01 00 01 "  // header
    "5f 00 b5 00 f5 00 bf 00 "                                                        // image
    "00 00 00 03 00 03 00 05 00 08 "                                                  // locations
    "00 04 ff ff 00 03 00 04";                                                        // widths
const char kTinyV2[] =
    "92 00 00 41 00 43 00 04 00 00 ff ff 00 04 00 04 00 12 00 03 00 01 00 01 00 01 "
    "00 01 00 02 00 48 00 00 00 3c 00 90 00 00 00 44 "  // version, 2 densities
    "00 00 00 03 00 03 00 05 00 08 "
    "00 04 ff ff 00 03 00 04 "
    "5f 00 b5 00 f5 00 bf 00 "  // 72 dpi
    "31 ff 00 00 4a 21 00 00 86 21 00 00 86 21 00 00 "
    "fe 21 00 00 86 21 00 00 86 21 00 00 85 ff 00 00";  // 144 dpi

TEST(BitmapFont, EncodesTinyFontExactly) {
  EXPECT_EQ(hex(as_string(encode_font(tiny_font(false)))), kTinyV1);
  EXPECT_EQ(hex(as_string(encode_font(tiny_font(true)))), kTinyV2);
}

// Both versions get the same columns; owTLoc counts the 72-dpi image in
// version 1 and the density records in version 2, and must fit 15 bits.
TEST(BitmapFont, LaysOutBothVersionsAlike) {
  for (bool v2 : {false, true}) {
    BitmapFont font;
    font.font_type = v2 ? kFontTypeV2 : kFontTypeV1;
    font.rect_height = 4;
    std::vector<int> densities = v2 ? std::vector<int>{72, 144} : std::vector<int>{72};
    ASSERT_EQ(font_lay_out(&font, 'A', {3, -1, 2, 4}, densities), "");
    EXPECT_EQ(font.first_char, 'A');
    EXPECT_EQ(font.last_char, 'C');
    EXPECT_EQ(font.locations, (std::vector<uint16_t>{0, 3, 3, 5, 9}));
    EXPECT_EQ(font.widths[1].offset, -1);
    EXPECT_EQ(font.widths[3].width, 4);
    EXPECT_EQ(font.row_words, 1);
    EXPECT_EQ(font.ow_t_loc, v2 ? 0x12 : 0x0e);
    ASSERT_EQ(font.images.size(), densities.size());
    EXPECT_EQ(font.images.back().bits, std::vector<uint8_t>(v2 ? 32 : 8));
  }
  BitmapFont tall;
  tall.rect_height = 32760;
  EXPECT_EQ(font_lay_out(&tall, 'A', {16}, {}), "");
  EXPECT_EQ(tall.ow_t_loc, 32767);
  tall.rect_height = 32761;
  EXPECT_EQ(font_lay_out(&tall, 'A', {16}, {}),
            "the characters' image (1 words by 32761 rows) is more than a Palm font can address");
}

void expect_same(const BitmapFont& a, const BitmapFont& b) {
  EXPECT_EQ(as_string(encode_font(a)), as_string(encode_font(b)));
  EXPECT_EQ(a.font_type, b.font_type);
  EXPECT_EQ(a.version, b.version);
  ASSERT_EQ(a.images.size(), b.images.size());
  for (size_t i = 0; i < a.images.size(); ++i) {
    EXPECT_EQ(a.images[i].density, b.images[i].density);
    EXPECT_EQ(a.images[i].rows, b.images[i].rows);
    EXPECT_EQ(a.images[i].row_words, b.images[i].row_words);
    EXPECT_EQ(a.images[i].bits, b.images[i].bits);
  }
  EXPECT_EQ(a.locations, b.locations);
  ASSERT_EQ(a.widths.size(), b.widths.size());
  for (size_t i = 0; i < a.widths.size(); ++i) {
    EXPECT_EQ(a.widths[i].offset, b.widths[i].offset);
    EXPECT_EQ(a.widths[i].width, b.widths[i].width);
  }
}

// Fonts as others may write them: other type flags, densities and counts.
TEST(BitmapFont, RoundTripsFontsOfAnyWriter) {
  struct Case {
    int16_t font_type;
    std::vector<int> densities;  // empty: version 1
  } cases[] = {
      {kFontTypeV1, {}},
      {static_cast<int16_t>(0x9100), {}},
      {static_cast<int16_t>(0x9090), {}},
      {kFontTypeV2, {72, 144}},
      {kFontTypeV2, {72}},
      {kFontTypeV2, {144, 72}},
      {kFontTypeV2, {72, 108, 144, 216, 288}},
      {static_cast<int16_t>(0x9300), {108}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << c.font_type << " densities " << c.densities.size());
    BitmapFont font = tiny_font(false);
    font.font_type = c.font_type;
    if (!c.densities.empty()) {
      font.version = 1;
      font.images.clear();
      for (int d : c.densities) {
        // A recognisable pattern in each image: its density's low byte.
        int rows = (4 * d + 71) / 72, words = (d + 71) / 72;
        font.images.push_back(
            {static_cast<int16_t>(d), words, rows,
             std::vector<uint8_t>(size_t(rows * words * 2), static_cast<uint8_t>(d))});
      }
    }
    font.ow_t_loc = font_ow_t_loc(font);
    std::vector<uint8_t> bytes = encode_font(font);
    BitmapFont back;
    ASSERT_EQ(decode_font(bytes.data(), bytes.size(), &back), "");
    expect_same(back, font);
  }
}

struct Corruption {
  bool v2;
  size_t at;       // byte offset of a UInt16 to replace, or the length to cut to
  uint32_t value;  // replacement; kCut: cut the bytes at `at`
  const char* error;
};
constexpr uint32_t kCut = 0xFFFFFFFF;

TEST(BitmapFont, RefusesCorruptFonts) {
  const Corruption cases[] = {
      {false, 25, kCut, "header shorter than 26 bytes"},
      {false, 0, 0x0000, "not a font (type 0x0000)"},
      {false, 0, 0x8000, "not a font (type 0x8000)"},
      {false, 4, 0x0040, "bad character range 65 to 64"},
      {false, 2, 0xFFFF, "bad character range -1 to 67"},
      {false, 24, 0xFFFF, "negative image size"},
      {false, 14, 0x8000, "negative image size"},
      {false, 24, 0x7FFF, "bit image past the end"},
      {false, 40, kCut, "location table past the end"},
      {false, 16, 0x7FFF, "offset/width table past the end"},
      {false, 16, 0xFFFF, "offset/width table past the end"},
      {false, 51, kCut, "offset/width table past the end"},
      {false, 36, 0x0004, "locations out of order"},
      {false, 42, 0x0011, "glyphs wider than the bit image"},
      {true, 29, kCut, "density records past the end"},
      {true, 28, 0x0000, "no density records"},
      {true, 28, 0xFFFF, "density records past the end"},
      {true, 30, 0x0000, "bad density 0"},
      {true, 36, 0xFF70, "bad density -144"},
      {true, 38, 0xFFFF, "144-dpi image past the end"},
      {true, 99, kCut, "144-dpi image past the end"},
      {true, 36, 0x0120, "288-dpi image past the end"},
      {true, 34, 0x0000, "72-dpi image overlaps the tables"},
      {true, 34, 0x0033, "72-dpi image overlaps the tables"},
      {true, 40, 0x003C, "images overlap"},
      {true, 40, 0x0040, "images overlap"},
      {true, 16, 0x0040, "offset/width table past the end"},
  };
  for (const Corruption& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.v2 ? "v2 " : "v1 ") << c.at << " " << c.error);
    std::string bytes = as_string(encode_font(tiny_font(c.v2)));
    if (c.value == kCut)
      bytes.resize(c.at);
    else
      put16(&bytes, c.at, static_cast<uint16_t>(c.value));
    BitmapFont font = tiny_font(true);
    EXPECT_EQ(decode(bytes, &font), c.error);
    EXPECT_EQ(as_string(encode_font(font)), as_string(encode_font(tiny_font(true))))
        << "a refused font leaves the result alone";
    EXPECT_EQ(decode_tables(bytes, bytes.size(), &font), c.error) << "the listing says the same";
  }
  // The listing's depth reads no image: a version 2 font's end can't be read.
  std::string v2 = as_string(encode_font(tiny_font(true)));
  BitmapFont font;
  EXPECT_EQ(decode_tables(v2, 60, &font), "");
  EXPECT_EQ(font.images.size(), 2u);
  EXPECT_TRUE(font.images[1].bits.empty());
  EXPECT_EQ(decode_tables(v2, 40, &font), "read error");
}

// Records that all point at one image would multiply it: refused before
// anything is copied.
TEST(BitmapFont, RefusesRecordsSharingAnImage) {
  BitmapFont font = tiny_font(true);
  font.images.assign(20000, font.images[0]);
  std::string bytes = as_string(encode_font(font));
  bytes.resize(bytes.size() - 8 * (font.images.size() - 1));
  for (size_t i = 0; i < font.images.size(); ++i) bytes.replace(32 + 6 * i, 4, bytes, 32, 4);
  BitmapFont got;
  EXPECT_EQ(decode(bytes, &got), "images overlap");
}

// No prefix of a font is a font, and no byte changed anywhere reads out of
// bounds (the sanitizer build watches this one).
TEST(BitmapFont, RefusesEveryPrefixAndSurvivesEveryByte) {
  for (bool v2 : {false, true}) {
    const std::string whole = as_string(encode_font(tiny_font(v2)));
    for (size_t n = 0; n < whole.size(); ++n) {
      BitmapFont font;
      EXPECT_NE(decode(whole.substr(0, n), &font), "") << n;
    }
    for (size_t at = 0; at < whole.size(); ++at)
      for (int v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        std::string bytes = whole;
        bytes[at] = static_cast<char>(v);
        BitmapFont font;
        if (decode(bytes, &font) != "") continue;
        for (const FontImage& image : font.images) {
          EXPECT_EQ(image.bits.size(), size_t(image.rows) * image.row_words * 2);
          for (int c = 0; c < 256; ++c) {
            GlyphColumns g = glyph_columns(font, image, c);
            EXPECT_LE(g.x + g.width, image.row_words * 16);
          }
        }
      }
  }
}

TEST(BitmapFont, PlacesGlyphsAtEachDensity) {
  struct Case {
    int image;  // 0: 72 dpi, 1: 144 dpi
    int c;
    GlyphColumns want;
  } cases[] = {
      {0, 'A', {0, 3, false, 4}}, {0, 'B', {5, 3, true, 4}},  {0, 'C', {3, 2, false, 3}},
      {0, ' ', {5, 3, true, 4}},  {0, 0xFF, {5, 3, true, 4}}, {1, 'A', {0, 6, false, 4}},
      {1, 'C', {6, 4, false, 3}}, {1, 'B', {10, 6, true, 4}}, {1, -1, {10, 6, true, 4}},
  };
  const BitmapFont font = tiny_font(true);
  for (const Case& c : cases) {
    GlyphColumns got = glyph_columns(font, font.images[c.image], c.c);
    EXPECT_EQ(got.x, c.want.x) << c.c;
    EXPECT_EQ(got.width, c.want.width) << c.c;
    EXPECT_EQ(got.missing, c.want.missing) << c.c;
    EXPECT_EQ(got.advance, c.want.advance) << c.c;
  }
  // The pictures come back pixel by pixel, and nothing outside them.
  for (int i = 0; i < 2; ++i) {
    const std::vector<std::string>& rows = i == 0 ? kTinyRows72 : kTinyRows144;
    for (int y = -1; y <= int(rows.size()); ++y)
      for (int x = -1; x <= font.images[i].row_words * 16; ++x) {
        bool ink = y >= 0 && y < int(rows.size()) && x >= 0 && x < int(rows[y].size()) &&
                   rows[y][x] == '#';
        EXPECT_EQ(font_pixel(font.images[i], x, y), ink) << i << " " << x << "," << y;
      }
  }
}

// FontForge, reading what we write, finds every glyph as drawn in
// test_font.h at every density: the right image, columns, widths and
// metrics, 'B' absent and the missing symbol as its .notdef.
TEST(BitmapFont, FontForgeReadsEveryGlyphAsMeant) {
  struct Glyph {
    int code;
    int from72, to72;  // columns of the 72-dpi image; doubled at 144 dpi
    int advance72;
  };
  const Glyph glyphs[] = {{'A', 0, 3, 4}, {'C', 3, 5, 3}, {-1, 5, 8, 4}};
  for (bool v2 : {false, true}) {
    SCOPED_TRACE(v2 ? "version 2" : "version 1");
    FontForgeExport got = fontforge_export(as_string(encode_font(tiny_font(v2))));
    ASSERT_EQ(got.error, "");
    ASSERT_EQ(got.strikes.size(), v2 ? 2u : 1u);
    for (int k = 1; k <= int(got.strikes.size()); ++k) {
      const ExportedStrike& strike = got.strikes[size_t(k - 1)];
      const std::vector<std::string>& art = k == 1 ? kTinyRows72 : kTinyRows144;
      EXPECT_EQ(strike.pixel_size, 4 * k);
      EXPECT_EQ(strike.ascent, 3 * k);
      EXPECT_EQ(strike.descent, 1 * k);
      std::map<int, ExportedGlyph> want;
      for (const Glyph& g : glyphs)
        want[g.code] = make_glyph(g.advance72 * k, (g.to72 - g.from72) * k, 4 * k,
                                  [&](int x, int y) { return art[y][g.from72 * k + x] == '#'; });
      for (const auto& [code, glyph] : want)
        EXPECT_EQ(glyph_text(strike.glyphs.count(code) ? strike.glyphs.at(code) : ExportedGlyph{}),
                  glyph_text(glyph))
            << "code " << code << " at " << 72 * k << " dpi";
      EXPECT_EQ(strike.glyphs.size(), want.size());
    }
  }
}

// FontForge finds a version 2 font's offset/width table through owTLoc, as
// Palm OS does: one word off and it no longer reads the font.
TEST(BitmapFont, FontForgeNeedsOwTLocAtTheTable) {
  std::string bytes = as_string(encode_font(tiny_font(true)));
  put16(&bytes, 16, 0x0013);
  EXPECT_EQ(fontforge_export(bytes).error,
            "fontforge exited with 1: Open: Failed to open: font.pdb");
}

}  // namespace
