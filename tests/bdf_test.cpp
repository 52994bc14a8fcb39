// prcdump's BDF files, read back by glyphsmith and by others' tools.
#include <gtest/gtest.h>

#include <sstream>

#include "bitmap_font.h"
#include "font_ink.h"
#include "fontforge.h"
#include "run.h"
#include "test_font.h"

using namespace palm;

namespace {

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
  // FontForge saves the missing symbol, past the charset's bytes, unencoded:
  // it still comes back.
  r = run_command({"fontforge", "-lang=ff", "-c",
                   "i = 1; while (i < $argc); Open($argv[i]); Generate(\"ff\" + ToString(i) + "
                   "\".bdf\"); i++; endloop",
                   line[6], line[7]},
                  RunOptions{dir.path, {"HOME=" + dir.path}, 120});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(run_command({"mkdir", "ff"}, RunOptions{dir.path, {}, 120}).status, 0);
  std::vector<std::string> resaved = line;
  resaved[6] = "ff1-" + std::to_string(tiny.rect_height) + ".bdf";
  resaved[7] = "ff2-" + std::to_string(2 * tiny.rect_height) + ".bdf";
  r = rebuild(dir.path, resaved, "ff");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(hex(read_file(dir.file("ff/nfnt0090-hd.bin"))), hex(bytes));
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

}  // namespace

// X's name for a Windows code page is that page: a Cyrillic PCF as X
// installs it gives the Cyrillic font.
TEST(Render, XNamedCodePage) {
  const std::string pcf = "/usr/share/fonts/X11/misc/ter-u18n_cp1251.pcf.gz";
  TempDir dir;
  RunResult r = run_command({GLYPHSMITH_PROGRAM, "--no-preview", "18", "20", "Cyrillic", pcf},
                            RunOptions{dir.path, {}, 120});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::string bytes = read_file(dir.file("NFNT0080.bin"));
  BitmapFont font;
  ASSERT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "");
  EXPECT_EQ(font.last_char, 0xFF);  // я, the page's last letter
  EXPECT_TRUE(font_has_char(font, 0xC0));  // А
}
