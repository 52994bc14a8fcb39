// Every character of the written fonts, as our decoder and FontForge read
// them, against FreeType's own rendering of the same character, found on our
// own path: fontconfig's fc-match for the file, iconv for the code page,
// FreeType's monochrome renderer.
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <sstream>

#include <set>
#include <utility>

#include "bitmap_font.h"
#include "fontforge.h"
#include "iconv_byte.h"
#include "run.h"
#include "test_font.h"

namespace {

using Ink = std::set<std::pair<int, int>>;  // (x right of the pen, y above the baseline)

// A character by its code in the face's selected map, or a glyph by its index.
Ink freetype_ink(FT_Face face, uint32_t unicode, FT_UInt index = 0) {
  Ink ink;
  if (index == 0) index = FT_Get_Char_Index(face, unicode);
  EXPECT_EQ(FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
  const FT_GlyphSlot s = face->glyph;
  for (unsigned y = 0; y < s->bitmap.rows; ++y)
    for (unsigned x = 0; x < s->bitmap.width; ++x)
      if (s->bitmap.buffer[y * s->bitmap.pitch + x / 8] & (0x80 >> (x % 8)))
        ink.insert({s->bitmap_left + static_cast<int>(x), s->bitmap_top - static_cast<int>(y)});
  return ink;
}

// The character's cell in a decoded image, as ink relative to the cell's left
// edge and the baseline.
Ink palm_ink(const BitmapFont& font, const FontImage& image, int c) {
  Ink ink;
  GlyphColumns cols = glyph_columns(font, image, c);
  int scale = image.density / 72;
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < cols.width; ++x)
      if (font_pixel(image, cols.x + x, y)) ink.insert({x, font.ascent * scale - y});
  return ink;
}

Ink exported_ink(const ExportedStrike& strike, int c) {
  Ink ink;
  auto found = strike.glyphs.find(c);
  if (found == strike.glyphs.end()) return ink;
  for (size_t y = 0; y < found->second.rows.size(); ++y)
    for (size_t x = 0; x < found->second.rows[y].size(); ++x)
      if (found->second.rows[y][x] == '#')
        ink.insert({static_cast<int>(x), strike.ascent - static_cast<int>(y)});
  return ink;
}

Ink shifted(const Ink& ink, int dx) {
  Ink out;
  for (auto [x, y] : ink) out.insert({x + dx, y});
  return out;
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
       {{0x41, 'A'}, {0xE9, 0xE9}}},
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
    std::vector<std::string> args{GLYPHSMITH_PROGRAM, "--no-preview"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {c.size, "20", c.charset});
    args.insert(args.end(), c.family.begin(), c.family.end());
    RunResult r = run_command(args, RunOptions{dir.path, {}, 120});
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
      for (int byte = 0x20; byte <= 0xFF; ++byte) {
        uint32_t u = iconv_unicode(c.page, static_cast<uint8_t>(byte));
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
    for (auto [byte, letter] : c.letters) EXPECT_EQ(iconv_unicode(c.page, byte), letter);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
}

// The BDF files prcdump writes: bdftopcf takes them, FreeType reads every
// glyph as the font draws it, FontForge opens them, and glyphsmith builds
// the same bytes from them, or from them as gzipped PCF; an edited pixel
// changes that pixel alone.
struct RoundTrip {
  std::vector<std::string> args;  // glyphsmith's, after --id and -o
  const char* charset;            // for prcdump --charset
  bool fontforge_keeps_bytes = true;  // FontForge knows the charset's name
};

std::vector<std::string> words_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// A string property's value, without its quotes.
std::string read_property(const std::string& path, const std::string& name) {
  std::string bdf = read_file(path);
  size_t at = bdf.find("\n" + name + " \"");
  if (at == std::string::npos) return "";
  at += name.size() + 3;
  return bdf.substr(at, bdf.find('"', at) - at);
}

// Runs a command line glyphsmith printed by prcdump, into `folder`.
RunResult rebuild(const std::string& cwd, std::vector<std::string> line, const std::string& folder) {
  line[0] = GLYPHSMITH_PROGRAM;
  line.insert(line.begin() + 1, {"--no-preview", "-o", folder});
  return run_command(line, RunOptions{cwd, {}, 120});
}

// Every glyph of a BDF as FreeType loads it against the font's own image.
void expect_freetype_reads(const std::string& path, const BitmapFont& font, size_t image) {
  FT_Library library;
  FT_Face face;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0) << path;
  ASSERT_EQ(FT_Select_Size(face, 0), 0);
  // The file's only map, by byte; FreeType picks Unicode ones alone.
  ASSERT_EQ(face->num_charmaps, 1);
  ASSERT_EQ(FT_Set_Charmap(face, face->charmaps[0]), 0);
  const FontImage& im = font.images[image];
  int scale = im.density / 72;
  for (int c = 0; c <= 256; ++c) {
    bool has = c == 256 || font_has_char(font, c);
    FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
    EXPECT_EQ(index != 0, has) << path << " " << c;
    if (!has || index == 0) continue;
    Ink want = palm_ink(font, im, c == 256 ? -1 : c);
    EXPECT_EQ(freetype_ink(face, 0, index), want) << path << " " << c;
    EXPECT_EQ(face->glyph->advance.x >> 6, glyph_columns(font, im, c == 256 ? -1 : c).advance * scale);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

TEST(Render, BdfRoundTrips) {
  const RoundTrip cases[] = {
      {{"12", "15.6", "Western", "DejaVu", "Sans"}, "Western"},
      {{"10.5", "13", "Greek", "DejaVu", "Serif"}, "greek"},
      {{"--bold", "16", "20", "Cyrillic", "Liberation", "Sans"}, "Cyrillic"},
      {{"11", "14", "Mac", "DejaVu", "Sans", "Mono"}, "Mac"},  // fixed width
      {{"12", "16", "Thai", "DejaVu", "Sans"}, "Thai"},  // most characters missing
      {{"9", "12", "OEM", "Liberation", "Serif"}, "OEM", false},
      {{"16", "18", "EasternEurope", "Terminus"}, "EasternEurope"},  // bitmap strikes
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempDir dir;
    std::vector<std::string> make{GLYPHSMITH_PROGRAM, "--no-preview", "--id", "0080", "-o", "a"};
    make.insert(make.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(run_command({"mkdir", "a", "b", "c", "d"}, RunOptions{dir.path, {}, 120}).status, 0);
    RunResult r = run_command(make, RunOptions{dir.path, {}, 120});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_command({PRCBUILD_PROGRAM, "F.prc", "F", "Font", "PGwk", "a/NFNT0080.bin",
                     "a/nfnt0080-hd.bin"},
                    RunOptions{dir.path, {}, 120});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_command({PRCDUMP_PROGRAM, "--bdf", "bdf", "--charset", c.charset, "F.prc"},
                    RunOptions{dir.path, {}, 120});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tree_names(dir.file("bdf")),
              (std::set<std::string>{"NFNT0080.bdf", "nfnt0080-72.bdf", "nfnt0080-144.bdf"}));
    std::vector<std::vector<std::string>> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
      if (line.rfind("glyphsmith ", 0) == 0) lines.push_back(words_of(line));
    ASSERT_EQ(lines.size(), 2u) << r.out;

    std::string v1 = read_file(dir.file("a/NFNT0080.bin")), v2 = read_file(dir.file("a/nfnt0080-hd.bin"));
    BitmapFont font;
    ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(v2.data()), v2.size(), &font), "");
    std::vector<std::string> names{"bdf/nfnt0080-72.bdf", "bdf/nfnt0080-144.bdf"};
    EXPECT_EQ(std::vector<std::string>(lines[1].end() - 2, lines[1].end()), names);
    std::vector<std::string> pcf;
    for (size_t i = 0; i < 2; ++i) {
      pcf.push_back("c/" + std::to_string(i) + ".pcf");
      r = run_command({"bdftopcf", "-o", pcf[i], names[i]}, RunOptions{dir.path, {}, 120});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
      expect_freetype_reads(dir.file(names[i]), font, i);
    }
    // FontForge opens each and saves it again as BDF (ff1-SIZE.bdf, ...).
    r = run_command({"fontforge", "-lang=ff", "-c",
                     "i = 1; while (i < $argc); Open($argv[i]); Print($fontname); "
                     "Generate(\"c/ff\" + ToString(i) + \".bdf\"); i++; endloop",
                     names[0], names[1], "bdf/NFNT0080.bdf"},
                    RunOptions{dir.path, {"HOME=" + dir.path}, 120});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;

    // Both densities' files give both fonts back; the 72-dpi file alone
    // gives the 'NFNT' and a doubled 144-dpi image.
    r = rebuild(dir.path, lines[1], "b");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("note:"), std::string::npos) << r.out;
    EXPECT_EQ(hex(read_file(dir.file("b/NFNT0080.bin"))), hex(v1));
    EXPECT_EQ(hex(read_file(dir.file("b/nfnt0080-hd.bin"))), hex(v2));
    r = rebuild(dir.path, lines[0], "c");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(read_file(dir.file("c/NFNT0080.bin"))), hex(v1));
    EXPECT_NE(r.out.find("\nnote: 144 dpi: the 72-dpi glyphs doubled, as font file "
                         "'bdf/NFNT0080.bdf' has no " +
                         std::to_string(2 * font.rect_height) + "-pixel strike\n"),
              std::string::npos)
        << r.out;

    // What a bitmap can't be: another set, or bold.
    std::vector<std::string> other_set = lines[1], bold = lines[1];
    other_set[5] = "Symbol";
    bold.insert(bold.begin() + 1, "--bold");
    r = rebuild(dir.path, other_set, "d");
    EXPECT_EQ(r.err, "glyphsmith: font file 'bdf/nfnt0080-72.bdf' holds the character set " +
                         read_property(dir.file(names[0]), "CHARSET_REGISTRY") + "-" +
                         read_property(dir.file(names[0]), "CHARSET_ENCODING") +
                         ", not Symbol (microsoft-symbol)\n");
    r = rebuild(dir.path, bold, "d");
    EXPECT_EQ(r.err,
              "glyphsmith: font file 'bdf/nfnt0080-72.bdf' has no bold face, and bitmap glyphs are "
              "not thickened\n");
    EXPECT_EQ(tree_names(dir.file("d")), std::set<std::string>{});

    // What FontForge saved gives the same bytes, where it knows the charset
    // by name and so keeps each glyph's byte.
    if (c.fontforge_keeps_bytes) {
      std::vector<std::string> resaved = lines[1];
      resaved.end()[-2] = "c/ff1-" + std::to_string(font.rect_height) + ".bdf";
      resaved.end()[-1] = "c/ff2-" + std::to_string(2 * font.rect_height) + ".bdf";
      r = rebuild(dir.path, resaved, "d");
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(hex(read_file(dir.file("d/nfnt0080-hd.bin"))), hex(v2));
    }

    // The same as gzipped PCF, and with one pixel of 'A' turned over.
    ASSERT_EQ(run_command({"gzip", pcf[0]}, RunOptions{dir.path, {}, 120}).status, 0);
    std::vector<std::string> from_pcf = lines[1];
    from_pcf.end()[-2] = pcf[0] + ".gz";
    from_pcf.end()[-1] = pcf[1];
    r = rebuild(dir.path, from_pcf, "d");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(read_file(dir.file("d/nfnt0080-hd.bin"))), hex(v2));
    std::string bdf = read_file(dir.file(names[0]));
    size_t at = bdf.find("BITMAP\n", bdf.find("\nENCODING 65\n")) + 7;
    ASSERT_NE(at, std::string::npos + 7);
    const std::string digits = "0123456789ABCDEF";
    bdf[at] = digits[digits.find(bdf[at]) ^ 8];  // the glyph's top left pixel
    write_file(dir.file(names[0]), bdf);
    r = rebuild(dir.path, lines[1], "d");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string edited = read_file(dir.file("d/nfnt0080-hd.bin"));
    BitmapFont e;
    ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(edited.data()), edited.size(), &e), "");
    EXPECT_EQ(hex(edited.substr(0, 26)), hex(v2.substr(0, 26)));
    EXPECT_EQ(e.locations, font.locations);
    EXPECT_EQ(e.images[1].bits, font.images[1].bits);
    int changed = 0;
    for (int y = 0; y < font.images[0].rows; ++y)
      for (int x = 0; x < font.images[0].row_words * 16; ++x)
        if (font_pixel(font.images[0], x, y) != font_pixel(e.images[0], x, y)) {
          ++changed;
          EXPECT_EQ(x, glyph_columns(font, font.images[0], 'A').x);
          EXPECT_EQ(y, 0);
        }
    EXPECT_EQ(changed, 1);
  }
}

// A font another writer made (its own missing symbol, a column narrower
// than its advance, a 144-dpi image of its own design) comes back with the
// same glyphs and metrics.
TEST(Render, BdfOfAnotherWritersFont) {
  TempDir dir;
  BitmapFont tiny = tiny_font(true);
  write_file(dir.file("nfnt0090.bin"), as_string(encode_font(tiny)));
  ASSERT_EQ(run_command({PRCBUILD_PROGRAM, "T.prc", "T", "Font", "PGwk", "nfnt0090.bin"},
                        RunOptions{dir.path, {}, 120})
                .status,
            0);
  RunResult r = run_command({PRCDUMP_PROGRAM, "--bdf", "bdf", "T.prc"}, RunOptions{dir.path, {}, 120});
  ASSERT_EQ(r.status, 0) << r.err;
  size_t at = r.out.find("\nglyphsmith ");
  ASSERT_NE(at, std::string::npos) << r.out;
  std::vector<std::string> line = words_of(r.out.substr(at));
  EXPECT_EQ(line, (std::vector<std::string>{"glyphsmith", "--id", "0090", "4", "5", "Western",
                                             "bdf/nfnt0090-72.bdf", "bdf/nfnt0090-144.bdf"}));
  ASSERT_EQ(run_command({"mkdir", "out"}, RunOptions{dir.path, {}, 120}).status, 0);
  r = rebuild(dir.path, line, "out");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("note:"), std::string::npos) << r.out;
  std::string bytes = read_file(dir.file("out/nfnt0090-hd.bin"));
  BitmapFont font;
  ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "");
  EXPECT_EQ(std::vector<int16_t>({font.first_char, font.last_char, font.ascent, font.descent,
                                  font.leading, font.rect_height}),
            std::vector<int16_t>({tiny.first_char, tiny.last_char, tiny.ascent, tiny.descent,
                                  tiny.leading, tiny.rect_height}));
  for (size_t i = 0; i < 2; ++i)
    for (int c : {-1, int{'A'}, int{'B'}, int{'C'}}) {
      EXPECT_EQ(font_has_char(font, c), font_has_char(tiny, c)) << c;
      EXPECT_EQ(palm_ink(font, font.images[i], c), palm_ink(tiny, tiny.images[i], c)) << c;
      EXPECT_EQ(glyph_columns(font, font.images[i], c).advance,
                glyph_columns(tiny, tiny.images[i], c).advance)
          << c;
    }
}

// Symbol takes each byte from the face's symbol map. FontForge makes such a
// face from DejaVu Sans in the Adobe Symbol encoding, where 'a' is alpha and
// 'G' Gamma; a fontconfig setup of its own holds only that face.
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
            "glyphsmith: no installed font family 'Symbolic Tst' (closest: 'Symbolic Test')\n");
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
