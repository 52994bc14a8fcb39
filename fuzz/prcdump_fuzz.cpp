// Every prcdump mode over any database bytes, in process: --check, then the
// listing with -x, --png and --bdf into a scratch folder, the file given
// twice so that its names collide. The page of text the pictures carry is the
// input's first bytes taken as typed text, in a set the input picks. Besides
// the sanitizers, a run fails when it takes more time, memory or output than
// a fixed budget per input byte, exits with anything but 0 or 1, or leaves a
// temporary file behind.
#include <sanitizer/allocator_interface.h>
#include <stdio.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "prcdump.h"

namespace fs = std::filesystem;

namespace {

// The budget of one input: a fixed allowance and more for each byte.
constexpr double kSeconds = 10, kSecondsPerByte = 0.002;
constexpr uint64_t kMemory = uint64_t{192} << 20, kMemoryPerByte = 4096;
constexpr uint64_t kOutput = uint64_t{4} << 20, kOutputPerByte = 1024;

[[noreturn]] void finding(const std::string& what) {
  fprintf(stderr, "\n==== prcdump finding: %s\n", what.c_str());
  abort();
}

// The most the heap held since the last reset.
uint64_t peak_heap = 0;
void on_malloc(const volatile void*, size_t) {
  uint64_t now = __sanitizer_get_current_allocated_bytes();
  if (now > peak_heap) peak_heap = now;
}
void on_free(const volatile void*) {}

// Standard output and error, counted and thrown away.
uint64_t printed = 0;
ssize_t count_write(void*, const char*, size_t n) {
  printed += n;
  return static_cast<ssize_t>(n);
}
FILE* counting_stream() {
  cookie_io_functions_t io = {nullptr, count_write, nullptr, nullptr};
  return fopencookie(nullptr, "w", io);
}

// Made at the first input, removed when the fuzzer exits; never destroyed
// before that.
const fs::path& scratch() {
  static const fs::path* path = [] {
    std::string pattern = (fs::temp_directory_path() / "prcdump_fuzz.XXXXXX").string();
    if (!mkdtemp(pattern.data())) finding("no scratch folder");
    __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
    atexit([] {
      std::error_code error;
      fs::remove_all(*path, error);
    });
    return new fs::path(pattern);
  }();
  return *path;
}

// The bytes of every file under the folder; a temporary file is a finding.
uint64_t written(const fs::path& folder) {
  uint64_t bytes = 0;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.path().filename().string()[0] == '.') finding("left " + entry.path().string());
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return bytes;
}

int run(std::vector<std::string> args, FILE* out, FILE* err) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int status = run_prcdump(static_cast<int>(args.size()), argv.data(), out, err);
  if (status != 0 && status != 1) finding("status " + std::to_string(status));
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& dir = scratch();
  std::string input = (dir / "in.prc").string(), out_dir = (dir / "out").string();
  FILE* file = fopen(input.c_str(), "wb");
  if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0) finding("can't write");
  FILE* out = counting_stream();
  FILE* err = counting_stream();
  printed = 0;
  peak_heap = __sanitizer_get_current_allocated_bytes();
  uint64_t heap_before = peak_heap;
  auto start = std::chrono::steady_clock::now();

  run({"prcdump", "--check", input}, out, err);
  static const char* const kSets[] = {"Western", "Cyrillic", "Greek", "Symbol", "Thai"};
  std::string sample =
      "Palm " + std::string(reinterpret_cast<const char*>(data), size < 160 ? size : 160);
  run({"prcdump", "-x", out_dir + "/x", "--png", out_dir + "/p", "--bdf", out_dir + "/b",
       "--charset", kSets[size % 5], "--sample", sample.c_str(), input, input},
      out, err);
  fflush(out);
  fflush(err);

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  uint64_t output = printed + written(out_dir);
  uint64_t memory = peak_heap - heap_before;
  fclose(out);
  fclose(err);
  std::error_code error;
  fs::remove_all(out_dir, error);
  if (seconds > kSeconds + kSecondsPerByte * double(size))
    finding("took " + std::to_string(seconds) + " s for " + std::to_string(size) + " bytes");
  if (memory > kMemory + kMemoryPerByte * size)
    finding("held " + std::to_string(memory) + " bytes for " + std::to_string(size) + " bytes");
  if (output > kOutput + kOutputPerByte * size)
    finding("wrote " + std::to_string(output) + " bytes for " + std::to_string(size) + " bytes");
  return 0;
}
