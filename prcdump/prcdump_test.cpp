// End-to-end runs of the built program: exact listings, messages, statuses
// and extracted files; databases written by Palm::PDB, txt2pdbdoc and
// prcbuild; nothing extracted for a bad file. PRCDUMP may name another build
// to run instead (a command prefix such as "wine .../prcdump.exe").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "run.h"

using namespace std::string_literals;

namespace {

std::vector<std::string> command_prefix() {
  const char* env = getenv("PRCDUMP");
  if (!env || !*env) return {PRCDUMP_PATH};
  std::istringstream words(env);
  std::vector<std::string> prefix;
  for (std::string w; words >> w;) prefix.push_back(w);
  return prefix;
}

bool windows_build() {
  const std::string last = command_prefix().back();
  return last.size() > 4 && last.substr(last.size() - 4) == ".exe";
}

// Text streams end their lines in CR LF on Windows.
std::string without_cr(const std::string& text) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf += text[i];
  return lf;
}

std::string be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
  return s;
}

// A database laid out field by field: header, the given entry list, the rest.
std::string header(uint16_t attributes, uint16_t count, const std::string& type = "typecrea",
                   uint32_t app = 0, uint32_t sort = 0, std::string name = "Test") {
  name.resize(32, '\0');
  return name + be(attributes, 2) + be(1, 2) + be(0xD0000000, 4) + be(0, 4) + be(0, 4) + be(0, 4) +
         be(app, 4) + be(sort, 4) + type + std::string(8, '\0') + be(count, 2);
}
std::string res(const std::string& type, uint16_t id, uint32_t offset) {
  return type + be(id, 2) + be(offset, 4);
}

struct Prcdump : testing::Test {
  TempDir dir;

  RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    std::vector<std::string> argv = command_prefix();
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.begin(), "TZ=UTC0");
    RunResult r = run_command(argv, {dir.path, env, 300});
    EXPECT_FALSE(r.timed_out);
    r.out = without_cr(r.out);
    r.err = without_cr(r.err);
    return r;
  }

  void put(const std::string& name, const std::string& bytes) { write_file(dir.file(name), bytes); }

  // Names of the files in a folder, sorted, hidden ones included.
  std::string files_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file(folder)))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
  }

  // Runs a command line as a POSIX shell would, with prcbuild in the PATH.
  RunResult shell(const std::string& line) {
    std::string prcbuild_dir = std::filesystem::path(PRCBUILD_PATH).parent_path().string();
    return run_command({"bash", "-c", line},
                       {dir.path, {"PATH=" + prcbuild_dir + ":" + getenv("PATH")}, 300});
  }
};

const char kUsage[] =
    "Usage: prcdump [-x DIR] FILE...\n"
    "Shows the header and the entries of each Palm OS database FILE (.prc or .pdb).\n"
    "\n"
    "  -x DIR      also write every entry to a file in DIR (made if missing) and\n"
    "              print the prcbuild command line that rebuilds the database\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n";

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
      {{"a.prc", "-x"}, 1, "", "prcdump: -x needs a folder\n"s + kUsage},
      {{"-x", "a", "-xb", "a.prc"}, 1, "", "prcdump: -x given twice\n"s + kUsage},
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
}

// The header fields by name, the entries one a line, dates in the zone of TZ.
TEST_F(Prcdump, Listing) {
  std::string app = "APP", sort = "SO";
  std::string bytes = header(0x8048, 3, "DATAtest", 104, 107, "Notes \x01") + be(109, 4) + "\x40" +
                      be(0x123456, 3) + be(109, 4) + "\x93" + be(1, 3) + be(112, 4) + "\x00"s +
                      be(2, 3) + "\0\0"s + app + sort + "abcxy";
  put("notes.pdb", bytes);
  put("remap.prc", header(1, 2, "Rmap\\\x7f\xff ") + res("Rmap", 0x89, 98) + res("a\nb ", 2, 102) +
                       "@\0\0\x90"s + "@\0\0\x90"s);
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
  EXPECT_EQ(notes_listing +
                "\n"
                "file:         remap.prc\n"
                "name:         Test\n"
                "kind:         resource database\n"
                "type:         Rmap\n"
                "creator:      \\x5c\\x7f\\xff \n"
                "attributes:   0x0001 resource\n"
                "version:      1\n"
                "created:      2014-07-31 14:15:28 UTC\n"
                "modified:     never\n"
                "backed up:    never\n"
                "modification: 0\n"
                "entries:      2\n"
                "  index  type  id          offset        size\n"
                "      0  Rmap  0x0089          98           4  remap to font 0x0090\n"
                "      1  a\\x0ab   0x0002         102           4  remap to font 0x0090\n",
            r.out);

  // The zone is told as an offset from UTC.
  if (!windows_build()) {
    r = run({"notes.pdb"}, {"TZ=XYZ-5:30"});
    EXPECT_NE(std::string::npos, r.out.find("created:      2014-07-31 19:45:28 UTC+5:30\n"))
        << r.out;
  }
}

}  // namespace
