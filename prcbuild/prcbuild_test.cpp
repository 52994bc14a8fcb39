// End-to-end runs of the built program: exact file bytes, messages and exit
// statuses, and nothing left behind by a failed run. PRCBUILD may name another
// build to run instead (a command prefix such as "wine .../prcbuild.exe").
#include "prcbuild.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "palm_bytes.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

std::vector<std::string> command_prefix() {
  return program_command("PRCBUILD", PRCBUILD_PATH);
}

bool windows_build() {
  return runs_under_wine(command_prefix());
}

// The program name as the program itself sees it, for the usage text.
std::string program_name() {
  const char* env = getenv("PRCBUILD_ARGV0");
  return env && *env ? env : command_prefix().back();
}

std::string usage() {
  std::string p = program_name();
  return "Usage:\n  " + p +
         " outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
         "or:\n  " +
         p +
         " -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n\n"
         "Fonts may be specified either by name identifier or in hex.  This is only for\n"
         "generating font remap packages for software using Pagewick font packages.\n\n";
}

std::string bytes(size_t n, char seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 + i / 256);
  return s;
}

struct Prcbuild : testing::Test {
  // Files named with '\' stand in folders on Windows and in one folder here.
  void put(const std::string& name, const std::string& content) {
    std::string path = dir.file(name);
    if (windows_build())
      for (char& c : path)
        if (c == '\\') c = '/';
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, content);
  }

  RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    std::vector<std::string> argv = command_prefix();
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run_command(argv, {dir.path, std::move(env), 300});
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ("", r.out) << "standard output is never written";
    // Standard error is a text stream on Windows: each line ends in CR LF there.
    if (windows_build()) r.err = from_wine(r.err);
    return r;
  }

  // The output file's bytes, with the two clock fields checked and zeroed.
  std::string output(const std::string& name) {
    std::string file = read_file(dir.file(name));
    if (file.size() < 78) return file;
    EXPECT_EQ(hex(file.substr(36, 4)), hex(file.substr(40, 4)));
    file.replace(36, 8, std::string(8, '\0'));
    return file;
  }

  std::set<std::string> listing() { return tree_names(dir.path); }

  TempDir dir;
};

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

// Backslashes separate folders on Windows; elsewhere they are part of a name,
// and the type and ID come from after the last one all the same.
TEST_F(Prcbuild, WindowsPathsGiveTypeAndId) {
  put("dir\\sub\\tAIN03e8.bin", "back");
  put("dir\\sub/code0001.bin", "mixed");
  RunResult r =
      run({"out.prc", "N", "appl", "TEST", "dir\\sub\\tAIN03e8.bin", "dir\\sub/code0001.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("N", true, "appl", "TEST",
                               {{"tAIN", 1000, "back"}, {"code", 1, "mixed"}})),
            hex(output("out.prc")));

  r = run({"-d", "out.pdb", "N", "data", "TEST", "dir\\sub\\tAIN03e8.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("N", false, "data", "TEST", {{"", 0, "back"}})),
            hex(output("out.pdb")));

  r = run({"bad.prc", "N", "appl", "TEST", "dir\\sub\\tAIN03e8.bin", "dir\\sub\\gone0001.bin"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error opening dir\\sub\\gone0001.bin.\n\n", r.err);
  EXPECT_FALSE(file_exists(dir.file("bad.prc")));
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

// What only a POSIX system can show: devices, permissions, links, file size limits.
struct PrcbuildPosix : Prcbuild {
  void SetUp() override {
    if (windows_build()) GTEST_SKIP() << "POSIX file system behaviour";
  }
  RunResult shell(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/bin/sh", "-c", script, "sh"};
    std::vector<std::string> prefix = command_prefix();
    argv.insert(argv.end(), prefix.begin(), prefix.end());
    argv.insert(argv.end(), args.begin(), args.end());
    return run_command(argv, {dir.path, {}, 120});
  }
};

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

  // A file size limit makes the write fall short, as a full disk would.
  r = shell("trap '' XFSZ; ulimit -f 64; exec \"$@\"",
            {"out.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error writing out.prc.\n\n", r.err);
  EXPECT_EQ("precious", read_file(dir.file("out.prc")));
  EXPECT_EQ(before, listing());
}

// Inputs past the open-file limit are read into memory instead of being held
// open; the database is the same either way.
TEST_F(PrcbuildPosix, FewOpenFilesAllowed) {
  std::vector<std::string> args = {"-s", "out.prc", "Many", "appl", "TEST"};
  std::vector<EntryBytes> expected;
  for (unsigned i = 0; i < 40; ++i) {
    char name[16];
    snprintf(name, sizeof name, "f%03x%04x.bin", i, i);
    size_t size = i % 3 == 0 ? 130000 + i * 1000 : i % 3 == 1 ? 40000 + i : 1 + i;
    std::string data = bytes(size, static_cast<char>(i));
    put(name, data);
    args.push_back(name);
    std::string type = std::string(name, 4);
    expected.push_back({type, i, data.substr(0, 130000)});
    if (size > 130000) expected.push_back({"2" + type.substr(1), i, data.substr(130000)});
  }
  RunResult r = shell("ulimit -n 80; exec \"$@\"", args);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(hex(database_bytes("Many", true, "appl", "TEST", expected)), hex(output("out.prc")));
}

TEST_F(PrcbuildPosix, PermissionsAndLinks) {
  put("tAIN03e8.bin", "x");
  std::string expected = hex(database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "x"}}));
  auto mode = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(0, stat(dir.file(name).c_str(), &st));
    return st.st_mode & 07777;
  };

  RunResult r = shell("umask 027; exec \"$@\"", {"new.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(0640u, mode("new.prc"));

  put("old.prc", "old");
  chmod(dir.file("old.prc").c_str(), 0604);
  r = run({"old.prc", "N", "appl", "TEST", "tAIN03e8.bin"});
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

// Runs where a careless writer would lose data. Each case prepares a folder
// of its own (files, then shell commands), runs the program under a bash
// prefix (limits, inherited descriptors, a reader), and checks the status,
// the message, the database where one is written, and that everything else
// in the folder is exactly as it was: inputs, old outputs, no temporary.
struct SafetyCase {
  const char* title;
  std::vector<std::pair<std::string, std::string>> files;
  std::string setup;   // sh commands in the folder; $OWNER is the user the program runs as
  std::string prefix;  // bash commands before the program, in its process
  std::vector<std::string> args;
  int status;
  std::string err;
  std::string written = "";  // where the database lands when the run succeeds
  std::string expected = "";
};

struct PrcbuildSafety : PrcbuildPosix {
  // The user that runs the program: this one, or nobody when this is root.
  std::vector<std::string> user;
  std::string owner = std::to_string(getuid()) + ":" + std::to_string(getgid());

  // The command that runs the program: as built, or a copy that nobody can
  // reach wherever the checkout lies (a private home folder, say).
  std::vector<std::string> program = command_prefix();
  TempDir reachable;

  // Where root would bypass a permission, the program runs as nobody. Sets
  // why not when it can't.
  bool drop_privileges(std::string& why) {
    if (getuid() != 0) return true;
    user = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    owner = "65534:65534";
    chmod(dir.path.c_str(), 0755);
    if (program.size() == 1) {
      std::string copy = reachable.file("prcbuild");
      std::filesystem::copy_file(program[0], copy);
      chmod(reachable.path.c_str(), 0755);
      chmod(copy.c_str(), 0755);
      program = {copy};
    }
    // Through a shell, as the cases run: setpriv itself may still reach
    // what nobody can't.
    std::vector<std::string> probe = user;
    probe.insert(probe.end(), {"/bin/sh", "-c", "exec \"$0\"", program[0]});
    RunResult r = run_command(probe, {dir.path, {}, 120});
    why = "user nobody can't run " + program[0] + " in " + dir.path + " (status " +
          std::to_string(r.status) + "; is TMPDIR out of its reach?)";
    // setpriv's own failure is status 1 too: the usage text tells them apart.
    return r.status == 1 && (r.out + r.err).find("Usage:") != std::string::npos;
  }

  // Every file's size and hash, link targets, folders, other kinds.
  static std::map<std::string, std::string> snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> seen;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
      std::string name = e.path().lexically_relative(folder).string();
      fs::file_status st = e.symlink_status();
      if (fs::is_symlink(st)) {
        seen[name] = "link to " + fs::read_symlink(e.path()).string();
      } else if (fs::is_regular_file(st)) {
        std::string bytes = read_file(e.path().string());
        seen[name] = std::to_string(bytes.size()) + " bytes, hash " +
                     std::to_string(std::hash<std::string>{}(bytes));
      } else {
        seen[name] = fs::is_directory(st) ? "folder" : "special";
      }
    }
    return seen;
  }

  void check(const std::vector<SafetyCase>& cases) {
    int n = 0;
    for (const SafetyCase& c : cases) {
      std::string sub = "case" + std::to_string(++n), folder = dir.file(sub);
      std::filesystem::create_directory(folder);
      chmod(folder.c_str(), 0755);
      for (const auto& [name, bytes] : c.files) {
        std::filesystem::create_directories(
            std::filesystem::path(folder + "/" + name).parent_path());
        write_file(folder + "/" + name, bytes);
      }
      RunResult s = run_command({"/bin/sh", "-ec", c.setup}, {folder, {"OWNER=" + owner}});
      if (s.status != 0) {
        ADD_FAILURE() << c.title << ": setup failed\n" << s.err;
        continue;
      }
      std::map<std::string, std::string> before = snapshot(folder);

      std::vector<std::string> argv = user;
      argv.insert(argv.end(), {"/bin/bash", "-c", c.prefix + "\nexec \"$@\"", "bash"});
      for (const std::vector<std::string>& part : {program, c.args})
        argv.insert(argv.end(), part.begin(), part.end());
      RunResult r = run_command(argv, {folder, {}, 120});
      EXPECT_EQ(c.status, r.status) << c.title;
      EXPECT_EQ(c.err, r.err) << c.title;
      EXPECT_EQ("", r.out) << c.title;

      std::map<std::string, std::string> after = snapshot(folder);
      if (!c.written.empty()) {
        std::string got = output(sub + "/" + c.written);
        EXPECT_EQ(c.expected.size(), got.size()) << c.title;
        EXPECT_TRUE(c.expected == got) << c.title << ": the database differs";
        before.erase(c.written);
        after.erase(c.written);
      }
      EXPECT_EQ(before, after) << c.title << ": files changed, appeared or went";
      run_command({"/bin/sh", "-c", "umount mnt 2>/dev/null; chmod -R u+w ."}, {folder, {}, 120});
    }
  }
};

const std::string kLongName = "tAIN0001" + std::string(240, 'x');  // 248 bytes

TEST_F(PrcbuildSafety, OutputsThatAreInputsOrCannotBeWritten) {
  std::string data = bytes(50000, 'i'), piece = bytes(65536, 'p'), small = bytes(32768, 'r');
  std::vector<std::string> many = {"-d", "many.pdb", "N", "data", "TEST"};
  std::vector<EntryBytes> records;
  for (int i = 0; i < 300; ++i) {
    many.push_back("rec.bin");
    records.push_back({"", 0, small});
  }
  std::vector<std::pair<std::string, std::string>> two_pieces = {
      {"out.prc", "precious"}, {"tAIN0001.bin", piece}, {"tAIN0002.bin", piece}};
  auto long_old = two_pieces;
  long_old[0].first = kLongName;
  check({
      {"output is its own input",
       {{"tAIN0001.bin", data}},
       "",
       "",
       {"tAIN0001.bin", "N", "appl", "TEST", "tAIN0001.bin"},
       0,
       "",
       "tAIN0001.bin",
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1, data}})},
      {"record database is its own input",
       {{"rec.bin", data}},
       "",
       "",
       {"-d", "rec.bin", "N", "data", "TEST", "rec.bin", "rec.bin"},
       0,
       "",
       "rec.bin",
       database_bytes("N", false, "data", "TEST", {{"", 0, data}, {"", 0, data}})},
      {"name too long for the usual temporary name, output is its input",
       {{kLongName, data}},
       "",
       "",
       {kLongName, "N", "appl", "TEST", kLongName},
       0,
       "",
       kLongName,
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1, data}})},
      {"the same with -d",
       {{kLongName, data}},
       "",
       "",
       {"-d", kLongName, "N", "data", "TEST", kLongName},
       0,
       "",
       kLongName,
       database_bytes("N", false, "data", "TEST", {{"", 0, data}})},
      {"file size limit",
       two_pieces,
       "",
       "ulimit -f 100",
       {"out.prc", "N", "appl", "TEST", "tAIN0001.bin", "tAIN0002.bin"},
       1,
       "Error writing out.prc.\n\n"},
      {"file size limit, long output name",
       long_old,
       "",
       "ulimit -f 100",
       {kLongName, "N", "appl", "TEST", "tAIN0001.bin", "tAIN0002.bin"},
       1,
       "Error writing " + kLongName + ".\n\n"},
      {"the reader of a FIFO goes away",
       {{"tAIN0001.bin", piece}, {"tAIN0002.bin", piece}},
       "mkfifo out.fifo",
       "head -c 10 out.fifo >/dev/null &",
       {"out.fifo", "N", "appl", "TEST", "tAIN0001.bin", "tAIN0002.bin"},
       1,
       "Error writing out.fifo.\n\n"},
      {"descriptors inherited from the caller",
       {{"rec.bin", small}},
       "",
       "for i in $(seq 110); do exec {fd}</dev/null; done; ulimit -n 256",
       many,
       0,
       "",
       "many.pdb",
       database_bytes("N", false, "data", "TEST", records)},
      {"dangling symbolic link: its target is made",
       {{"tAIN0001.bin", "x"}},
       "mkdir real && ln -s real/new.prc link.prc",
       "",
       {"link.prc", "N", "appl", "TEST", "tAIN0001.bin"},
       0,
       "",
       "real/new.prc",
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1, "x"}})},
      {"dangling symbolic link into a missing folder",
       {{"tAIN0001.bin", "x"}},
       "ln -s gone/new.prc link.prc",
       "",
       {"link.prc", "N", "appl", "TEST", "tAIN0001.bin"},
       1,
       "Error opening link.prc.\n\n"},
  });
}

TEST_F(PrcbuildSafety, RefusedWherePermissionsForbid) {
  std::string why;
  if (!drop_privileges(why)) GTEST_SKIP() << why;
  std::string data = bytes(50000, 'u');
  check({
      {"folder not writable, output is its input",
       {{"ro/tAIN0001.bin", data}},
       "chown $OWNER ro/tAIN0001.bin; chmod 555 ro",
       "",
       {"ro/tAIN0001.bin", "N", "appl", "TEST", "ro/tAIN0001.bin"},
       1,
       "Error opening ro/tAIN0001.bin.\n\n"},
      {"the same with -d",
       {{"ro/rec.bin", data}},
       "chown $OWNER ro/rec.bin; chmod 555 ro",
       "",
       {"-d", "ro/rec.bin", "N", "data", "TEST", "ro/rec.bin"},
       1,
       "Error opening ro/rec.bin.\n\n"},
      {"folder not writable, writable old output",
       {{"ro/out.prc", "precious"}, {"tAIN0001.bin", data}},
       "chown $OWNER ro/out.prc; chmod 555 ro",
       "",
       {"ro/out.prc", "N", "appl", "TEST", "tAIN0001.bin"},
       1,
       "Error opening ro/out.prc.\n\n"},
      {"read-only old output in a writable folder",
       {{"out.prc", "precious"}, {"tAIN0001.bin", data}},
       "chown $OWNER out.prc; chmod 444 out.prc; chmod 777 .",
       "",
       {"out.prc", "N", "appl", "TEST", "tAIN0001.bin"},
       1,
       "Error opening out.prc.\n\n"},
  });
}

TEST_F(PrcbuildSafety, FullFileSystems) {
  {
    TempDir probe;
    if (run_command({"mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", probe.path}).status != 0)
      GTEST_SKIP() << "can't mount a file system here";
    run_command({"umount", probe.path});
  }
  std::string data = bytes(50000, 'f'), piece = bytes(65536, 'p');
  const std::string tiny = "mkdir mnt && mount -t tmpfs -o size=64k tmpfs mnt && ";
  check({
      {"no free inodes, output is its input",
       {{"tAIN0001.bin", data}},
       "mkdir mnt && mount -t tmpfs -o size=1m,nr_inodes=2 tmpfs mnt && mv tAIN0001.bin mnt/",
       "",
       {"mnt/tAIN0001.bin", "N", "appl", "TEST", "mnt/tAIN0001.bin"},
       1,
       "Error opening mnt/tAIN0001.bin.\n\n"},
      {"the same with -d",
       {{"rec.bin", data}},
       "mkdir mnt && mount -t tmpfs -o size=1m,nr_inodes=2 tmpfs mnt && mv rec.bin mnt/",
       "",
       {"-d", "mnt/rec.bin", "N", "data", "TEST", "mnt/rec.bin"},
       1,
       "Error opening mnt/rec.bin.\n\n"},
      {"disk full",
       {{"tAIN0001.bin", piece}, {"tAIN0002.bin", piece}},
       tiny + "printf precious >mnt/out.prc",
       "",
       {"mnt/out.prc", "N", "appl", "TEST", "tAIN0001.bin", "tAIN0002.bin"},
       1,
       "Error writing mnt/out.prc.\n\n"},
      {"disk full, long output name",
       {{"tAIN0001.bin", piece}, {"tAIN0002.bin", piece}},
       tiny + "printf precious >mnt/" + kLongName,
       "",
       {"mnt/" + kLongName, "N", "appl", "TEST", "tAIN0001.bin", "tAIN0002.bin"},
       1,
       "Error writing mnt/" + kLongName + ".\n\n"},
  });
}

// An interrupt, termination or hangup while the database is being written:
// the program dies of that signal, the temporary file goes, the old output
// stays. The program stops itself at a named call (a preloaded library), so
// the signal lands exactly there: once the temporary file is made, and while
// it replaces the output, where the signal is held back until the output is
// whole.
TEST_F(PrcbuildPosix, SignalsLeaveNoTemporary) {
  put("tAIN0001.bin", bytes(65536, 's'));
  std::vector<std::string> args = command_prefix();
  args.insert(args.end(), {"out.prc", "N", "appl", "TEST"});
  args.insert(args.end(), 20, "tAIN0001.bin");
  const size_t whole = 78 + 20 * 10 + 2 + 20 * 65536;

  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    for (const char* call : {"mkstemp:1", "rename:1"}) {
      put("out.prc", "precious");
      std::set<std::string> before = listing();
      pid_t pid = fork();
      if (pid == 0) {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        if (chdir(dir.path.c_str()) != 0) _exit(126);
        setenv("PAUSE_CALL", call, 1);
        setenv("LD_PRELOAD", PAUSE_CALL_PATH, 1);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
      }
      int status = 0;
      waitpid(pid, &status, WUNTRACED);
      ASSERT_TRUE(WIFSTOPPED(status)) << call << ", status " << status;
      kill(pid, signal_number);
      kill(pid, SIGCONT);
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number)
          << call << ", signal " << signal_number << ", status " << status;
      std::string out = read_file(dir.file("out.prc"));
      if (call[0] == 'm')
        EXPECT_EQ("precious", out) << signal_number;
      else
        EXPECT_EQ(whole, out.size()) << signal_number;
      EXPECT_EQ(before, listing()) << call << ", signal " << signal_number;
    }
  }
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
