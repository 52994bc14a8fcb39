// prcbuild as a process, as a user starts it: what only a process shows.
// PrcbuildEndToEnd also runs against the Windows build under wine (the name
// the program is started by, paths with '\', its line ends, its statuses).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "palm_bytes.h"
#include "prcbuild_test.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// One run of the program as a process. A POSIX shell's commands may set its
// limits first; a failed run leaves the folder as it was.
struct EndToEndCase {
  const char* title;
  std::vector<std::pair<std::string, std::string>> files;
  std::string shell;  // sh commands in the program's process before it starts
  std::vector<std::string> args;
  int status;
  std::string err;
  std::string written = "";  // the database a run that succeeds writes
  std::string expected = "";
  unsigned mode = 0;  // the database's permissions, when checked
};

struct PrcbuildEndToEnd : Prcbuild {
  void check(const std::vector<EndToEndCase>& cases) {
    for (const EndToEndCase& c : cases) {
      SCOPED_TRACE(c.title);
      if (!c.shell.empty() && windows_build()) continue;
      for (const auto& [name, content] : c.files) put(name, content);
      std::map<std::string, std::string> before = snapshot(dir.path);
      std::vector<std::string> args = c.args;
      if (!c.shell.empty()) {
        std::vector<std::string> shell = {"/bin/sh", "-c", c.shell + "\nexec \"$@\"", "sh"};
        std::vector<std::string> prefix = command_prefix();
        args.insert(args.begin(), prefix.begin(), prefix.end());
        args.insert(args.begin(), shell.begin(), shell.end());
      }
      RunResult r =
          c.shell.empty() ? run_process(args) : checked(run_command(args, {dir.path, {}, 300}));
      EXPECT_EQ(c.status, r.status);
      EXPECT_EQ(c.err, r.err);
      if (c.written.empty()) {
        EXPECT_EQ(before, snapshot(dir.path)) << "files changed, appeared or went";
        continue;
      }
      EXPECT_EQ(hex(c.expected), hex(output(c.written)));
      struct stat st = {};
      if (c.mode) {
        EXPECT_EQ(0, stat(dir.file(c.written).c_str(), &st));
        EXPECT_EQ(c.mode, st.st_mode & 07777u);
      }
      std::filesystem::remove(dir.file(c.written));
    }
  }
};

TEST_F(PrcbuildEndToEnd, Runs) {
  // Inputs past the open-file limit are read into memory instead of being
  // held open; the database is the same either way.
  std::vector<std::string> many = {"-s", "many.prc", "Many", "appl", "TEST"};
  std::vector<std::pair<std::string, std::string>> many_files;
  std::vector<EntryBytes> many_entries;
  for (unsigned i = 0; i < 40; ++i) {
    char name[16];
    snprintf(name, sizeof name, "f%03x%04x.bin", i, i);
    size_t size = i % 3 == 0 ? 130000 + i * 1000 : i % 3 == 1 ? 40000 + i : 1 + i;
    std::string data = bytes(size, static_cast<char>(i));
    many_files.push_back({name, data});
    many.push_back(name);
    std::string type = std::string(name, 4);
    many_entries.push_back({type, i, data.substr(0, 130000)});
    if (size > 130000) many_entries.push_back({"2" + type.substr(1), i, data.substr(130000)});
  }
  // Backslashes separate folders on Windows; elsewhere they are part of a
  // name, and the type and ID come from after the last one all the same.
  std::vector<std::pair<std::string, std::string>> paths = {{"dir\\sub\\tAIN03e8.bin", "back"},
                                                            {"dir\\sub/code0001.bin", "mixed"}};
  check({
      {"the usage names the program as it was started", {}, "", {}, 1, usage()},
      {"a missing input",
       {{"tAIN03e8.bin", "data"}},
       "",
       {"out.prc", "Name", "appl", "TEST", "tAIN03e8.bin", "nope0001.bin"},
       1,
       "Error opening nope0001.bin.\n\n"},
      {"Windows paths give type and ID",
       paths,
       "",
       {"out.prc", "N", "appl", "TEST", "dir\\sub\\tAIN03e8.bin", "dir\\sub/code0001.bin"},
       0,
       "",
       "out.prc",
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "back"}, {"code", 1, "mixed"}})},
      {"Windows paths as records",
       paths,
       "",
       {"-d", "out.pdb", "N", "data", "TEST", "dir\\sub\\tAIN03e8.bin"},
       0,
       "",
       "out.pdb",
       database_bytes("N", false, "data", "TEST", {{"", 0, "back"}})},
      {"a missing input named with Windows paths",
       paths,
       "",
       {"bad.prc", "N", "appl", "TEST", "dir\\sub\\tAIN03e8.bin", "dir\\sub\\gone0001.bin"},
       1,
       "Error opening dir\\sub\\gone0001.bin.\n\n"},
      // A file size limit makes the write fall short, as a full disk would.
      {"a file size limit",
       {{"tAIN03e8.bin", bytes(100000, 'w')}, {"out.prc", "precious"}},
       "trap '' XFSZ; ulimit -f 64",
       {"out.prc", "N", "appl", "TEST", "tAIN03e8.bin"},
       1,
       "Error writing out.prc.\n\n"},
      {"few open files allowed", many_files, "ulimit -n 80", many, 0, "", "many.prc",
       database_bytes("Many", true, "appl", "TEST", many_entries)},
      {"a new database's permissions follow the umask",
       {{"tAIN03e8.bin", "x"}},
       "umask 027",
       {"new.prc", "N", "appl", "TEST", "tAIN03e8.bin"},
       0,
       "",
       "new.prc",
       database_bytes("N", true, "appl", "TEST", {{"tAIN", 1000, "x"}}),
       0640},
  });
}

}  // namespace
