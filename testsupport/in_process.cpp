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
  std::fclose(file);
  return text;
}

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

RunResult run_in_process(RunFunction run, const std::vector<std::string>& argv,
                         const RunOptions& options) {
  RunResult result;
  std::string here = std::filesystem::current_path().string();
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (!out || !err || (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0))
    throw std::runtime_error("cannot set up an in-process run in " + options.cwd);
  {
    EnvironmentChange environment(options.env);
    // The program may keep pointers into argv, as main's may; the copies
    // outlive the call.
    std::vector<std::string> words = argv;
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    result.status = run(static_cast<int>(words.size()), args.data(), out, err);
  }
  if (chdir(here.c_str()) != 0) throw std::runtime_error("cannot return to " + here);
  result.out = read_all(out);
  result.err = read_all(err);
  return result;
}

size_t open_descriptors() {
  std::error_code error;
  std::filesystem::directory_iterator fds("/proc/self/fd", error);
  if (error) return 0;
  // The iterator's own descriptor is counted alike before and after a run.
  return static_cast<size_t>(std::distance(fds, std::filesystem::directory_iterator()));
}
