// prcbuild as a process where a careless writer would lose data: POSIX
// limits, other users, full file systems and signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
