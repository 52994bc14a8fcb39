// prcdump as a process, as a user starts it, and under wine the Windows
// build: its statuses, and its text streams (CR LF on Windows) on the
// system's own standard output and error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "palm_bytes.h"
#include "prcdump_test.h"
#include "run.h"

using namespace std::string_literals;

namespace {

struct PrcdumpEndToEnd : Prcdump {};

TEST_F(PrcdumpEndToEnd, Runs) {
  put("remap.prc", remap_database());
  put("good.prc", header(9, 1) + res("tAIN", 1, 88) + "abcd");
  put("empty.prc", "");
  // Types no file name can hold, and names that differ only in letter case
  // or not at all.
  const std::string types[] = {"a/b.", "%x:y", "NFNT", "nfnt", "tAIN", "tAIN"};
  const uint16_t ids[] = {0, 1, 0x80, 0x80, 1, 1};
  std::string list, data;
  for (uint16_t i = 0; i < 6; ++i) {
    list += res(types[i], ids[i], 78 + 6 * 10 + 2 + i);
    data += static_cast<char>('A' + i);
  }
  put("names.prc", header(9, 6) + list + "\0\0"s + data);
  struct Case {
    const char* title;
    std::vector<std::string> args;
    int status;
    std::string out, err;
    std::string extracted = "";  // the files in x afterwards
    bool command_only = false;   // out is what follows the listing
  } cases[] = {
      {"help", {"--help"}, 0, kUsage, ""},
      {"no file", {}, 1, "", "prcdump: no FILE given\n"s + kUsage},
      {"a listing", {"remap.prc"}, 0, kRemapListing, ""},
      {"a file that isn't there, and a bad one",
       {"missing.prc", "empty.prc"},
       1,
       "",
       "prcdump: missing.prc: can't open: No such file or directory\n"
       "prcdump: empty.prc: file of 0 bytes is shorter than the 78-byte header\n"},
      {"extracted",
       {"-x", "x", "good.prc"},
       0,
       "file:         good.prc\n"
       "name:         Test\n"
       "kind:         resource database\n"
       "type:         type\n"
       "creator:      crea\n"
       "attributes:   0x0009 resource backup\n"
       "version:      1\n"
       "created:      2014-07-31 14:15:28 UTC\n"
       "modified:     never\n"
       "backed up:    never\n"
       "modification: 0\n"
       "entries:      1\n"
       "  index  type  id          offset        size\n"
       "      0  tAIN  0x0001          88           4\n"
       "prcbuild good.prc Test type crea x/tAIN0001.bin\n",
       "",
       "tAIN0001.bin"},
      {"names extracted",
       {"-x", "x", "names.prc"},
       0,
       "prcbuild names.prc Test type crea x/NFNT0080.bin x/nfnt0080-2.bin x/tAIN0001.bin "
       "x/tAIN0001-2.bin\n"
       "note: entry 0 is left out: prcbuild can't take its type a/b. from a file name "
       "(x/a%2Fb.0000.bin)\n"
       "note: entry 1 is left out: prcbuild can't take its type %x:y from a file name "
       "(x/%25x%3Ay0001.bin)\n",
       "",
       "%25x%3Ay0001.bin NFNT0080.bin a%2Fb.0000.bin nfnt0080-2.bin tAIN0001-2.bin tAIN0001.bin",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    RunResult r = run_process(c.args);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.out, c.command_only ? command_of(r.out) : r.out);
    EXPECT_EQ(c.err, r.err);
    if (c.extracted.empty())
      EXPECT_FALSE(file_exists(dir.file("x")));
    else
      EXPECT_EQ(c.extracted, files_in("x"));
    std::filesystem::remove_all(dir.file("x"));
  }
}

}  // namespace
