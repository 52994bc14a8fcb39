// Helpers shared by the test programs: run a built binary as a user would and
// look at what it left behind. Not part of either tool.
#pragma once

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

// Bytes written as hex pairs separated by spaces, for readable comparisons.
std::string hex(const std::string& bytes);
