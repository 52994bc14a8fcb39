// Whole prcbuild runs over generated command lines and files, each in a fresh
// folder and in this process, checked against the model: exit status, every
// byte of standard error, nothing on standard output, nothing left behind
// after a failure, no file left open, and the database read back by an
// independent reader after a success.
#include <dirent.h>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "database.h"
#include "fuzz_case.h"
#include "palm_check.h"
#include "prcbuild.h"
#include "prcbuild_model.h"

using namespace palm;

namespace fs = std::filesystem;

namespace {

std::string root, case_dir, out_path, err_path, sample_dir;
int home_dir = -1;        // the folder the fuzzer runs in
int fuzzer_stderr = -1;   // standard error while a run's goes to a file
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
  if (root.empty()) return;
  std::error_code ec;
  fs::remove_all(root, ec);
}

// Descriptors open in this process.
int open_descriptors() {
  int n = 0;
  if (DIR* listing = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(listing)) n += e->d_name[0] != '.';
    closedir(listing);
  }
  return n;
}

// Runs prcbuild in the case's folder with its standard output and error going
// to files, as a shell would start it there.
int run_in_case_folder(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  fflush(nullptr);
  int saved_out = dup(1), saved_err = dup(2);
  int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (saved_out < 0 || saved_err < 0 || out < 0 || err < 0 || chdir(case_dir.c_str()) != 0) {
    perror("prcbuild_fuzz: can't set up a run");
    exit(1);
  }
  dup2(out, 1);
  dup2(err, 2);
  close(out);
  close(err);
  int status = run_prcbuild(static_cast<int>(argv.size()), args.data(), stdout, stderr);
  fflush(nullptr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(saved_out);
  close(saved_err);
  if (fchdir(home_dir) != 0) {
    perror("prcbuild_fuzz: fchdir");
    exit(1);
  }
  return status;
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
  std::string base = sample_dir + "/sample-" + std::to_string(getpid()) + "-" + std::to_string(samples++);
  std::ofstream(base + ".db", std::ios::binary) << bytes;
  std::ofstream(base + ".expected", std::ios::binary) << palm_dump_text(expected);
}

uint32_t palm_now() { return palm_time(time(nullptr)); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
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
  home_dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A sanitizer's report during a run goes where the fuzzer's own output goes.
  fuzzer_stderr = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (home_dir < 0 || fuzzer_stderr < 0) {
    perror("prcbuild_fuzz: can't keep the working folder and standard error");
    exit(1);
  }
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(fuzzer_stderr)));
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

  int descriptors = open_descriptors();
  uint32_t earliest = palm_now();
  int status = run_in_case_folder(c.argv);
  uint32_t latest = palm_now();

  std::string out = read_all(out_path), err = read_all(err_path);
  if (status != 0 && status != 1)
    finding(c.argv, "exit status " + std::to_string(status), "stderr:\n" + err);
  if (open_descriptors() != descriptors) finding(c.argv, "a run left files open", "");
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
