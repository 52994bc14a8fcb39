// What the writing tests share: bash lines run in a case's folder, signals
// sent where the program stops itself, and the table of cases each checks.
// PRCDUMP and GLYPHSMITH may name another build to run (a command prefix
// such as "wine .../prcdump.exe").
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "in_process.h"
#include "prcdump.h"
#include "prcdump_test.h"
#include "run.h"

inline std::string words(const std::vector<std::string>& command) {
  std::string s;
  for (const std::string& w : command) s += (s.empty() ? "" : " ") + w;
  return s;
}

inline const std::string kPrcdump = words(program_command("PRCDUMP", PRCDUMP_PATH));
inline const std::string kGlyphsmith = words(program_command("GLYPHSMITH", GLYPHSMITH_PATH));

// Everything beneath a folder, sorted, one a line: folders end in '/', links
// show their target, files of at most 8 bytes their bytes.
inline std::string tree_text(const std::string& folder) {
  std::string s;
  for (const std::string& name : tree_names(folder)) {
    std::filesystem::path path = folder + "/" + name;
    s += name;
    if (std::filesystem::is_symlink(path))
      s += " -> " + std::filesystem::read_symlink(path).string();
    else if (std::filesystem::is_directory(path))
      s += "/";
    else if (std::filesystem::file_size(path) <= 8)
      s += "=" + read_file(path.string());
    s += "\n";
  }
  return s;
}

struct Result {
  int status = -1;
  std::string err;
};

// Starts a bash line in folder, its standard error to err_path.
inline pid_t start_line(const std::string& folder, const std::string& line,
                 const std::vector<std::string>& env, const std::string& err_path) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 0);
    dup2(null, 1);
    dup2(err, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("PRCDUMP", kPrcdump.c_str(), 1);
    setenv("GLYPHSMITH", kGlyphsmith.c_str(), 1);
    setenv("TZ", "UTC0", 1);
    // fontconfig keeps a few bytes to the end, under the leak checker.
    setenv("LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0", 1);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    execl("/bin/bash", "bash", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

inline int exit_status(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs a bash line in folder; when the program stops itself (PAUSE_CALL),
// sends it the signal and lets it go on.
inline Result run_line(const std::string& folder, const std::string& line,
                const std::vector<std::string>& env, int signal_number) {
  std::string err_path = folder + "/../stderr";
  pid_t pid = start_line(folder, line, env, err_path);
  Result result;
  int status = 0;
  while (waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status)) {
    kill(pid, signal_number ? signal_number : SIGKILL);
    kill(pid, SIGCONT);
  }
  result.status = exit_status(status);
  result.err = from_wine(read_file(err_path));
  return result;
}

// The random part of a kept file's name as X's.
inline std::string plain_names(const std::string& text) {
  static const std::regex random("(^|[\\n/ '])(\\.[^/\\n' ]+\\.)[A-Za-z0-9]{6}\\b");
  return std::regex_replace(text, random, "$1$2XXXXXX");
}

struct WriteCase {
  const char* title;
  std::map<std::string, std::string> files;  // made in the case's folder first
  std::string setup;                         // then these sh commands there
  std::string line;  // bash; $PRCDUMP and $GLYPHSMITH run the programs
  int status;
  std::string err;   // the whole of standard error
  std::string left;  // the folder afterwards (tree_text)
  std::vector<std::string> env = {};  // PAUSE_CALL, FAIL_CALL
  int signal = 0;                     // sent when the program stops
  bool posix = true;                  // needs POSIX signals, limits, links or preloading
  bool root = false;                  // runs the program as another user
  // Instead of the line: prcdump's arguments, run by one after the other,
  // their standard output left unread.
  std::vector<std::vector<std::string>> runs = {};
};

// prcdump's run function in this process (or PRCDUMP's build) once for each
// argument list: the last status, every standard error.
inline Result run_prcdumps(const std::string& folder,
                           const std::vector<std::vector<std::string>>& runs) {
  std::vector<std::string> named = env_command("PRCDUMP");
  Result result;
  for (const std::vector<std::string>& args : runs) {
    std::vector<std::string> argv = named.empty() ? std::vector<std::string>{"prcdump"} : named;
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options = {folder, {"TZ=UTC0"}, 300};
    size_t open = open_descriptors();
    RunResult r =
        named.empty() ? run_in_process(run_prcdump, argv, options) : run_command(argv, options);
    EXPECT_EQ(open, open_descriptors()) << "descriptors left open";
    result.status = r.status;
    result.err += from_wine(r.err);
  }
  return result;
}

inline void check(const std::vector<WriteCase>& cases) {
  std::string preload = std::string("LD_PRELOAD=") + PAUSE_CALL_PATH;
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.title);
    if ((c.posix && windows_build()) || (c.root && geteuid() != 0)) continue;
    TempDir dir;
    std::string folder = dir.file("case");
    std::filesystem::create_directory(folder);
    for (const auto& [name, bytes] : c.files) write_file(folder + "/" + name, bytes);
    ASSERT_EQ(0, run_command({"/bin/sh", "-ec", c.setup}, {folder, {}, 120}).status);
    std::vector<std::string> env = c.env;
    if (!env.empty()) env.insert(env.end(), {preload, "ASAN_OPTIONS=verify_asan_link_order=0"});
    Result r =
        c.runs.empty() ? run_line(folder, c.line, env, c.signal) : run_prcdumps(folder, c.runs);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.err, plain_names(r.err));
    EXPECT_EQ(c.left, plain_names(tree_text(folder)));
  }
}
