#include "in_process.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

std::string read_all(FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  return text;
}

// The run's two streams, closed however it ends.
struct Streams {
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  Streams() = default;
  Streams(const Streams&) = delete;
  Streams& operator=(const Streams&) = delete;
  ~Streams() {
    for (FILE* file : {out, err})
      if (file) std::fclose(file);
  }
};

// Back in the caller's folder however the run ends: a run that throws must
// not leave the next case in its (removed) folder.
struct FolderChange {
  std::string here = std::filesystem::current_path().string();
  explicit FolderChange(const std::string& to) {
    if (!to.empty() && chdir(to.c_str()) != 0)
      throw std::runtime_error("cannot set up an in-process run in " + to);
  }
  ~FolderChange() {
    if (chdir(here.c_str()) != 0) std::perror(here.c_str());
  }
};

// Sets and unsets variables as "NAME=value" / "NAME" say, and puts every one
// back as it was when it goes.
struct EnvironmentChange {
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  explicit EnvironmentChange(const std::vector<std::string>& changes) {
    for (const std::string& change : changes) {
      size_t eq = change.find('=');
      std::string name = change.substr(0, eq);
      const char* old = getenv(name.c_str());
      saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (eq == std::string::npos)
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), change.c_str() + eq + 1, 1);
    }
  }
  ~EnvironmentChange() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }
};

}  // namespace

RunResult run_program(const char* env_name, const char* name, RunFunction run,
                      const std::vector<std::string>& args, const RunOptions& options) {
  std::vector<std::string> argv = env_command(env_name);
  bool here = argv.empty();
  if (here) argv.push_back(name);
  argv.insert(argv.end(), args.begin(), args.end());
  return here ? run_in_process(run, argv, options) : run_command(argv, options);
}

RunResult run_in_process(RunFunction run, const std::vector<std::string>& argv,
                         const RunOptions& options) {
  RunResult result;
  Streams streams;
  if (!streams.out || !streams.err)
    throw std::runtime_error("cannot make the files of an in-process run");
  {
    FolderChange folder(options.cwd);
    EnvironmentChange environment(options.env);
    // The program may keep pointers into argv, as main's may; the copies
    // outlive the call.
    std::vector<std::string> words = argv;
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    result.status = run(static_cast<int>(words.size()), args.data(), streams.out, streams.err);
  }
  result.out = read_all(streams.out);
  result.err = read_all(streams.err);
  return result;
}

size_t open_descriptors() {
  std::error_code error;
  std::filesystem::directory_iterator fds("/proc/self/fd", error);
  if (error) return 0;
  // The iterator's own descriptor is counted alike before and after a run.
  return static_cast<size_t>(std::distance(fds, std::filesystem::directory_iterator()));
}
