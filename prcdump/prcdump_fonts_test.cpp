// prcdump's fonts in process: their listing, pictures, BDF files and rebuild
// commands, --check's findings, and the notes a rebuild command carries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bdf.h"
#include "bitmap_font.h"
#include "font_picture.h"
#include "png_pixels.h"
#include "prcdump_test.h"
#include "run.h"
#include "test_font.h"
#include "text_page.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// Fonts in resources and in records are described in the listing and drawn
// by --png as the library draws them; a font resource that isn't one says why.
TEST_F(Prcdump, Fonts) {
  std::string v1 = as_string(encode_font(tiny_font(false)));
  std::string v2 = as_string(encode_font(tiny_font(true)));
  put("NFNT0080.bin", v1);
  put("nfnt0081.bin", v2);
  put("NFNT0082.bin", "not a font at all, but long enough");
  ASSERT_EQ(0, build({"fonts.prc", "Fonts", "Font", "PGwk", "NFNT0080.bin", "nfnt0081.bin",
                      "NFNT0082.bin"}));
  ASSERT_EQ(0, build({"-d", "fonts.pdb", "Fonts", "Font", "PGwk", "NFNT0082.bin", "nfnt0081.bin"}));
  RunResult r = run({"--png", "pictures", "--sample", "AAA AAA AAA", "fonts.prc", "fonts.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  const char* lines[] = {
      "      0  NFNT  0x0080         108          52  font v1: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72\n",
      "      1  nfnt  0x0081         160         100  font v2: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72 144\n",
      "!     2  NFNT  0x0082         260          34  not a font (type 0x6E6F)\n",
      "      0  0x00  0x000000          96          34\n",
      "      1  0x00  0x000001         130         100  font v2: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72 144\n"};
  for (const char* line : lines) EXPECT_NE(std::string::npos, r.out.find(line)) << line << r.out;
  EXPECT_EQ("NFNT0080.png nfnt0081-hd.png record0001.png", files_in("pictures"));
  // The same pixels as the library draws; the bytes differ by build, as
  // each deflates with its own compressor.
  auto picture = [](const BitmapFont& f) {
    Canvas page = draw_text_page(f, "AAA AAA AAA", 1, 8);
    return png_pixels(
        as_string(encode_png(stack_canvases({draw_glyph_sheet(f), page}, 16, kPictureWhite))));
  };
  EXPECT_EQ(picture(tiny_font(false)), png_pixels(read_file(dir.file("pictures/NFNT0080.png"))));
  std::string sheet = picture(tiny_font(true));
  EXPECT_EQ("488x368:", sheet.substr(0, 8));
  EXPECT_EQ(sheet, png_pixels(read_file(dir.file("pictures/nfnt0081-hd.png"))));
  EXPECT_EQ(sheet, png_pixels(read_file(dir.file("pictures/record0001.png"))));
  // The pair glyphsmith writes, NFNT and nfnt of one ID: neither picture
  // takes a number for the other's name.
  put("nfnt0080-hd.bin", v2);
  ASSERT_EQ(0, build({"pair.prc", "Pair", "Font", "PGwk", "NFNT0080.bin", "nfnt0080-hd.bin"}));
  r = run({"--png", "pair", "pair.prc"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("NFNT0080.png nfnt0080-hd.png", files_in("pair"));

  // As BDF: a file per density as the library writes it, and the commands
  // that build each font again.
  r = run({"--bdf", "bdf", "--charset", "cyrillic", "fonts.prc", "fonts.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("NFNT0080.bdf nfnt0081-144.bdf nfnt0081-72.bdf record0001-144.bdf record0001-72.bdf",
            files_in("bdf"));
  EXPECT_EQ(encode_bdf(tiny_font(true), 1, {"Fonts", "windows-1251"}),
            read_file(dir.file("bdf/record0001-144.bdf")));
  EXPECT_NE(std::string::npos, r.out.find("\nglyphsmith --id 0080 4 5 Cyrillic bdf/NFNT0080.bdf\n"
                                          "glyphsmith --id 0081 4 5 Cyrillic bdf/nfnt0081-72.bdf "
                                          "bdf/nfnt0081-144.bdf\n\n"))
      << r.out;
  EXPECT_NE(std::string::npos,
            r.out.find("\nglyphsmith 4 5 Cyrillic bdf/record0001-72.bdf bdf/record0001-144.bdf\n"))
      << r.out;

  // The same database twice: nothing is written over.
  r = run({"--png", "twice", "-x", "twice", "fonts.pdb", "fonts.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "record0000-2.bin record0000.bin record0001-2.bin record0001-2.png record0001.bin "
      "record0001.png",
      files_in("twice"));
  // No font, no picture, no folder.
  ASSERT_EQ(0, build({"-d", "plain.pdb", "Plain", "DATA", "TEST", "NFNT0082.bin"}));
  r = run({"--png", "none", "NFNT0082.bin", "plain.pdb"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("prcdump: NFNT0082.bin: file of 34 bytes is shorter than the 78-byte header\n", r.err);
  EXPECT_FALSE(file_exists(dir.file("none")));
}

// The packages a glob and a folder that ignores letter case make: the
// preview taken for a second NFNT, the 72-dpi font packed as the nfnt too.
// --check names each entry a Palm would mis-read and ends with 1; the
// listing marks them and ends with 0.
TEST_F(Prcdump, Check) {
  put("NFNT0080.bin", as_string(encode_font(tiny_font(false))));
  put("NFNT0080.png", "\x89PNG\r\n\x1a\n a picture, as long as a font's header");
  put("nfnt0080.bin", as_string(encode_font(tiny_font(false))));
  put("nfnt0081.bin", as_string(encode_font(tiny_font(true))));
  ASSERT_EQ(0, shell("prcbuild fonts.prc Fonts Font PGwk NFNT* nfnt*").status);
  ASSERT_EQ(0, shell("prcbuild good.prc Good Font PGwk NFNT0080.bin nfnt0081.bin "
                     "-f Rmap0000 81 && prcbuild -i empty.prc Empty Font PGwk")
                   .status);
  put("remap.prc", header(1, 2, "RmapPGwk") + res("Rmap", 0, 98) + res("Rmap", 1, 102) +
                       "@\0\0\x81"s + "@\0\x81"s);
  put("notes.txt", "Not a database, just some words.\n");
  RunResult r = run({"--check", "fonts.prc", "good.prc", "notes.txt", "remap.prc", "empty.prc"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(
      "fonts.prc: entry 1 (NFNT 0x0080): the same type and ID as entry 0\n"
      "fonts.prc: entry 1 (NFNT 0x0080): not a font (type 0x8950)\n"
      "fonts.prc: entry 2 (nfnt 0x0080): a version 1 font, but nfnt holds version 2\n"
      "good.prc: ok, 3 entries\n"
      "remap.prc: entry 1 (Rmap 0x0001): 3 bytes, not the 4 of a font remap (40 00 and the font "
      "ID)\n"
      "empty.prc: ok, 0 entries\n",
      r.out);
  EXPECT_EQ("prcdump: notes.txt: file of 33 bytes is shorter than the 78-byte header\n", r.err);
  r = run({"--check", "good.prc", "empty.prc"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("good.prc: ok, 3 entries\nempty.prc: ok, 0 entries\n", r.out);
  EXPECT_EQ("", r.err);

  r = run({"fonts.prc", "remap.prc"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  const char* lines[] = {
      "      0  NFNT  0x0080         120          52  font v1: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72\n",
      "!     1  NFNT  0x0080         172          46  not a font (type 0x8950)  ! the same type "
      "and "
      "ID as entry 0\n",
      "!     2  nfnt  0x0080         218          52  font v1: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72  ! a version 1 font, but nfnt holds version 2\n",
      "      3  nfnt  0x0081         270         100  font v2: characters 65-67 (2 present), "
      "height 4, ascent 3, dpi 72 144\n",
      "      0  Rmap  0x0000          98           4  remap to narrowFixedFont (0x0081)\n",
      "!     1  Rmap  0x0001         102           3  ! 3 bytes, not the 4 of a font remap (40 00 "
      "and the font ID)\n"};
  for (const char* line : lines) EXPECT_NE(std::string::npos, r.out.find(line)) << line << r.out;
  EXPECT_EQ(
      "NFNT0080.bin NFNT0080.png empty.prc fonts.prc good.prc nfnt0080.bin nfnt0081.bin "
      "notes.txt remap.prc",
      files_in("."));
}

// Files that are no database are refused as what they look like, in the
// listing and in --check; names are shown with their control bytes escaped;
// the glyphsmith command survives a folder with a space, and a font no
// glyphsmith size makes gets a note instead.
TEST_F(Prcdump, RefusalsNamesAndRebuilds) {
  BitmapFont tall = tiny_font(false);
  tall.rect_height = 300;
  tall.images[0].rows = 300;
  tall.images[0].bits.resize(size_t(tall.row_words) * 2 * 300);
  tall.ow_t_loc = font_ow_t_loc(tall);
  put("NFNT0080.bin", as_string(encode_font(tiny_font(false))));
  put("nfnt0081.bin", as_string(encode_font(tiny_font(true))));
  put("NFNT0082.bin", as_string(encode_font(tall)));
  put("font.bdf", "STARTFONT 2.1\nFONT -x-y-medium-r-normal--4-40-72-72-c-40-iso8859-1\n");
  ASSERT_EQ(0, shell("prcbuild fonts.prc Fonts Font PGwk nfnt0081.bin && "
                     "prcbuild tall.prc Tall Font PGwk NFNT0082.bin && cp fonts.prc 'a\033.prc'")
                   .status);
  std::string no_db =
      "prcdump: NFNT0080.bin: not a Palm database but a Palm font resource; pack "
      "it with prcbuild\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // a line of it, or the whole when it ends the listing
    std::string err;
    bool posix_names = false;  // Windows takes no control byte in a name
  } cases[] = {
      {{"NFNT0080.bin"}, 1, "", no_db},
      {{"--check", "NFNT0080.bin", "fonts.prc"}, 1, "fonts.prc: ok, 1 entries\n", no_db},
      {{"--check", "font.bdf"},
       1,
       "",
       "prcdump: font.bdf: not a Palm database but a BDF font; make Palm fonts of it with "
       "glyphsmith\n"},
      {{"--check", "a\033.prc", "b\a.prc"},
       1,
       "a\\x1b.prc: ok, 1 entries\n",
       "prcdump: b\\x07.prc: can't open: No such file or directory\n",
       true},
      {{"--bdf", "my glyphs", "fonts.prc"},
       0,
       "(cd 'my glyphs' && glyphsmith -o \"$OLDPWD\" --id 0081 4 5 Western nfnt0081-72.bdf "
       "nfnt0081-144.bdf)\n",
       ""},
      {{"--bdf", "b", "tall.prc"},
       0,
       "note: no glyphsmith command for b/NFNT0082.bdf: it is 300 pixels high with a 301-pixel "
       "line; glyphsmith takes sizes up to 255 and lines from 0 to 1000\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    if (c.posix_names && windows_build()) continue;
    RunResult r = run(c.args);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.err, r.err);
    if (c.out.empty()) {
      EXPECT_EQ("", r.out);
    } else {
      EXPECT_NE(std::string::npos, r.out.find(c.out)) << r.out;
    }
  }
}

// Where the data lies differently from prcbuild's layout, a note says so.
TEST_F(Prcdump, LayoutNotes) {
  struct Case {
    const char* title;
    std::string bytes;
    std::string command;
  } cases[] = {
      {"no pad", header(9, 2) + res("tAIN", 1, 98) + res("tAIN", 2, 99) + "ab",
       "prcbuild l.prc Test type crea x/tAIN0001.bin x/tAIN0002.bin\n"
       "note: the data starts at byte 98; prcbuild puts it at byte 100\n"},
      {"a pad that isn't zero", header(9, 2) + res("tAIN", 1, 100) + res("tAIN", 2, 101) + "!!ab",
       "prcbuild l.prc Test type crea x/tAIN0001.bin x/tAIN0002.bin\n"
       "note: the bytes before the data are not zero; prcbuild writes zeros\n"},
      {"nothing but more bytes", header(0x8008, 0) + "\0\0\0\0"s,
       "prcbuild -d l.prc Test type crea\n"
       "note: attributes are 0x8008; prcbuild writes 0x0008\n"
       "note: the file has 82 bytes; prcbuild writes 80\n"},
      {"an empty and a big entry",
       header(9, 2) + res("tAIN", 1, 100) + res("tAIN", 2, 100) + "\0\0"s +
           std::string(130001, 'b'),
       "prcbuild l.prc Test type crea x/tAIN0002.bin\n"
       "note: entry 0 is empty and left out: prcbuild refuses empty files\n"
       "note: entry 1 has 130001 bytes; prcbuild reads only the first 130000 of a file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    put("l.prc", c.bytes);
    std::filesystem::remove_all(dir.file("x"));
    RunResult r = run({"-x", "x", "l.prc"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(c.command, command_of(r.out));
  }
}

}  // namespace
