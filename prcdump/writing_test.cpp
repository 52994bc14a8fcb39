// prcdump writing several files at once, run as a user or an attacker
// would: a failure anywhere, a signal at a chosen point, a file size limit,
// a reader that goes away, links where files go, small files that claim huge
// sizes. Each run leaves all of a group of files or none of it, and never a
// temporary file.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "palm_bytes.h"
#include "run.h"
#include "test_font.h"
#include "writing_test.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// A resource database of the given entries, laid out as prcbuild would.
struct Resource {
  std::string type;
  uint16_t id;
  std::string bytes;
};
std::string database(const std::vector<Resource>& entries) {
  std::string list, data;
  uint32_t offset = static_cast<uint32_t>(78 + 10 * entries.size() + 2);
  for (const Resource& r : entries) {
    list += r.type + be(r.id, 2) + be(offset + static_cast<uint32_t>(data.size()), 4);
    data += r.bytes;
  }
  return header_bytes("Test", 1, "Font", "PGwk", static_cast<uint16_t>(entries.size())) + list +
         "\0\0"s + data;
}

// A font of one 127-pixel-wide character, rows high, and no bits: tiny in
// the file, vast as a picture.
std::string tall_font(uint16_t rows) {
  std::string font;
  for (uint16_t field : {0x9000, 65, 65, 127, 0, 0, 127, int{rows}, 8, rows - 1, 1, 0, 0})
    font += be(field, 2);
  return font + be(0, 2) + be(0, 2) + be(0, 2) + "\0\x7f\0\x7f"s;
}

std::string hex_text(int id) {
  char text[8];
  snprintf(text, sizeof text, "%04x", id);
  return text;
}

std::vector<Resource> numbered(const std::string& type, int count, const std::string& bytes) {
  std::vector<Resource> entries;
  for (int i = 0; i < count; ++i) entries.push_back({type, static_cast<uint16_t>(i), bytes});
  return entries;
}

// A version 2 font of `count` 72-dpi images, each `rows` high: `chars`
// characters from the space, the first `width` pixels wide in twice as many
// columns, the others empty.
std::string many_images(int count, int rows, int chars, int width) {
  BitmapFont f;
  f.font_type = kFontTypeV2;
  f.first_char = ' ';
  f.last_char = static_cast<int16_t>(' ' + chars - 1);
  f.rect_height = static_cast<int16_t>(rows);
  f.row_words = static_cast<int16_t>((2 * width + 15) / 16);
  f.locations.assign(size_t(chars) + 2, static_cast<uint16_t>(width));
  f.locations[0] = 0;
  f.widths.assign(size_t(chars) + 1, {0, 1});
  for (int i = 0; i < count; ++i)
    f.images.push_back({72, f.row_words, rows, std::vector<uint8_t>(size_t(f.row_words) * 2 * rows)});
  f.ow_t_loc = font_ow_t_loc(f);
  return as_string(encode_font(f));
}

// Databases of one large entry, one small, and a font and a large entry.
std::map<std::string, std::string> sized_databases() {
  std::string tiny = as_string(encode_font(tiny_font(false))), big(20000, 'b');
  return {{"big.prc", database({{"tAIN", 1, big}})},
          {"small.prc", database({{"tver", 1, "1.0"}})},
          {"mixed.prc", database({{"NFNT", 0x80, tiny}, {"tAIN", 1, big}})}};
}

TEST(Writing, PrcdumpAllOrNothing) {
  std::string fifty = database(numbered("tAIN", 50, "data")), all_fifty = "d/\n";
  for (int i = 0; i < 50; ++i) all_fifty += "d/tAIN" + hex_text(i) + ".bin=data\n";
  std::string tiny = as_string(encode_font(tiny_font(false)));
  std::map<std::string, std::string> sizes = sized_databases();
  std::string memory_limit = SANITIZED ? "" : "ulimit -v 1000000; ";
  check({
      {"someone else's file in a sticky folder: refused, nothing left",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "chmod 755 .. && mkdir -m 1777 d && printf old >d/zzzz0001.bin && "
       "chmod 666 d/zzzz0001.bin && chown 65534 d/zzzz0001.bin",
       "exec setpriv --reuid=65533 --regid=65533 --clear-groups $PRCDUMP -x d two.prc",
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': Operation not permitted\n",
       "d/\nd/zzzz0001.bin=old\ntwo.prc\n",
       {},
       0,
       true,
       true},
      {"a second failure while putting back: each file left told",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "mkdir d && printf old >d/aaaa0000.bin && printf old2 >d/zzzz0001.bin",
       "exec $PRCDUMP -x d two.prc",
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': No space left on device\n"
       "prcdump: two.prc: d/aaaa0000.bin could not be put back (No space left on device); the "
       "earlier file is kept as d/.aaaa0000.bin.XXXXXX\n",
       "d/\nd/.aaaa0000.bin.XXXXXX=old\nd/aaaa0000.bin=new!\nd/zzzz0001.bin=old2\ntwo.prc\n",
       {"FAIL_CALL=rename:2+"}},
      {"a signal between the renames: all of the group",
       {{"fifty.prc", fifty}},
       "",
       "exec $PRCDUMP -x d fifty.prc",
       128 + SIGHUP,
       "",
       all_fifty + "fifty.prc\n",
       {"PAUSE_CALL=rename:25"},
       SIGHUP},
      {"a signal while staging: none of it, nor the folder",
       {{"fifty.prc", fifty}},
       "",
       "exec $PRCDUMP -x d fifty.prc",
       128 + SIGINT,
       "",
       "fifty.prc\n",
       {"PAUSE_CALL=mkstemp:25"},
       SIGINT},
      {"a file size limit: a message, and the next file is read", sizes, "",
       "ulimit -f 10; exec $PRCDUMP -x d big.prc small.prc", 1,
       "prcdump: big.prc: cannot write 'tAIN0001.bin' in 'd': File too large\n",
       "big.prc\nd/\nd/tver0001.bin=1.0\nmixed.prc\nsmall.prc\n"},
      {"pictures and entries are one group", sizes, "",
       "ulimit -f 10; exec $PRCDUMP --png d -x d mixed.prc", 1,
       "prcdump: mixed.prc: cannot write 'tAIN0001.bin' in 'd': File too large\n",
       "big.prc\nmixed.prc\nsmall.prc\n"},
      {"the reader of the listing goes away",
       {{"list.prc", database(numbered("tAIN", 5000, "x"))}},
       "",
       "$PRCDUMP -x d list.prc | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}",
       1,
       "prcdump: standard output: Broken pipe\n",
       "list.prc\n"},
      {"an input among the outputs: refused before anything is written", sizes,
       "mkdir d && cp mixed.prc d/NFNT0080.bin && ln small.prc d/tver0001.bin",
       "$PRCDUMP -x d d/NFNT0080.bin; $PRCDUMP -x d small.prc; s=$?; "
       "cmp -s mixed.prc d/NFNT0080.bin && cmp -s small.prc d/tver0001.bin && exit $s",
       1,
       "prcdump: d/NFNT0080.bin: won't write d/NFNT0080.bin: it is the input d/NFNT0080.bin; "
       "nothing of this database is written\n"
       "prcdump: small.prc: won't write d/tver0001.bin: it is the input small.prc; nothing of "
       "this database is written\n",
       "big.prc\nd/\nd/NFNT0080.bin\nd/tver0001.bin\nmixed.prc\nsmall.prc\n"},
      {"a font of many large images: refused undrawn",
       {{"wide.prc", database({{"nfnt", 0x80, many_images(10, 240, 1, 3900)}})}},
       "",
       memory_limit + "exec $PRCDUMP --png p wide.prc >/dev/null",
       1,
       "prcdump: wide.prc: entry 0: the font's picture would take 635231712 pixels, more than "
       "67108864\n",
       "wide.prc\n"},
      {"a font entry of 3 GiB is listed without being read",
       {{"huge.prc", database({{"NFNT", 0x80, tall_font(12)}})}, {"small.prc", sizes["small.prc"]}},
       "truncate -s 3G huge.prc",
       memory_limit + "exec $PRCDUMP huge.prc small.prc >/dev/null",
       0,
       "",
       "huge.prc\nsmall.prc\n"},
  });
}

// What needs no process of its own: prcdump's run function, one run after
// the other, in the case's folder.
TEST(Writing, PrcdumpGroupsInProcess) {
  struct Case {
    const char* title;
    std::map<std::string, std::string> files;
    std::string setup;
    std::vector<std::vector<std::string>> runs;
    int status;
    std::string err;
    std::string left;
    bool posix = true;
  };
  std::string tiny = as_string(encode_font(tiny_font(false)));
  std::vector<Resource> devices = {
      {"NUL.", 1, "n"}, {"CON.", 2, "c"}, {"aux.", 3, "a"}, {"PRN.", 4, "p"}};
  // Windows takes these names for its devices, whatever follows the dot.
  std::string device_files =
      windows_build()
          ? "d/CON%2E0002.bin=c\nd/NUL%2E0001.bin=n\nd/PRN%2E0004.bin=p\nd/aux%2E0003.bin=a\n"
          : "d/CON.0002.bin=c\nd/NUL.0001.bin=n\nd/PRN.0004.bin=p\nd/aux.0003.bin=a\n";
  const Case cases[] = {
      {"a folder in the way: the file replaced before it is put back",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "mkdir -p d/zzzz0001.bin && printf old >d/aaaa0000.bin",
       {{"-x", "d", "two.prc"}},
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': Is a directory\n",
       "d/\nd/aaaa0000.bin=old\nd/zzzz0001.bin/\ntwo.prc\n",
       false},
      {"names Windows takes for devices",
       {{"dev.prc", database(devices)}},
       "",
       {{"-x", "d", "dev.prc"}},
       0,
       "",
       "d/\n" + device_files + "dev.prc\n",
       false},
      {"fonts that promise vast pictures: none drawn, the next file still is",
       {{"tall.prc", database({{"NFNT", 0x80, tall_font(8000)}})},
        {"tiny.prc", database({{"NFNT", 0x80, tiny}})}},
       "",
       {{"--png", "p", "tall.prc", "tiny.prc"}},
       1,
       "prcdump: tall.prc: the fonts' pictures would take 66548340 pixels; a file of 126 bytes "
       "may take 16809472\n",
       "p/\np/NFNT0080.png\ntall.prc\ntiny.prc\n"},
      {"a sheet that fits but not with the page of text below it: refused undrawn",
       {{"tall.prc", database({{"NFNT", 0x80, tall_font(8150)}})}},
       "",
       {{"--png", "p", "tall.prc"}},
       1,
       "prcdump: tall.prc: entry 0: the font's picture would take 67782240 pixels, more than "
       "67108864\n",
       "tall.prc\n"},
      {"a backslash is no separator here, and a missing folder is named with its file",
       sized_databases(),
       "",
       {{"-x", "out\\", "small.prc"}, {"-x", "x/y", "small.prc"}},
       1,
       "prcdump: small.prc: cannot write 'tver0001.bin' in 'x/y': No such file or directory\n",
       "big.prc\nmixed.prc\nout\\/\nout\\/tver0001.bin=1.0\nsmall.prc\n"},
      {"BDF files past the output a file of its size may make: none written",
       {{"empty.prc", database({{"nfnt", 0x80, many_images(4500, 0, 96, 0)}})}},
       "",
       {{"--bdf", "b", "empty.prc"}},
       1,
       "prcdump: empty.prc: its pictures and BDF files would take more than 8095780 bytes; a "
       "file of its size may make 8091136\n",
       "empty.prc\n"},
  };
  std::vector<WriteCase> runs;
  for (const Case& c : cases)
    runs.push_back(
        {c.title, c.files, c.setup, "", c.status, c.err, c.left, {}, 0, c.posix, false, c.runs});
  check(runs);
}

}  // namespace
