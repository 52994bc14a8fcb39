// The fonts the built program writes: the decoder reads them, they take
// free IDs, and the preview draws from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "entry_name.h"
#include "font_picture.h"
#include "glyphsmith_test.h"
#include "png_pixels.h"
#include "run.h"
#include "text.h"
#include "text_page.h"

using namespace palm;

using base::format;

namespace {

// The version 2 font's file, the same on every system.
std::string v2_name(const std::string& id) {
  return "nfnt" + id + "-hd.bin";
}

BitmapFont decoded(const std::string& path) {
  std::string bytes = read_file(path);
  BitmapFont font;
  EXPECT_EQ(decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font), "")
      << path;
  return font;
}

std::string size_of(const TempDir& dir, const std::string& name) {
  return std::to_string(read_file(dir.file(name)).size());
}

// Width and height from a PNG file's header.
std::string png_size(const std::string& path) {
  std::string png = read_file(path);
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return "not a PNG";
  auto be32 = [&png](size_t at) {
    return std::to_string(
        static_cast<uint8_t>(png[at]) << 24 | static_cast<uint8_t>(png[at + 1]) << 16 |
        static_cast<uint8_t>(png[at + 2]) << 8 | static_cast<uint8_t>(png[at + 3]));
  };
  return be32(16) + " x " + be32(20);
}

// Fewer characters or one density make a font that would not fit; --list
// names the private set's families, with a bitmap family's strikes.
TEST_P(Program, CharsSingleDensityAndList) {
  TempDir dir;
  RunResult r =
      glyphsmith(dir, line({"--no-preview", "--chars", "0x20-0x7e", "36", "40", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  BitmapFont v1 = decoded(dir.file("NFNT0080.bin"));
  EXPECT_EQ(v1.first_char, 0x20);
  EXPECT_EQ(v1.last_char, 0x7E);
  r = glyphsmith(dir, line({"--no-preview", "--single-density", "12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(decoded(dir.file("NFNT0082.bin")).first_char, 0x09);
  EXPECT_EQ(folder_names(dir.path),
            (std::set<std::string>{"NFNT0080.bin", v2_name("0080"), "NFNT0082.bin"}));
  // wine's GDI lists no OpenType bitmap family.
  if (windows_build()) return;
  r = glyphsmith(dir, {"--list", "ter"});
  EXPECT_EQ(r.out, "Terminus: 12 14 16 18 20 22 24 28 32 pixels\n");
}

// New fonts take the first free ID from 0080 up that no Palm font name stands
// for, whatever names earlier versions gave the files; --id names one and
// replaces.
TEST_P(Program, ChoosesFreeIdsAndReplacesOnlyOnRequest) {
  TempDir dir;
  write_file(dir.file("nfnt0080-2.bin"), "keep");
  write_file(dir.file("PREVIEW-0082.PNG"), "keep");
  write_file(dir.file("nfnt0083.bin"), "keep");
  write_file(dir.file("NFNT0084.png"), "keep");
  write_file(dir.file("Nfnt0085"), "keep");
  write_file(dir.file("nfnt0086x.bin"), "not a font's name");
  RunResult r = glyphsmith(dir, line({"12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // 0x20..0xFF but DEL and the two bytes 1252 leaves undefined that
  // the Palm leaves so too, and its tab, ellipsis and numeric space.
  std::string what =
      "DejaVu Sans 12 points, Western (code page 1252), "
      "224 characters, ";
  BitmapFont v1 = decoded(dir.file("NFNT0086.bin"));
  std::string high = std::to_string(v1.rect_height) + " pixels high";
  EXPECT_EQ(r.out, "NFNT0086.bin: " + what + high + ", 72 dpi, " + size_of(dir, "NFNT0086.bin") +
                       " bytes\n" + v2_name("0086") + ": " + what + high + ", 72 and 144 dpi, " +
                       size_of(dir, v2_name("0086")) +
                       " bytes\npreview-0086.png: preview at 72 and 144 dpi, " +
                       png_size(dir.file("preview-0086.png")) + " pixels\n");
  EXPECT_EQ(read_file(dir.file("nfnt0080-2.bin")), "keep");
  // prcbuild refuses the preview's name, and reads the fonts' as their type and ID.
  unsigned id = 0;
  EXPECT_FALSE(entry_name_id("preview-0086.png", &id));
  EXPECT_TRUE(entry_name_id(v2_name("0086").c_str(), &id));
  EXPECT_EQ(0x86u, id);

  r = glyphsmith(dir, line({"--id", "80", "--no-preview", "9", "11.7", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  // The largest size of this face that fits, as the help says.
  r = glyphsmith(dir, line({"--id", "81", "--no-preview", "24", "31.2", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(folder_names(dir.path),
            (std::set<std::string>{"nfnt0080-2.bin", "NFNT0080.bin", v2_name("0080"), "NFNT0081.bin",
                                   v2_name("0081"), "PREVIEW-0082.PNG", "nfnt0083.bin",
                                   "NFNT0084.png", "Nfnt0085", "nfnt0086x.bin", "NFNT0086.bin",
                                   v2_name("0086"), "preview-0086.png"}));
  EXPECT_LT(decoded(dir.file(v2_name("0080"))).rect_height, v1.rect_height);
}

// 'A' and 'B' in a face numbered by byte, at `bits` a pixel: '#' the whole
// range, '+' half of it, '-' just under half, '.' none; 'C' ends before its
// BITMAP, a blank.
std::string grey_bdf(int bits) {
  const char* rows[] = {"#+-.#", "-#+#.", "+.#-+"};
  int full = (1 << bits) - 1, half = (full + 1) / 2;
  std::string bdf = "STARTFONT 2." + std::string(bits > 1 ? "3" : "1") +
                    "\nFONT -Test-Grey-Medium-R-Normal--3-30-72-72-P-50-windows-1252\nSIZE 3 72 72" +
                    (bits > 1 ? " " + std::to_string(bits) : "") +
                    "\nFONTBOUNDINGBOX 5 3 0 0\nSTARTPROPERTIES 5\nFAMILY_NAME \"Grey\"\n"
                    "CHARSET_REGISTRY \"windows\"\nCHARSET_ENCODING \"1252\"\nFONT_ASCENT 3\n"
                    "FONT_DESCENT 0\nENDPROPERTIES\nCHARS 3\n";
  for (char c : {'A', 'B'}) {
    bdf += "STARTCHAR " + std::string(1, c) + "\nENCODING " + std::to_string(c) +
           "\nSWIDTH 1000 0\nDWIDTH 6 0\nBBX 5 3 " + std::to_string(c - 'A') + " 0\nBITMAP\n";
    for (const char* row : rows) {
      uint64_t packed = 0;
      for (const char* p = row; *p; ++p)
        packed = packed << bits | (*p == '#' ? full : *p == '+' ? half : *p == '-' ? half - 1 : 0);
      int used = 5 * bits, bytes = (used + 7) / 8;
      bdf += format("%0*llX\n", 2 * bytes, static_cast<unsigned long long>(packed << (8 * bytes - used)));
    }
    bdf += "ENDCHAR\n";
  }
  return bdf + "STARTCHAR C\nENCODING 67\nSWIDTH 1000 0\nDWIDTH 6 0\nBBX 5 3 0 0\nENDCHAR\nENDFONT\n";
}

// A grey strike's ink is every pixel at least half its range: 2, 4 and 8
// bits a pixel give the fonts of the 1-bit twin.
TEST(Glyphsmith, GreyStrikesAsTheir1BitTwin) {
  if (windows_build()) GTEST_SKIP() << "GDI only names families";
  TempDir dir;
  std::vector<std::string> fonts;
  for (int bits : {1, 2, 4, 8}) {
    std::string name = "g" + std::to_string(bits);
    write_file(dir.file(name + ".bdf"), grey_bdf(bits));
    ASSERT_EQ(run_command({"mkdir", name}, RunOptions{dir.path, {}, 120}).status, 0);
    RunResult r = glyphsmith(dir, {"--no-preview", "--id", "80", "-o", name, "3", "3", "Western",
                                   name + ".bdf"});
    ASSERT_EQ(r.status, 0) << r.err;
    fonts.push_back(hex(read_file(dir.file(name + "/NFNT0080.bin"))) + " / " +
                    hex(read_file(dir.file(name + "/" + v2_name("0080")))));
    EXPECT_EQ(fonts.back(), fonts.front()) << bits;
  }
}

}  // namespace

// The preview's page is the text given, whole whatever code page the system
// hands arguments in, drawn from the written font: Ω, which code page 1252
// lacks, as the missing symbol.
TEST_P(Program, PreviewPageShowsTheSampleFromTheWrittenFont) {
  TempDir dir;
  RunResult r =
      glyphsmith(dir, line({"--sample=\xCE\xA9 \xC3\xA9t\xC3\xA9", "12", "15.6", "Western"}));
  ASSERT_EQ(r.status, 0) << r.err;
  BitmapFont font = decoded(dir.file(v2_name("0080")));
  PictureOptions options;
  Canvas page = draw_text_page(font, std::string("\0 \xE9t\xE9", 5), 1, options.gap);
  EXPECT_EQ(page.width * page.height, (160 + options.gap + 320) * 320);
  Canvas sample =
      draw_sample(font, "The quick brown fox jumps over the lazy dog. 0123456789", options);
  Canvas want = stack_canvases({sample, draw_glyph_sheet(font, options), page}, 16, kPictureWhite);
  EXPECT_EQ(png_pixels(as_string(encode_png(want))),
            png_pixels(read_file(dir.file("preview-0080.png"))));
}
