// prcbuild as a process, as a user starts it: what only a process shows.
// PrcbuildEndToEnd also runs against the Windows build under wine (the name
// the program is started by, paths with '\\', its line ends, its statuses);
// PrcbuildSafety needs POSIX limits, users, mounts and signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "palm_bytes.h"
#include "prcbuild_test.h"
#include "run.h"

using namespace palm;

using namespace std::string_literals;

namespace {

// Every file's size and hash, link targets, folders, other kinds.
std::map<std::string, std::string> snapshot(const std::string& folder) {
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

// What only a POSIX system can show: limits, other users, full file systems
// and signals.
struct PrcbuildPosix : Prcbuild {
  void SetUp() override {
    if (windows_build()) GTEST_SKIP() << "POSIX file system behaviour";
  }
};

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
TEST_F(PrcbuildSafety, SignalsLeaveNoTemporary) {
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

}  // namespace
