// Every character of the written fonts, as our decoder and FontForge read
// them, against FreeType's own rendering of the same character, found on our
// own path: fontconfig's fc-match for the file, iconv for the code page,
// FreeType's monochrome renderer.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "bitmap_font.h"
#include "font_ink.h"
#include "fontforge.h"
#include "glyphsmith.h"
#include "iconv_byte.h"
#include "in_process.h"
#include "run.h"
#include "text.h"

using namespace palm;
using base::format;

namespace {

// What a byte is in the set: its code page's character, or in the Western
// set one of the Palm's own where code page 1252 has none.
uint32_t palm_unicode(const char* page, uint8_t byte) {
  static const std::map<uint8_t, uint32_t> palm = {
      {0x18, 0x2026}, {0x8D, 0x2666}, {0x8F, 0x2665}, {0x90, 0x2660}};
  if (std::string(page) == "CP1252" && palm.count(byte)) return palm.at(byte);
  return iconv_unicode(page, byte);
}

struct FaceCase {
  std::vector<std::string> options;
  const char* charset;
  const char* page;  // iconv's name
  std::vector<std::string> family;
  const char* face;   // the family as installed
  const char* style;  // the face fontconfig should have chosen
  const char* size;
  int pixels[2];                                      // the em square at 72 and 144 dpi
  std::vector<std::pair<uint8_t, uint32_t>> letters;  // byte, the letter it must be
};

TEST(Render, EveryCharacterAsFreeTypeDrawsIt) {
  // clang-format off
  const FaceCase cases[] = {
      {{}, "Western", "CP1252", {"DejaVu", "Sans"}, "DejaVu Sans", "Book", "12", {12, 24},
       {{0x41, 'A'}, {0xE9, 0xE9}, {0x8E, 0x17D}}},
      {{}, "Greek", "CP1253", {"DejaVu", "Sans"}, "DejaVu Sans", "Book", "10.5", {11, 21},
       {{0xC1, 0x391}, {0xF9, 0x3C9}}},
      {{}, "Cyrillic", "CP1251", {"DejaVu", "Serif"}, "DejaVu Serif", "Book", "9", {9, 18},
       {{0xC0, 0x410}, {0xFF, 0x44F}}},
      {{}, "EasternEurope", "CP1250", {"Liberation", "Sans"}, "Liberation Sans", "Regular", "14",
       {14, 28}, {{0x8A, 0x160}, {0xE8, 0x10D}}},
      {{"--bold"}, "Turkish", "CP1254", {"dejavu", "sans"}, "DejaVu Sans", "Bold", "12", {12, 24},
       {{0xF0, 0x11F}}},
      {{"--italic", "--weight", "400"}, "Western", "CP1252", {"Liberation", "Serif"},
       "Liberation Serif", "Italic", "16", {16, 32}, {{0x80, 0x20AC}}},
      // Bitmap strikes, copied: Terminus from fonts-terminus-otb.
      {{}, "Cyrillic", "CP1251", {"Terminus"}, "Terminus", "Medium", "16", {16, 32},
       {{0xC0, 0x410}}},
      {{"--bold"}, "Western", "CP1252", {"terminus"}, "Terminus", "Bold", "12", {12, 24},
       {{0xE9, 0xE9}}},
  };
  // clang-format on
  for (const FaceCase& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.style);
    TempDir dir;
    std::vector<std::string> args{"glyphsmith", "--no-preview"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {c.size, "20", c.charset});
    args.insert(args.end(), c.family.begin(), c.family.end());
    RunResult r = run_in_process(run_glyphsmith, args, RunOptions{dir.path, {}, 120});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = read_file(dir.file("nfnt0080-hd.bin"));
    BitmapFont font;
    ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "");
    ASSERT_EQ(font.images.size(), 2u);

    RunResult match =
        run_command({"fc-match", "-f", "%{file}", std::string(c.face) + ":style=" + c.style});
    ASSERT_EQ(match.status, 0);
    FT_Library library;
    FT_Face face;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, match.out.c_str(), 0, &face), 0) << match.out;
    EXPECT_EQ(std::string(c.face), face->family_name);
    EXPECT_EQ(std::string(c.style), face->style_name);

    FontForgeExport v2 = fontforge_export(bytes);
    FontForgeExport v1 = fontforge_export(read_file(dir.file("NFNT0080.bin")));
    ASSERT_EQ(v2.error, "");
    ASSERT_EQ(v1.error, "");
    ASSERT_EQ(v2.strikes.size(), 2u);
    ASSERT_EQ(v1.strikes.size(), 1u);
    EXPECT_EQ(v1.strikes[0].glyphs, v2.strikes[0].glyphs);

    int drawn = 0;
    std::vector<int> shifts(0x100);
    for (int density : {0, 1}) {
      const FontImage& image = font.images[static_cast<size_t>(density)];
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(c.pixels[density]));
      for (int byte = 0x09; byte <= 0xFF; ++byte) {
        if (byte == 0x09 || byte == 0x19) continue;  // blanks, below
        uint32_t u = palm_unicode(c.page, static_cast<uint8_t>(byte));
        bool expected = u >= 0x20 && !(u >= 0x7F && u < 0xA0) && FT_Get_Char_Index(face, u) != 0;
        EXPECT_EQ(font_has_char(font, byte), expected) << byte;
        EXPECT_EQ(v2.strikes[static_cast<size_t>(density)].glyphs.count(byte), expected ? 1u : 0u)
            << "FontForge's " << byte;
        if (!expected || !font_has_char(font, byte)) continue;
        drawn += density == 0;
        Ink want = freetype_ink(face, u), got = palm_ink(font, image, byte);
        // Ink left of the pen moves right into the cell by whole 72-dpi
        // pixels, the same at both densities.
        int shift = want.empty() || got.empty() ? 0 : got.begin()->first - want.begin()->first;
        if (density == 0) shifts[static_cast<size_t>(byte)] = got.empty() ? -1 : shift;
        if (density == 1 && !got.empty() && shifts[static_cast<size_t>(byte)] >= 0) {
          EXPECT_EQ(shift, 2 * shifts[static_cast<size_t>(byte)]) << byte;
        }
        EXPECT_GE(shift, 0) << byte;
        EXPECT_EQ(shifted(want, shift), got) << "byte " << byte << " at " << image.density;
        const ExportedStrike& strike = v2.strikes[static_cast<size_t>(density)];
        EXPECT_EQ(strike.ascent, font.ascent << density);
        if (!strike.glyphs.count(byte)) continue;
        EXPECT_EQ(strike.glyphs.at(byte).advance,
                  glyph_columns(font, image, byte).advance << density)
            << byte;
        EXPECT_EQ(exported_ink(strike, byte), shifted(want, shift))
            << "FontForge's byte " << byte << " at " << image.density;
      }
    }
    EXPECT_GT(drawn, 150);
    // The Palm's tab and digit-wide blank: no ink, a space's and a digit's advance.
    bool western = std::string(c.page) == "CP1252";
    for (auto [blank, model] : {std::pair{0x09, ' '}, {0x19, '0'}}) {
      EXPECT_EQ(font_has_char(font, blank), western) << blank;
      if (!western) continue;
      for (const FontImage& image : font.images) {
        EXPECT_TRUE(palm_ink(font, image, blank).empty()) << blank;
        EXPECT_EQ(glyph_columns(font, image, blank).advance,
                  glyph_columns(font, image, model).advance) << blank;
      }
    }
    for (auto [byte, letter] : c.letters) EXPECT_EQ(iconv_unicode(c.page, byte), letter);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
}


// A bitmap file in another code page, or in ISO 10646, gives each of the
// set's characters from its glyph for that character. Each glyph here draws
// its own code point as 16 pixels between two marks; the file leaves one
// character out.
struct MeaningCase {
  const char* registry;
  const char* encoding;
  const char* source;  // iconv's name; nullptr: by code point
  const char* charset;
  const char* page;
  uint32_t left_out;
  std::vector<std::pair<uint8_t, uint32_t>> letters;  // byte, character; 0: missing
  const char* err = nullptr;  // the refusal
};

std::string meaning_bdf(const MeaningCase& c,
                        const std::vector<std::pair<long, uint32_t>>& glyphs) {
  std::string bdf = format(
      "STARTFONT 2.1\nFONT -Test-Mean-Medium-R-Normal--3-30-72-72-C-190-%s-%s\nSIZE 3 72 72\n"
      "FONTBOUNDINGBOX 18 1 0 0\nSTARTPROPERTIES 5\nFAMILY_NAME \"Mean\"\nCHARSET_REGISTRY \"%s\"\n"
      "CHARSET_ENCODING \"%s\"\nFONT_ASCENT 3\nFONT_DESCENT 0\nENDPROPERTIES\nCHARS %zu\n",
      c.registry, c.encoding, c.registry, c.encoding, glyphs.size());
  for (auto [code, u] : glyphs)
    bdf += format("STARTCHAR u%04X\nENCODING %ld\nSWIDTH 1000 0\nDWIDTH 19 0\nBBX 18 1 0 0\n"
                  "BITMAP\n%06X\nENDCHAR\n",
                  u, code, (1u << 17 | u << 1 | 1) << 6);
  return bdf + "ENDFONT\n";
}

// The code point a glyph of meaning_bdf's draws; ~0 for other ink.
uint32_t drawn_code(const Ink& ink) {
  if (ink.empty()) return 0;
  int left = ink.begin()->first;
  if (ink.rbegin()->first - left != 17) return ~0u;
  uint32_t u = 0;
  for (auto [x, y] : ink)
    if (x > left && x - left < 17) u |= 1u << (16 - (x - left));
  return u;
}

TEST(Render, BitmapFilesReadByMeaning) {
  // clang-format off
  const MeaningCase cases[] = {
      {"iso8859", "5", "ISO-8859-5", "Cyrillic", "CP1251", 0x416,
       {{0xC0, 0x410}, {0xA8, 0x401}, {0xB9, 0x2116}, {0xC6, 0}}},
      {"KOI8", "R", "KOI8-R", "Cyrillic", "CP1251", 0x44F,
       {{0xE0, 0x430}, {0xA8, 0x401}, {0xFF, 0}}},
      {"koi8", "u", "KOI8-U", "Cyrillic", "CP1251", 0x491,
       {{0xA5, 0x490}, {0xBA, 0x454}, {0xB4, 0}}},
      {"iso8859", "7", "ISO-8859-7", "Greek", "CP1253", 0x3A9,
       {{0xC1, 0x391}, {0xA2, 0x386}, {0xD9, 0}}},
      {"iso8859", "15", "ISO-8859-15", "Western", "CP1252", 0xE9,
       {{0x80, 0x20AC}, {0xA4, 0}, {0xE9, 0}, {0x18, 0}}},
      {"microsoft", "cp1251", "CP1251", "Cyrillic", "CP1251", 0x451, {{0xC0, 0x410}, {0xB8, 0}}},
      {"iso10646", "1", nullptr, "Western", "CP1252", 0x2665,
       {{0x18, 0x2026}, {0x8D, 0x2666}, {0x90, 0x2660}, {0x8F, 0}, {0x80, 0x20AC}}},
      {"iso10646", "1", nullptr, "Cyrillic", "CP1251", 0x401, {{0xC0, 0x410}, {0xA8, 0}}},
      {"misc", "fontspecific", "CP1251", "Cyrillic", "CP1251", 0, {},
       "glyphsmith: font file 'f.bdf' holds the character set misc-fontspecific, not Cyrillic "
       "(windows-1251)\n"},
  };
  // clang-format on
  const uint32_t palm_extras[] = {0x2026, 0x2666, 0x2665, 0x2660};
  for (const MeaningCase& c : cases) {
    SCOPED_TRACE(std::string(c.registry) + "-" + c.encoding + " as " + c.charset);
    std::vector<std::pair<long, uint32_t>> glyphs;
    for (int b = 0x20; b <= 0xFF; ++b) {
      uint32_t u = iconv_unicode(c.source ? c.source : c.page, static_cast<uint8_t>(b));
      if (u != 0 && u != c.left_out) glyphs.push_back({c.source ? b : long{u}, u});
    }
    for (uint32_t u : palm_extras)
      if (!c.source && u != c.left_out) glyphs.push_back({long{u}, u});
    std::set<uint32_t> drawn;
    for (auto [code, u] : glyphs) drawn.insert(u);
    TempDir dir;
    write_file(dir.file("f.bdf"), meaning_bdf(c, glyphs));
    RunResult r = run_in_process(run_glyphsmith,
                                 {"glyphsmith", "--no-preview", "3", "3", c.charset, "f.bdf"},
                                 RunOptions{dir.path, {}, 120});
    if (c.err) {
      EXPECT_EQ(r.err, c.err);
      EXPECT_EQ(r.status, 1);
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = read_file(dir.file("NFNT0080.bin"));
    BitmapFont font;
    ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "");
    auto code_at = [&](int byte) {
      return font_has_char(font, byte) ? drawn_code(palm_ink(font, font.images[0], byte)) : 0;
    };
    // A file in the set's own page is copied byte for byte, DEL too.
    bool by_byte = std::string(c.source ? c.source : "") == c.page;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
      uint32_t u = palm_unicode(c.page, static_cast<uint8_t>(byte));
      bool picture = by_byte || (u >= 0x20 && !(u >= 0x7F && u < 0xA0));
      EXPECT_EQ(code_at(byte), picture && drawn.count(u) ? u : 0) << byte;
    }
    for (auto [byte, u] : c.letters) EXPECT_EQ(code_at(byte), u) << int{byte};
  }
}


// Symbol takes each byte from the face's symbol map. FontForge makes such a
// face from DejaVu Sans in the Adobe Symbol encoding, where 'a' is alpha and
// 'G' Gamma; a fontconfig setup of its own holds only that face, which only a
// process of its own reads: fontconfig loads its setup once a process.
TEST(Render, SymbolSetFromTheFacesSymbolMap) {
  TempDir fonts, out;
  RunResult dejavu = run_command({"fc-match", "-f", "%{file}", "DejaVu Sans:style=Book"});
  ASSERT_EQ(dejavu.status, 0);
  RunResult made = run_command(
      {"fontforge", "-lang=ff", "-c",
       "Open($1); SetFontNames(\"SymbolicTest\", \"Symbolic Test\", \"Symbolic Test\"); "
       "Reencode(\"symbol\"); Generate($2)",
       dejavu.out, fonts.file("symbolic.ttf")},
      RunOptions{fonts.path, {"HOME=" + fonts.path}, 120});
  ASSERT_EQ(made.status, 0) << made.err;
  write_file(fonts.file("fonts.conf"), "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + fonts.path +
                                           "</dir><cachedir>" + fonts.file("cache") +
                                           "</cachedir></fontconfig>\n");
  RunOptions options{out.path, {"FONTCONFIG_FILE=" + fonts.file("fonts.conf")}, 120};

  RunResult r =
      run_command({GLYPHSMITH_PROGRAM, "12", "15.6", "Symbol", "Symbolic", "Tst"}, options);
  EXPECT_EQ(r.err,
            "glyphsmith: no installed font family 'Symbolic Tst' (closest: 'Symbolic Test'; see glyphsmith --list)\n");
  r = run_command({GLYPHSMITH_PROGRAM, "--no-preview", "12", "15.6", "symbol", "Symbolic", "Test"},
                  options);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string bytes = read_file(out.file("nfnt0080-hd.bin"));
  BitmapFont font;
  ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "");

  FT_Library library;
  FT_Face face;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, fonts.file("symbolic.ttf").c_str(), 0, &face), 0);
  for (int density : {0, 1}) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(12 << density));
    const FontImage& image = font.images[static_cast<size_t>(density)];
    for (auto [byte, name] :
         {std::pair{'a', "alpha"}, {'G', "Gamma"}, {'p', "pi"}, {'0', "zero"}}) {
      FT_UInt index = FT_Get_Name_Index(face, name);
      ASSERT_NE(index, 0u) << name;
      Ink want = freetype_ink(face, 0, index), got = palm_ink(font, image, byte);
      ASSERT_FALSE(got.empty()) << name;
      EXPECT_EQ(shifted(want, got.begin()->first - want.begin()->first), got) << name;
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace
