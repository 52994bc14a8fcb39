// Whole prcbuild runs over generated command lines and files. prcbuild ends
// every run with exit() and keeps its state in statics, so each case runs in
// a forked child, in a fresh folder, and is then checked against the model:
// exit status, every byte of standard error, nothing on standard output,
// nothing left behind after a failure, and the database read back by an
// independent reader after a success. The child's coverage is copied back so
// that the fuzzer still learns from the runs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "coverage_counters.h"
#include "fuzz_case.h"
#include "palm_check.h"
#include "prcbuild.h"
#include "prcbuild_model.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTimeoutMs = 20000;
constexpr uint32_t kPalmEpochOffset = 2082844800u;

std::string root, case_dir, out_path, err_path, sample_dir;
pid_t fuzzer_pid;
uint8_t* counters;         // this process's coverage counters
uint8_t* shared_counters;  // the child's counters, then one byte: "copied"
size_t counter_count;
unsigned successes, samples;

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string escaped(const std::string& text) {
  std::string q = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      q += '\\';
      q += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      q += hex;
    } else {
      q += static_cast<char>(c);
    }
  }
  return q + "\"";
}

// A file's size and a 64-bit FNV-1a hash of its bytes.
std::string digest(const std::string& path) {
  static char chunk[65536];
  uint64_t hash = 14695981039346656037ull;
  size_t size = 0;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return "unreadable";
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0; size += static_cast<size_t>(n))
    for (ssize_t i = 0; i < n; ++i) hash = (hash ^ static_cast<unsigned char>(chunk[i])) * 1099511628211ull;
  close(fd);
  return std::to_string(size) + ":" + std::to_string(hash);
}

// Every file and folder under dir, each file with its digest.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
    std::string name = fs::relative(e.path(), dir).string();
    entries[name] = e.is_directory() ? std::string("folder") : "file " + digest(e.path().string());
  }
  return entries;
}

void cleanup() {
  if (getpid() != fuzzer_pid || root.empty()) return;
  std::error_code ec;
  fs::remove_all(root, ec);
}

// Runs in the child when prcbuild calls exit(): hand the coverage to the
// parent and leave without the fuzzer's own exit handlers, which would take
// any exit for a fault. (No leak check: in a forked child the leak checker
// still sees the fuzzer's threads and reports false leaks.)
void finish_child(int status, void*) {
  fflush(nullptr);
  if (shared_counters) {
    memcpy(shared_counters, counters, counter_count);
    shared_counters[counter_count] = 1;
  }
  _exit(status);
}

[[noreturn]] void run_child(const std::vector<std::string>& argv) {
  int in = open("/dev/null", O_RDONLY);
  int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || chdir(case_dir.c_str()) != 0) _exit(125);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  on_exit(finish_child, nullptr);
  exit(run_prcbuild(static_cast<int>(argv.size()), args.data()));
}

// Waits for the child at most kTimeoutMs; false when it had to be killed.
bool wait_for(pid_t pid, int* wstatus) {
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  bool done = true;
  if (pidfd >= 0) {
    pollfd p = {pidfd, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, kTimeoutMs)) < 0 && errno == EINTR) {
    }
    done = n > 0;
    close(pidfd);
  } else {
    timespec start, now, nap = {0, 200000};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (waitpid(pid, wstatus, WNOHANG) == 0) {
      clock_gettime(CLOCK_MONOTONIC, &now);
      if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 > kTimeoutMs) {
        done = false;
        break;
      }
      nanosleep(&nap, nullptr);
    }
    if (done) return true;
  }
  if (!done) kill(pid, SIGKILL);
  while (waitpid(pid, wstatus, 0) < 0 && errno == EINTR) {
  }
  return done;
}

[[noreturn]] void finding(const std::vector<std::string>& argv, const std::string& what,
                          const std::string& detail) {
  fprintf(stderr, "\n==== prcbuild finding: %s\ncommand:", what.c_str());
  for (const std::string& a : argv) fprintf(stderr, " %s", escaped(a).c_str());
  fprintf(stderr, "\n%s\n", detail.c_str());
  abort();
}

std::string compare_database(const PalmFile& want, const PalmFile& got, uint32_t earliest,
                             uint32_t latest) {
  if (got.name != want.name) return "name " + escaped(got.name) + ", expected " + escaped(want.name);
  if (got.attributes != want.attributes) return "attributes " + std::to_string(got.attributes);
  if (got.version != 1) return "version " + std::to_string(got.version);
  if (got.type != want.type || got.creator != want.creator)
    return "type/creator " + escaped(got.type + got.creator) + ", expected " + escaped(want.type + want.creator);
  if (got.created != got.modified) return "creation and modification dates differ";
  if (got.created - earliest > latest - earliest) return "creation date is not the time of the run";
  if (got.backed_up || got.modification_number || got.unique_id_seed)
    return "backup date, modification number or unique ID seed is not 0";
  if (got.entries.size() != want.entries.size())
    return std::to_string(got.entries.size()) + " entries, expected " + std::to_string(want.entries.size());
  for (size_t i = 0; i < got.entries.size(); ++i) {
    const PalmEntry& g = got.entries[i];
    const PalmEntry& w = want.entries[i];
    if (g == w) continue;
    char text[200];
    snprintf(text, sizeof text, "entry %zu: %s id %u, %zu bytes; expected %s id %u, %zu bytes%s", i,
             escaped(g.type).c_str(), g.id, g.data.size(), escaped(w.type).c_str(), w.id, w.data.size(),
             g.attributes != w.attributes ? ", attributes differ" : "");
    return text;
  }
  return "";
}

// Keeps a few small databases for scripts/palm-dump.pl, with the text it
// should print for each, to be checked by fuzz/run.sh.
void keep_sample(const std::string& bytes, const PalmFile& expected) {
  size_t data = 0;
  for (const PalmEntry& e : expected.entries) data += e.data.size();
  // Palm::PDB refuses a name whose only NUL follows a newline.
  bool readable = !(expected.name.size() == 31 && expected.name.back() == '\n');
  if (sample_dir.empty() || !readable || data > 65536 || ++successes % 10 != 0 || samples >= 200) return;
  std::string base = sample_dir + "/sample-" + std::to_string(fuzzer_pid) + "-" + std::to_string(samples++);
  std::ofstream(base + ".db", std::ios::binary) << bytes;
  std::ofstream(base + ".expected", std::ios::binary) << palm_dump_text(expected);
}

uint32_t palm_now() { return static_cast<uint32_t>(time(nullptr)) + kPalmEpochOffset; }

}  // namespace

// Every run forks this process: a small quarantine keeps it, and so each
// fork, small.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=4"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzer_pid = getpid();
  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/prcbuild-fuzz-XXXXXX";
  if (!mkdtemp(templ.data())) {
    perror("prcbuild_fuzz: mkdtemp");
    exit(1);
  }
  root = templ;
  case_dir = root + "/run";
  out_path = root + "/stdout";
  err_path = root + "/stderr";
  atexit(cleanup);
  if (const char* dir = getenv("PRCBUILD_FUZZ_SAMPLES")) sample_dir = dir;

  counters = coverage_counters(&counter_count);
  void* shared = counters ? mmap(nullptr, counter_count + 1, PROT_READ | PROT_WRITE,
                                 MAP_SHARED | MAP_ANONYMOUS, -1, 0)
                          : MAP_FAILED;
  // Without the child's coverage the fuzzer would search blind.
  if (shared == MAP_FAILED) {
    fprintf(stderr, "prcbuild_fuzz: can't share coverage counters with the runs\n");
    exit(1);
  }
  shared_counters = static_cast<uint8_t*>(shared);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzCase c = decode_case(data, size);
  std::error_code ec;
  fs::remove_all(case_dir, ec);
  fs::create_directory(case_dir);
  make_case_files(c, case_dir);

  std::map<std::string, std::string> before = snapshot(case_dir);
  ExpectedRun want = expected_run(c.argv, case_dir);

  if (shared_counters) shared_counters[counter_count] = 0;
  uint32_t earliest = palm_now();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    perror("prcbuild_fuzz: fork");
    return 0;
  }
  if (pid == 0) run_child(c.argv);
  int wstatus = 0;
  bool finished = wait_for(pid, &wstatus);
  uint32_t latest = palm_now();
  if (shared_counters && shared_counters[counter_count])
    for (size_t i = 0; i < counter_count; ++i)
      if (shared_counters[i] > counters[i]) counters[i] = shared_counters[i];

  std::string out = read_all(out_path), err = read_all(err_path);
  if (!finished) finding(c.argv, "hang", "killed after " + std::to_string(kTimeoutMs / 1000) + " s");
  if (!WIFEXITED(wstatus))
    finding(c.argv, "killed by signal " + std::to_string(WTERMSIG(wstatus)), "stderr:\n" + err);
  int status = WEXITSTATUS(wstatus);
  if (status != 0 && status != 1)
    finding(c.argv, "exit status " + std::to_string(status), "stderr:\n" + err);
  if (!out.empty()) finding(c.argv, "output on stdout", escaped(out));
  if (status != want.status || err != want.err)
    finding(c.argv, "outcome differs",
            "status " + std::to_string(status) + ", expected " + std::to_string(want.status) +
                "\nstderr:   " + escaped(err) + "\nexpected: " + escaped(want.err));

  std::map<std::string, std::string> after = snapshot(case_dir);
  if (status == 1) {
    if (after != before) finding(c.argv, "a failed run changed its folder", "");
    return 0;
  }
  std::string output = fs::path(want.output).lexically_normal().string();
  for (const auto& [name, contents] : after)
    if (name != output && (!before.count(name) || before[name] != contents))
      finding(c.argv, "a run left or changed " + escaped(name), "");
  for (const auto& [name, contents] : before)
    if (!after.count(name)) finding(c.argv, "a run removed " + escaped(name), "");

  std::string bytes = read_all(case_dir + "/" + want.output);
  PalmFile got;
  std::string problem = read_palm_file(bytes, &got);
  if (problem.empty()) problem = compare_database(want.database, got, earliest, latest);
  if (!problem.empty()) finding(c.argv, "bad database", problem);
  keep_sample(bytes, want.database);
  return 0;
}
