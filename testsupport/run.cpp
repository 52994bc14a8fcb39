#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

RunResult run_command(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult result;
  int out_pipe[2], err_pipe[2];
  if (argv.empty() || pipe(out_pipe) != 0) return result;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  pid_t pid = fork();
  if (pid == 0) {
    // A process group of its own, so a timeout can stop everything it started.
    setpgid(0, 0);
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : options.env) {
      size_t eq = e.find('=');
      if (eq == std::string::npos)
        unsetenv(e.c_str());
      else
        setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (open_count > 0) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long elapsed_ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    long left_ms = options.timeout_seconds * 1000L - elapsed_ms;
    if (left_ms <= 0) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      break;
    }
    int n = poll(fds, 2, static_cast<int>(left_ms));
    if (n < 0 && errno == EINTR) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[65536];
      ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wstatus))
    result.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus))
    result.status = 128 + WTERMSIG(wstatus);
  return result;
}

std::vector<std::string> env_command(const char* env_name) {
  const char* env = getenv(env_name);
  std::istringstream words(env ? env : "");
  std::vector<std::string> command;
  for (std::string w; words >> w;) command.push_back(w);
  return command;
}

std::vector<std::string> program_command(const char* env_name, const char* built_path) {
  std::vector<std::string> command = env_command(env_name);
  if (command.empty()) command.push_back(built_path);
  return command;
}

bool runs_under_wine(const std::vector<std::string>& command) {
  return !command.empty() && command.back().size() > 4 && command.back().ends_with(".exe");
}

std::string without_cr(const std::string& text) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf += text[i];
  return lf;
}

std::string from_wine(const std::string& text) {
  std::string kept, lf = without_cr(text);
  for (size_t start = 0; start < lf.size();) {
    size_t end = lf.find('\n', start);
    end = end == std::string::npos ? lf.size() : end + 1;
    if (lf.compare(start, 6, "wine: ") != 0) kept.append(lf, start, end - start);
    start = end;
  }
  return kept;
}

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/pft-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::set<std::string> folder_names(const std::string& path) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path))
    names.insert(e.path().filename().string());
  return names;
}

std::set<std::string> tree_names(const std::string& path) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(path))
    names.insert(e.path().lexically_relative(path).string());
  return names;
}

std::string hex(const std::string& bytes) {
  std::string s;
  char pair[4];
  for (unsigned char c : bytes) {
    snprintf(pair, sizeof pair, s.empty() ? "%02x" : " %02x", c);
    s += pair;
  }
  return s;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  return hex(as_string(bytes));
}

std::string as_string(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}
