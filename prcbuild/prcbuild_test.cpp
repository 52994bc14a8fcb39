// prcbuild's run function in this process: exact file bytes, messages and
// exit statuses, and nothing left behind by a failed run.
#include "prcbuild_test.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "palm_bytes.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

TEST_F(Prcbuild, FailuresWriteNothing) {
  struct Case {
    const char* title;
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {"no arguments", {}, usage()},
      {"no input without options", {"out.prc", "Name", "appl", "TEST"}, usage()},
      {"unknown option", {"-q", "out.prc", "Name", "appl", "TEST", "tAIN03e8.bin"}, usage()},
      {"-f group first", {"-f", "abcd0080", "boldFont", "out.prc", "Name", "appl"}, usage()},
      {"options only", {"-d", "-s", "-i", "-x", "-d", "-s"}, usage()},
      {"too few after options", {"-i", "-x", "out.prc", "Name", "appl"}, usage()},
      {"lone dash", {"-", "out.prc", "Name", "appl", "TEST"}, usage()},
      {"short name",
       {"out.prc", "Name", "appl", "TEST", "abc.bin"},
       "Filename abc.bin not in required rsrcXXXX format.\n\n"},
      {"name under four",
       {"out.prc", "Name", "appl", "TEST", "sub/abc"},
       "Filename sub/abc not in required rsrcXXXX format.\n\n"},
      {"no hex digit in ID",
       {"out.prc", "Name", "appl", "TEST", "sub/tAIN.bin"},
       "Filename sub/tAIN.bin not in required rsrcXXXX format.\n\n"},
      {"no ID at all",
       {"out.prc", "Name", "appl", "TEST", "sub/tAIN"},
       "Filename sub/tAIN not in required rsrcXXXX format.\n\n"},
      {"missing input",
       {"out.prc", "Name", "appl", "TEST", "tAIN03e8.bin", "nope0001.bin"},
       "Error opening nope0001.bin.\n\n"},
      {"empty input",
       {"out.prc", "Name", "appl", "TEST", "empt0001.bin"},
       "malloc(0) requested.\n"},
      {"empty input with -i",
       {"-i", "out.prc", "Name", "appl", "TEST", "empt0001.bin"},
       "malloc(0) requested.\n"},
      {"empty record",
       {"-d", "out.pdb", "Name", "data", "TEST", "empt0001.bin"},
       "malloc(0) requested.\n"},
      {"late option, resources",
       {"out.prc", "Name", "appl", "TEST", "tAIN03e8.bin", "-s"},
       "Filename -s not in required rsrcXXXX format.\n\n"},
      {"late option, records",
       {"-d", "out.pdb", "Name", "data", "TEST", "-s"},
       "Error opening -s.\n\n"},
      {"missing output folder",
       {"-i", "nodir/out.prc", "Name", "appl", "TEST"},
       "Error opening nodir/out.prc.\n\n"},
      {"empty output name", {"-i", "", "Name", "appl", "TEST"}, "Error opening .\n\n"},
      {"-f without toFont",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcd0080"},
       "Need to specify both fromFont and toFont.\n\n"},
      {"-f alone",
       {"out.prc", "Name", "appl", "TEST", "tAIN03e8.bin", "-f"},
       "Need to specify both fromFont and toFont.\n\n"},
      {"0x font",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcd0080", "0x12"},
       "Error in font specification `0x12'.\n\n"},
      {"unknown font name",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcd0080", "bold"},
       "Error in font specification `bold'.\n\n"},
      {"empty font",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcd0080", ""},
       "Error in font specification `'.\n\n"},
      {"short remap name",
       {"out.prc", "Name", "appl", "TEST", "-f", "abc", "boldFont"},
       "Filename abc not in required rsrcXXXX format.\n\n"},
      {"remap name without ID",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcd", "boldFont"},
       "Filename abcd not in required rsrcXXXX format.\n\n"},
      {"remap ID not hex",
       {"out.prc", "Name", "appl", "TEST", "-f", "abcdzz12", "boldFont"},
       "Filename abcdzz12 not in required rsrcXXXX format.\n\n"},
  };
  put("tAIN03e8.bin", "data");
  put("empt0001.bin", "");
  put("sub/abc", "data");
  put("sub/tAIN.bin", "data");
  put("sub/tAIN", "data");
  std::set<std::string> before = listing();
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(1, r.status) << c.title;
    EXPECT_EQ(c.err, r.err) << c.title;
    EXPECT_EQ(before, listing()) << c.title << ": the run left files behind";
  }
}

// The library's errors in prcbuild's words, the system's reason left out.
TEST_F(Prcbuild, DatabaseErrorsInItsWords) {
  auto error = [](DatabaseFailure what, const char* path = "", size_t size = 0, char letter = 0) {
    DatabaseError e;
    e.what = what;
    e.file = {ENOSPC, path};
    e.size = size;
    e.letter = letter;
    return e;
  };
  const std::pair<DatabaseError, std::string> cases[] = {
      {error(DatabaseFailure::none), ""},
      {error(DatabaseFailure::empty_entry), "malloc(0) requested."},
      {error(DatabaseFailure::too_many_entries), "Too many entries: a database holds at most 6552.\n"},
      {error(DatabaseFailure::out_of_memory, "", 130000), "Out of memory: 130000 bytes requested."},
      {error(DatabaseFailure::layout, "", 0, 'Q'), "Internal error: Unknown size type Q.\n"},
      {error(DatabaseFailure::open_output, "a b.prc"), "Error opening a b.prc.\n"},
      {error(DatabaseFailure::read_input, "in/x.bin"), "Error reading in/x.bin.\n"},
      {error(DatabaseFailure::write_output, "/dev/full"), "Error writing /dev/full.\n"},
  };
  for (const auto& [e, message] : cases) EXPECT_EQ(database_message(e), message);
}

TEST_F(Prcbuild, ResourceNamesAndOptions) {
  put("tAIN03e8.bin", "first");
  put("dir\\sub/code0001.bin", "second!");
  put("dir/abc.bin", "abc");
  put("big_0002.bin", bytes(130001, 'b'));
  put("neg_-001.bin", "n");
  put("spc_ 7f0.bin", "s");
  put("pfx_0x1f.bin", "p");
  struct Case {
    const char* title;
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {"empty resource database",
       {"-i", "out.prc", "Name", "appl", "TEST"},
       database_bytes("Name", true, "appl", "TEST", {})},
      {"empty record database",
       {"-d", "out.pdb", "Name", "data", "TEST"},
       database_bytes("Name", false, "data", "TEST", {})},
      {"types and IDs from names",
       {"out.prc", "Fonts", "Font", "PGwk", "tAIN03e8.bin", "dir\\sub/code0001.bin", "dir/abc.bin"},
       database_bytes("Fonts", true, "Font", "PGwk",
                      {{"tAIN", 1000, "first"}, {"code", 1, "second!"}, {"abc.", 0x000B, "abc"}})},
      {"ID text read like %x",
       {"out.prc", "N", "appl", "TEST", "neg_-001.bin", "spc_ 7f0.bin", "pfx_0x1f.bin"},
       database_bytes("N", true, "appl", "TEST",
                      {{"neg_", 0xFFFF, "n"}, {"spc_", 0x07F0, "s"}, {"pfx_", 0x001F, "p"}})},
      {"missing inputs skipped with -i, -x accepted",
       {"-x", "-i", "-i", "out.prc", "N", "appl", "TEST", "gone0001.bin", "tAIN03e8.bin"},
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "first"}})},
      {"long file cut to one buffer",
       {"out.prc", "N", "appl", "TEST", "big_0002.bin"},
       database_bytes("N", true, "appl", "TEST", {{"big_", 2, bytes(130000, 'b')}})},
      {"records in order, any names",
       {"-d", "out.pdb", "N", "data", "TEST", "dir/abc.bin", "tAIN03e8.bin", "-f", "r"},
       ""},  // filled below: "-f" is a file in record mode
      {"-s has no effect on records",
       {"-s", "-d", "out.pdb", "N", "data", "TEST", "big_0002.bin"},
       database_bytes("N", false, "data", "TEST", {{"", 0, bytes(130000, 'b')}})},
  };
  put("-f", "dash f");
  put("r", bytes(40000, 'r'));  // large enough to be copied from the file
  cases[6].expected = database_bytes(
      "N", false, "data", "TEST",
      {{"", 0, "abc"}, {"", 0, "first"}, {"", 0, "dash f"}, {"", 0, bytes(40000, 'r')}});
  for (const Case& c : cases) {
    std::string out;  // the first argument that is no option
    for (const std::string& a : c.args)
      if (a[0] != '-') {
        out = a;
        break;
      }
    RunResult r = run(c.args);
    EXPECT_EQ(0, r.status) << c.title << "\n" << r.err;
    EXPECT_EQ("", r.err) << c.title;
    EXPECT_EQ(hex(c.expected), hex(output(out))) << c.title;
    std::filesystem::remove(dir.file(out));
  }
}

TEST_F(Prcbuild, SplitMode) {
  struct Case {
    size_t size;
    std::vector<EntryBytes> expected;
  } cases[] = {
      {129999, {{"tAIN", 1000, bytes(129999, 's')}}},
      {130000, {{"tAIN", 1000, bytes(130000, 's')}}},
      {130001,
       {{"tAIN", 1000, bytes(130000, 's')}, {"2AIN", 1000, bytes(130001, 's').substr(130000)}}},
      {200000,
       {{"tAIN", 1000, bytes(130000, 's')}, {"2AIN", 1000, bytes(200000, 's').substr(130000)}}},
      {260001,
       {{"tAIN", 1000, bytes(130000, 's')}, {"2AIN", 1000, bytes(260000, 's').substr(130000)}}},
  };
  for (const Case& c : cases) {
    put("tAIN03e8.bin", bytes(c.size, 's'));
    RunResult r = run({"-s", "out.prc", "Split", "appl", "TEST", "tAIN03e8.bin"});
    EXPECT_EQ(0, r.status) << c.size << "\n" << r.err;
    EXPECT_EQ(hex(database_bytes("Split", true, "appl", "TEST", c.expected)),
              hex(output("out.prc")))
        << c.size;
  }
}

TEST_F(Prcbuild, FontRemapGroupsMixWithFiles) {
  put("tAIN03e8.bin", "file");
  RunResult r = run({"out.prc",  "Remap",
                     "Font",     "PGwk",
                     "-f",       "abcd0080",
                     "boldFont", "tAIN03e8.bin",
                     "-fx",      "abcd0081",
                     "LEDFONT",  "-f",
                     "wxyz1234", "stdFixedFont_palm",
                     "-f",       "abcd0080",
                     "1a2",      "-fonts",
                     "q__FFFF",  "hrlargeboldfont"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("Remap", true, "Font", "PGwk",
                               {{"abcd", 0x80, "@\x00\x00\x01"s},
                                {"tAIN", 1000, "file"},
                                {"abcd", 0x81, "@\x00\x00\x06"s},
                                {"wxyz", 0x1234, "@\x00\x00\x90"s},
                                {"abcd", 0x80, "@\x00\x01\xa2"s},
                                {"q__F", 0xFFF, "@\x00\x00\x0f"s}})),
            hex(output("out.prc")));
}

TEST_F(Prcbuild, MostEntriesAndOneTooMany) {
  // 6552 groups make a command line far longer than Windows takes (32767).
  if (windows_build()) GTEST_SKIP() << "command line too long for Windows";
  std::vector<std::string> args = {"out.prc", "Many", "Font", "PGwk"};
  std::vector<EntryBytes> expected;
  for (unsigned i = 0; i < 6552; ++i) {
    char name[9];
    snprintf(name, sizeof name, "frmp%04x", i);
    args.insert(args.end(), {"-f", name, "narrowFixedFont"});
    expected.push_back({"frmp", i, "@\x00\x00\x81"s});
  }
  RunResult r = run(args);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("Many", true, "Font", "PGwk", expected)), hex(output("out.prc")));

  std::filesystem::remove(dir.file("out.prc"));
  args.insert(args.end(), {"-f", "frmpffff", "0"});
  r = run(args);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Too many entries: a database holds at most 6552.\n\n", r.err);
  EXPECT_FALSE(file_exists(dir.file("out.prc")));
}

TEST_F(Prcbuild, ExistingOutputKeptOnFailureReplacedOnSuccess) {
  put("tAIN03e8.bin", "new data");
  put("out.prc", "precious");
  RunResult r = run({"out.prc", "N", "appl", "TEST", "tAIN03e8.bin", "gone0001.bin"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("precious", read_file(dir.file("out.prc")));

  r = run({"out.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "new data"}})),
            hex(output("out.prc")));
  EXPECT_EQ((std::set<std::string>{"out.prc", "tAIN03e8.bin"}), listing());
}

// The database replaces its own input: every input is read from the old file.
TEST_F(Prcbuild, OutputIsAlsoAnInput) {
  std::string big = bytes(50000, 'o');  // large enough to be copied from the file
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"tAIN0001.bin", "N", "appl", "TEST", "tAIN0002.bin", "tAIN0001.bin"},
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 2, "small"}, {"tAIN", 1, big}})},
      {{"-d", "tAIN0001.bin", "N", "data", "TEST", "tAIN0001.bin", "tAIN0002.bin", "tAIN0001.bin"},
       database_bytes("N", false, "data", "TEST", {{"", 0, big}, {"", 0, "small"}, {"", 0, big}})},
  };
  for (const Case& c : cases) {
    put("tAIN0001.bin", big);
    put("tAIN0002.bin", "small");
    RunResult r = run(c.args);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ(hex(c.expected), hex(output("tAIN0001.bin")));
    EXPECT_EQ("small", read_file(dir.file("tAIN0002.bin")));
    EXPECT_EQ((std::set<std::string>{"tAIN0001.bin", "tAIN0002.bin"}), listing());
  }
}

TEST_F(PrcbuildPosix, WriteAndReadErrors) {
  put("tAIN03e8.bin", bytes(100000, 'w'));
  put("out.prc", "precious");
  std::filesystem::create_directory(dir.file("dir_0001.bin"));
  std::set<std::string> before = listing();

  RunResult r = run({"out.prc", "N", "appl", "TEST", "dir_0001.bin"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error reading dir_0001.bin.\n\n", r.err);

  r = run({"/dev/full", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error writing /dev/full.\n\n", r.err);
  EXPECT_EQ("precious", read_file(dir.file("out.prc")));
  EXPECT_EQ(before, listing());
}

TEST_F(PrcbuildPosix, PermissionsAndLinks) {
  put("tAIN03e8.bin", "x");
  std::string expected = hex(database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "x"}}));
  auto mode = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(0, stat(dir.file(name).c_str(), &st));
    return st.st_mode & 07777;
  };

  put("old.prc", "old");
  chmod(dir.file("old.prc").c_str(), 0604);
  RunResult r = run({"old.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(0604u, mode("old.prc"));
  EXPECT_EQ(expected, hex(output("old.prc")));

  std::filesystem::create_directory(dir.file("real"));
  put("real/target.prc", "old");
  std::filesystem::create_symlink("real/target.prc", dir.file("link.prc"));
  r = run({"link.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.prc")));
  EXPECT_EQ(expected, hex(output("real/target.prc")));
}

// The Palm::PDB modules read back what was written, as a peer tool would.
TEST_F(Prcbuild, IndependentReaderAgrees) {
  put("tAIN03e8.bin", "hello");
  put("code0001.bin", "\x01\x02\x03"s);
  RunResult r = run({"out.prc", "Example Fonts", "Font", "PGwk", "tAIN03e8.bin", "-f", "abcd0080",
                     "boldFont", "code0001.bin"});
  ASSERT_EQ(0, r.status) << r.err;
  r = run({"-d", "out.pdb", "Records", "data", "TEST", "tAIN03e8.bin", "code0001.bin"});
  ASSERT_EQ(0, r.status) << r.err;

  auto dump = [&](const std::string& file) {
    RunResult d = run_command({"perl", PALM_DUMP_PATH, "--data", dir.file(file)});
    EXPECT_EQ(0, d.status) << d.err;
    // Drop the two clock lines, which change from run to run.
    std::string kept, line;
    std::istringstream in(d.out);
    while (std::getline(in, line))
      if (line.rfind("created:", 0) != 0 && line.rfind("modified:", 0) != 0) kept += line + "\n";
    return kept;
  };
  EXPECT_EQ(
      "name:       Example Fonts\n"
      "kind:       resource database (.prc)\n"
      "attributes: resource backup\n"
      "version:    1\n"
      "type:       Font\n"
      "creator:    PGwk\n"
      "entries:    3\n"
      "  tAIN  1000 (0x03e8)       5 bytes: 68 65 6c 6c 6f\n"
      "  abcd   128 (0x0080)       4 bytes: 40 00 00 01\n"
      "  code     1 (0x0001)       3 bytes: 01 02 03\n",
      dump("out.prc"));
  EXPECT_EQ(
      "name:       Records\n"
      "kind:       record database (.pdb)\n"
      "attributes: backup\n"
      "version:    1\n"
      "type:       data\n"
      "creator:    TEST\n"
      "entries:    2\n"
      "  record 0: uid 0, 5 bytes: 68 65 6c 6c 6f\n"
      "  record 1: uid 1, 3 bytes: 01 02 03\n",
      dump("out.pdb"));

  r = run({"-d", "empty.pdb", "Nothing", "data", "TEST"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "name:       Nothing\n"
      "kind:       record database (.pdb)\n"
      "attributes: backup\n"
      "version:    1\n"
      "type:       data\n"
      "creator:    TEST\n"
      "entries:    0\n",
      dump("empty.pdb"));
}

}  // namespace
