// prcdump's run function in this process: exact listings, messages,
// statuses and extracted files; databases written by Palm::PDB, txt2pdbdoc
// and prcbuild; nothing extracted for a bad file. The program as a process
// is in prcdump_e2e_test.cpp.
#include "prcdump_test.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bdf.h"
#include "bitmap_font.h"
#include "font_picture.h"
#include "text_page.h"
#include "palm_bytes.h"
#include "png_pixels.h"
#include "run.h"
#include "test_font.h"

using namespace palm;

using namespace std::string_literals;

namespace {

const std::string kKnownSets =
    "(known: Western, Default, EasternEurope, Greek, Mac, OEM, Cyrillic, Symbol, Turkish, "
    "Vietnamese, Arabic, Hebrew, Thai, or a Windows number such as 186)";

TEST_F(Prcdump, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"-h"}, 0, kUsage, ""},
      {{"--help", "missing.prc"}, 0, kUsage, ""},
      {{"--version"}, 0, "prcdump 1.0.0\n", ""},
      {{}, 1, "", "prcdump: no FILE given\n"s + kUsage},
      {{"-q", "a.prc"}, 1, "", "prcdump: unknown option -q\n"s + kUsage},
      {{"a.prc", "--help=x"}, 1, "", "prcdump: unknown option --help=x\n"s + kUsage},
      {{"a.prc", "--bogus"}, 1, "", "prcdump: unknown option --bogus\n"s + kUsage},
      {{"a.prc", "-x"}, 1, "", "prcdump: -x needs a folder\n"s + kUsage},
      {{"-x", "a", "-xb", "a.prc"}, 1, "", "prcdump: -x given twice\n"s + kUsage},
      {{"a.prc", "--png"}, 1, "", "prcdump: --png needs a folder\n"s + kUsage},
      {{"--png=", "a.prc"}, 1, "", "prcdump: --png needs a folder\n"s + kUsage},
      {{"--png=a", "--png", "b", "a.prc"}, 1, "", "prcdump: --png given twice\n"s + kUsage},
      {{"--check", "-x", "a", "a.prc"}, 1, "", "prcdump: --check takes no -x, --png or --bdf\n"s + kUsage},
      {{"--bdf", "a", "a.prc", "--check"}, 1, "", "prcdump: --check takes no -x, --png or --bdf\n"s + kUsage},
      {{"a.prc", "--bdf"}, 1, "", "prcdump: --bdf needs a folder\n"s + kUsage},
      {{"--bdf=a", "--bdf", "b", "a.prc"}, 1, "", "prcdump: --bdf given twice\n"s + kUsage},
      {{"--charset", "Korean", "a.prc"}, 1, "", "prcdump: unknown character set 'Korean' "s + kKnownSets + "\n" + kUsage},
      {{"a.prc", "--charset"}, 1, "", "prcdump: --charset needs a name\n"s + kUsage},
      {{"a.prc", "--sample"}, 1, "", "prcdump: --sample needs a text\n"s + kUsage},
      {{"missing.prc", "--", "-x"},
       1,
       "",
       "prcdump: missing.prc: can't open: No such file or directory\n"
       "prcdump: -x: can't open: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    RunResult r = run(c.args);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.out, r.out);
    EXPECT_EQ(c.err, r.err);
  }
}

// Every corrupt file is refused whole: a message, status 1, nothing listed or
// extracted for it, and the next file is still read.
TEST_F(Prcdump, BadFiles) {
  std::string good = header(9, 1) + res("tAIN", 1, 88) + "abcd";
  put("good.prc", good);
  struct Case {
    const char* title;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"empty", "", "file of 0 bytes is shorter than the 78-byte header"},
      {"text", "Not a database, just some words.\n",
       "file of 33 bytes is shorter than the 78-byte header"},
      {"a name that never ends", std::string(100, 'x'),
       "database name has no terminating zero byte"},
      {"more entries than bytes", header(9, 6552) + res("tAIN", 1, 88),
       "list of 6552 entries ends at byte 65598, past the end of the file (88 bytes)"},
      {"an entry past the end", header(9, 1) + res("tAIN", 1, 1 << 30) + "abcd",
       "entry 0 offset 1073741824 is past the end of the file (92 bytes)"},
      {"entries out of order", header(9, 2) + res("tAIN", 1, 102) + res("tAIN", 2, 100) + "xyzxyz",
       "entry 1 offset 100 comes before entry 0 offset 102"},
      {"an entry over the list", header(8, 1) + be(0, 4) + be(0, 4) + "\0\0"s,
       "entry 0 offset 0 lies inside the header and entry list, which end at byte 86"},
      {"AppInfo past the end", header(8, 0, "typecrea", 81) + "\0\0"s,
       "AppInfo offset 81 is past the end of the file (80 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    put("bad.prc", c.bytes);
    RunResult r = run({"-x", "out", "bad.prc", "good.prc"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("prcdump: bad.prc: " + c.message + "\n", r.err);
    EXPECT_EQ(0u, r.out.find("file:         good.prc\n")) << r.out;
    EXPECT_EQ("tAIN0001.bin", files_in("out"));
    EXPECT_EQ("abcd", read_file(dir.file("out/tAIN0001.bin")));
    // A folder made for a bad file alone is taken away again.
    std::filesystem::remove_all(dir.file("out"));
    r = run({"-x", "out", "bad.prc"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_FALSE(file_exists(dir.file("out")));
  }
  EXPECT_EQ("bad.prc good.prc", files_in("."));

  // A folder that is a file already: nothing is read or written.
  RunResult r = run({"-x", "good.prc", "--png", "pictures", "good.prc"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("prcdump: good.prc: Not a directory\n", r.err);
  EXPECT_EQ(good, read_file(dir.file("good.prc")));
  EXPECT_EQ("bad.prc good.prc", files_in("."));
}

// The header fields by name, the entries one a line, dates in the zone of TZ.
TEST_F(Prcdump, Listing) {
  std::string app = "APP", sort = "SO";
  std::string bytes = header(0x8048, 3, "DATAtest", 104, 107, "Notes \x01") + be(109, 4) + "\x40" +
                      be(0x123456, 3) + be(109, 4) + "\x93" + be(1, 3) + be(112, 4) + "\x00"s +
                      be(2, 3) + "\0\0"s + app + sort + "abcxy";
  put("notes.pdb", bytes);
  put("remap.prc", remap_database());
  const std::string notes_listing =
      "file:         notes.pdb\n"
      "name:         Notes \\x01\n"
      "kind:         record database\n"
      "type:         DATA\n"
      "creator:      test\n"
      "attributes:   0x8048 backup copy-prevention open\n"
      "version:      1\n"
      "created:      2014-07-31 14:15:28 UTC\n"
      "modified:     never\n"
      "backed up:    never\n"
      "modification: 0\n"
      "AppInfo:      offset 104, 3 bytes\n"
      "SortInfo:     offset 107, 2 bytes\n"
      "entries:      3\n"
      "  index  attr  unique id   offset        size\n"
      "      0  0x40  0x123456         109           0  dirty\n"
      "      1  0x93  0x000001         109           3  delete secret category 3\n"
      "      2  0x00  0x000002         112           2\n";
  RunResult r = run({"notes.pdb", "remap.prc"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(notes_listing + "\n" + kRemapListing, r.out);

  // The zone is told as an offset from UTC.
  if (!windows_build()) {
    r = run({"notes.pdb"}, {"TZ=XYZ-5:30"});
    EXPECT_NE(std::string::npos, r.out.find("created:      2014-07-31 19:45:28 UTC+5:30\n"))
        << r.out;
  }
}

// Without the creation and modification dates, which a rebuild sets anew.
std::string undated(std::string db) {
  if (db.size() >= 44) db.replace(36, 8, 8, '\0');
  return db;
}

// Built by prcbuild, taken apart by -x, built again by the printed command:
// the same bytes but the dates, and nothing prcbuild can't redo.
TEST_F(Prcdump, RoundTripWithPrcbuild) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  put("tAIN03e8.bin", "Hello, Palm OS");
  put("tver0001.bin", "1.0\0"s);
  put("big/tAIN03e8.bin", big);
  put("r1", "first");
  put("r2", "second!");
  put("r3", "3");
  struct Case {
    std::vector<std::string> build;  // prcbuild's arguments
    std::string command;             // what prcdump prints, when checked whole
  } cases[] = {
      {{"out.prc", "Remap Example", "Rmap", "PGwk", "tver0001.bin", "tAIN03e8.bin", "-f",
        "Rmap0000", "hrStdFont", "-f", "Rmap0089", "stdFixedFont_palm"},
       "prcbuild out.prc 'Remap Example' Rmap PGwk x/tver0001.bin x/tAIN03e8.bin x/Rmap0000.bin "
       "x/Rmap0089.bin\n"},
      {{"-d", "out.pdb", "It's \"$HOME\"", "a b", "TEST", "r1", "r2", "r3"},
       "prcbuild -d out.pdb 'It'\\''s \"$HOME\"' 'a b' TEST x/record0000.bin x/record0001.bin "
       "x/record0002.bin\n"},
      {{"-i", "out.prc", "Empty", "appl", "TEST"}, "prcbuild -x out.prc Empty appl TEST\n"},
      {{"-d", "out.pdb", "line\nbreak\x1b[0m", "a\tb", "TEST", "r1"},
       "prcbuild -d out.pdb 'line\nbreak'\"$(printf '\\033')\"'[0m' 'a'\"$(printf '\\011')\"'b' "
       "TEST x/record0000.bin\n"},
      {{"out.prc", "Twice", "appl", "TEST", "tAIN03e8.bin", "tAIN03e8.bin"},
       "prcbuild out.prc Twice appl TEST x/tAIN03e8.bin x/tAIN03e8-2.bin\n"},
      {{"-s", "out.prc", "Split", "Font", "PGwk", "big/tAIN03e8.bin"},
       "prcbuild out.prc Split Font PGwk x/tAIN03e8.bin x/2AIN03e8.bin\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.build));
    std::string db =
        c.build[0] == "-d" || c.build[0] == "-i" || c.build[0] == "-s" ? c.build[1] : c.build[0];
    ASSERT_EQ(0, build(c.build));
    std::string original = read_file(dir.file(db));
    std::filesystem::remove_all(dir.file("x"));
    RunResult r = run({"-x", "x", db});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    std::string command = command_of(r.out);
    EXPECT_EQ(c.command, command);
    std::filesystem::remove(dir.file(db));
    RunResult rebuilt = shell(command);
    EXPECT_EQ(0, rebuilt.status) << rebuilt.err;
    EXPECT_EQ(hex(undated(original)), hex(undated(read_file(dir.file(db)))));
  }
  EXPECT_EQ(big.substr(130000), read_file(dir.file("x/2AIN03e8.bin")));
}

// Types no file name can hold are escaped, never leave DIR and are left out of
// the command; names that differ only in case or not at all get a suffix.
TEST_F(Prcdump, UnsafeAndSameNames) {
  const std::string types[] = {"a/b.", "..\0\0"s, "%x:y", "NFNT", "nfnt", "tAIN", "tAIN"};
  const uint16_t ids[] = {1, 2, 3, 0x80, 0x80, 1, 1};
  std::string list, data;
  for (size_t i = 0; i < 7; ++i) {
    list += res(types[i], ids[i], static_cast<uint32_t>(148 + i));
    data += static_cast<char>('A' + i);
  }
  put("h.prc", header(9, 7) + list + data);
  std::filesystem::create_directory(dir.file("x"));
  put("outside", "keep");
  if (!windows_build()) std::filesystem::create_symlink("../outside", dir.file("x/tAIN0001.bin"));
  RunResult r = run({"-x", "x", "h.prc"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(
      "prcbuild h.prc Test type crea x/NFNT0080.bin x/nfnt0080-2.bin x/tAIN0001.bin "
      "x/tAIN0001-2.bin\n"
      "note: entry 0 is left out: prcbuild can't take its type a/b. from a file name "
      "(x/a%2Fb.0001.bin)\n"
      "note: entry 1 is left out: prcbuild can't take its type ..\\x00\\x00 from a file name "
      "(x/..%00%000002.bin)\n"
      "note: entry 2 is left out: prcbuild can't take its type %x:y from a file name "
      "(x/%25x%3Ay0003.bin)\n",
      command_of(r.out));
  EXPECT_EQ(
      "%25x%3Ay0003.bin ..%00%000002.bin NFNT0080.bin a%2Fb.0001.bin nfnt0080-2.bin "
      "tAIN0001-2.bin tAIN0001.bin",
      files_in("x"));
  const char* expected[][2] = {{"a%2Fb.0001.bin", "A"},   {"..%00%000002.bin", "B"},
                               {"%25x%3Ay0003.bin", "C"}, {"NFNT0080.bin", "D"},
                               {"nfnt0080-2.bin", "E"},   {"tAIN0001.bin", "F"},
                               {"tAIN0001-2.bin", "G"}};
  for (const auto& [name, bytes] : expected) EXPECT_EQ(bytes, read_file(dir.file("x/"s + name)));
  EXPECT_EQ("keep", read_file(dir.file("outside")));
  EXPECT_EQ("h.prc outside x", files_in("."));
}

// A database Palm::PDB wrote: extra header fields, AppInfo, SortInfo and
// records' own attributes and IDs are shown and extracted, and the command's
// notes name each thing prcbuild can't redo.
TEST_F(Prcdump, PalmPdbRecords) {
  const char script[] = R"(
use Palm::PDB; use Palm::Raw;
my $pdb = Palm::Raw->new;
@$pdb{qw(name type creator version modnum ctime mtime)} =
  ('Perl Notes', 'DATA', 'plPD', 3, 7, 1406816128, 1406816129);
$pdb->{uniqueIDseed} = 0x123000;
$pdb->{attributes} = {backup => 1};
$pdb->{appinfo} = 'APPINFO';
$pdb->{sort} = 'SRT';
push @{$pdb->{records}},
  {id => 16, category => 2, attributes => {dirty => 1}, data => 'first'},
  {id => 17, category => 0, attributes => {}, data => 'second record'};
$pdb->Write($ARGV[0]) or die;
)";
  ASSERT_EQ(0, run_command({"perl", "-e", script, "perl.pdb"}, {dir.path, {}, 300}).status);
  RunResult r = run({"-x", "x", "perl.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(
      "file:         perl.pdb\n"
      "name:         Perl Notes\n"
      "kind:         record database\n"
      "type:         DATA\n"
      "creator:      plPD\n"
      "attributes:   0x0008 backup\n"
      "version:      3\n"
      "created:      2014-07-31 14:15:28 UTC\n"
      "modified:     2014-07-31 14:15:29 UTC\n"
      "backed up:    never\n"
      "modification: 7\n"
      "AppInfo:      offset 96, 7 bytes\n"
      "SortInfo:     offset 103, 3 bytes\n"
      "unique seed:  0x00123000\n"
      "entries:      2\n"
      "  index  attr  unique id   offset        size\n"
      "      0  0x42  0x000010         106           5  dirty category 2\n"
      "      1  0x00  0x000011         111          13\n"
      "prcbuild -d perl.pdb 'Perl Notes' DATA plPD x/record0000.bin x/record0001.bin\n"
      "note: version is 3; prcbuild writes 1\n"
      "note: modification number is 7; prcbuild writes 0\n"
      "note: unique ID seed is 0x00123000; prcbuild writes 0\n"
      "note: AppInfo (7 bytes) is in x/appinfo.bin; prcbuild writes none\n"
      "note: SortInfo (3 bytes) is in x/sortinfo.bin; prcbuild writes none\n"
      "note: record 0 has attributes 0x42 and unique ID 16; prcbuild writes 0x00 and 0\n"
      "note: record 1 has attributes 0x00 and unique ID 17; prcbuild writes 0x00 and 1\n",
      r.out);
  EXPECT_EQ("appinfo.bin record0000.bin record0001.bin sortinfo.bin", files_in("x"));
  EXPECT_EQ("APPINFO", read_file(dir.file("x/appinfo.bin")));
  EXPECT_EQ("SRT", read_file(dir.file("x/sortinfo.bin")));
  EXPECT_EQ("first", read_file(dir.file("x/record0000.bin")));
  EXPECT_EQ("second record", read_file(dir.file("x/record0001.bin")));
}

// Palm::PDB lays resources out as prcbuild does: the rebuild from what -x
// wrote is its file but for the dates.
TEST_F(Prcdump, PalmPdbResourcesRebuild) {
  const char script[] = R"(
use Palm::PDB; use Palm::Raw;
my $pdb = Palm::Raw->new;
@$pdb{qw(name type creator version)} = ('Perl Font', 'Font', 'PGwk', 1);
$pdb->{uniqueIDseed} = 0;
$pdb->{attributes} = {resource => 1, backup => 1};
$pdb->append_Resource({type => 'NFNT', id => 0x80, data => 'x' x 300});
$pdb->append_Resource({type => 'Rmap', id => 0, data => "\x40\x00\x00\x08"});
$pdb->Write($ARGV[0]) or die;
)";
  ASSERT_EQ(0, run_command({"perl", "-e", script, "perl.prc"}, {dir.path, {}, 300}).status);
  std::string original = read_file(dir.file("perl.prc"));
  RunResult r = run({"-x", "x", "perl.prc"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_NE(std::string::npos, r.out.find("      1  Rmap  0x0000         400           4  "
                                          "remap to hrStdFont (0x0008)\n"));
  std::string command = command_of(r.out);
  EXPECT_EQ("prcbuild perl.prc 'Perl Font' Font PGwk x/NFNT0080.bin x/Rmap0000.bin\n", command);
  std::filesystem::remove(dir.file("perl.prc"));
  EXPECT_EQ(0, shell(command).status);
  EXPECT_EQ(hex(undated(original)), hex(undated(read_file(dir.file("perl.prc")))));
}

// A PalmDOC e-book: record 0 describes the text, the other records hold it.
TEST_F(Prcdump, Txt2pdbdocBook) {
  std::string text;
  for (int i = 0; text.size() < 10000; ++i) text += "Line " + std::to_string(i) + " of the book.\n";
  put("book.txt", text);
  ASSERT_EQ(0,
            run_command({"txt2pdbdoc", "-c", "A Book", "book.txt", "book.pdb"}, {dir.path, {}, 300})
                .status);
  ASSERT_EQ(
      0,
      run_command({"txt2pdbdoc", "A Book", "book.txt", "packed.pdb"}, {dir.path, {}, 300}).status);
  RunResult r = run({"-x", "x", "book.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  for (const char* line : {"name:         A Book\n", "kind:         record database\n",
                           "type:         TEXt\n", "creator:      REAd\n", "entries:      4\n"})
    EXPECT_NE(std::string::npos, r.out.find(line)) << line;
  std::string record0 = read_file(dir.file("x/record0000.bin"));
  ASSERT_GE(record0.size(), 10u);
  EXPECT_EQ(hex(be(1, 2) + be(0, 2) + be(static_cast<uint32_t>(text.size()), 4) + be(3, 2)),
            hex(record0.substr(0, 10)));
  EXPECT_EQ(text, read_file(dir.file("x/record0001.bin")) +
                      read_file(dir.file("x/record0002.bin")) +
                      read_file(dir.file("x/record0003.bin")));
  r = run({"packed.pdb"});
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos, r.out.find("entries:      4\n")) << r.out;
}

}  // namespace
