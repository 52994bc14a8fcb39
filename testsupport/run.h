// Helpers shared by the test programs: run a built binary as a user would and
// look at what it left behind. Not part of either tool.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct RunResult {
  int status = -1;  // exit code, 128 + signal when killed, -1 when not started
  bool timed_out = false;
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string cwd;               // empty: the caller's directory
  std::vector<std::string> env;  // "NAME=value" set, or "NAME" unset, on top of ours
  int timeout_seconds = 120;
};

// Runs argv[0] (searched in PATH when it has no slash) with standard input
// closed, collecting both output streams.
RunResult run_command(const std::vector<std::string>& argv, const RunOptions& options = {});

// The words of the command in the environment variable env_name, which may
// name another build to test ("wine build/prcbuild.exe"); none when it is
// unset or empty.
std::vector<std::string> env_command(const char* env_name);

// env_command(env_name), or else the program built beside the tests.
std::vector<std::string> program_command(const char* env_name, const char* built_path);

// Whether the command runs a Windows build: its last word names an .exe.
bool runs_under_wine(const std::vector<std::string>& command);

// Text with each CR LF, as a Windows text stream ends its lines, made LF.
std::string without_cr(const std::string& text);

// A Windows program's standard error as run under wine: CR LF as LF, and
// without the lines wine itself adds ("wine: ..."), which none of the
// programs prints; a crash of the program still shows in its status.
std::string from_wine(const std::string& text);

// A fresh directory under TMPDIR, removed with everything in it by the destructor.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
  std::string file(const std::string& name) const { return path + "/" + name; }
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// The names in a folder, hidden ones included.
std::set<std::string> folder_names(const std::string& path);
// Everything beneath a folder, as paths relative to it.
std::set<std::string> tree_names(const std::string& path);

// Bytes written as hex pairs separated by spaces, for readable comparisons.
std::string hex(const std::string& bytes);
std::string hex(const std::vector<uint8_t>& bytes);

std::string as_string(const std::vector<uint8_t>& bytes);
