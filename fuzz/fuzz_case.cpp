#include "fuzz_case.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <initializer_list>

namespace {

// Sizes around the 130000-byte pieces and the 260000-byte split limit.
constexpr size_t kSizes[] = {5,      1,      2,      3,      4,      0,      7,      8,
                             129999, 130000, 130001, 200000, 259999, 260000, 260001, 300000};

const char* const kFonts[] = {"hrTinyFont",  "HRSTDFONT",   "stdfixedfont_palm", "narrowFixedFont",
                              "boldFont",    "bold",        "1a2",               "0x12",
                              "",            "ffffF",       "123456789abcdef01", "g",
                              "90",          "hrLargeFont", "stdFont ",          "-1"};

const char* const kPrefixes[] = {"",      "sub/",    "sub\\",    "C:",   "C:sub/",
                                 "a:b\\", "sub/sub/", "missing/", "./",   "sub:x/"};

const char* const kTypes[] = {"tAIN", "NFNT", "code", "ab", "abc.", "a b ", "", "Rmap", "2AIN", "%s%n"};

const char* const kIds[] = {"03e8", "0001", "0x1f", "-001", " 1a ", "+7ff", "zzzz", ".bin",
                            "0x",   "ffff", "FFFF", "0000", "0",    "1",    " -0x", "x123"};

const char* const kOutputs[] = {"out.prc", "out.pdb", "sub/out.prc", "existing.prc", "",
                                "missing/out.prc", "sub", "sub/", "out.prc/"};

const char* const kOptions[] = {"-s", "-i", "-d", "-x"};
const char* const kNotOptions[] = {"-q", "-", "--", "-dd", "-f", "-D", "-s "};

// Rare choices: once the input runs out, the provider gives the lowest
// values, and those must lead to the common case.
bool one_in(FuzzedDataProvider& in, int n) { return in.ConsumeIntegralInRange(1, n) == n; }

// Writes size bytes of filler from seed to fd; false when a write fails.
bool write_filler(int fd, size_t size, uint32_t seed) {
  static char chunk[65536];
  uint32_t x = seed * 2654435761u + 1;
  while (size > 0) {
    size_t n = std::min(size, sizeof chunk);
    for (size_t i = 0; i < n; ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      chunk[i] = static_cast<char>(x);
    }
    for (size_t done = 0; done < n;) {
      ssize_t w = write(fd, chunk + done, n - done);
      if (w <= 0) return false;
      done += static_cast<size_t>(w);
    }
    size -= n;
  }
  return true;
}

// Arguments can't hold NUL, and nothing may lead outside the run's folder.
std::string clean(std::string text) {
  for (char& c : text)
    if (c == '\0') c = '_';
  for (size_t at = 0; (at = text.find("..", at)) != std::string::npos; ++at)
    if ((at == 0 || text[at - 1] == '/') && (at + 2 == text.size() || text[at + 2] == '/')) text[at + 1] = '_';
  if (!text.empty() && text[0] == '/') text.insert(0, "_");
  return text;
}

template <typename T, size_t N>
const T& pick(FuzzedDataProvider& in, const T (&table)[N]) {
  return table[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

std::string short_text(FuzzedDataProvider& in, size_t longest) {
  return clean(in.ConsumeRandomLengthString(longest));
}

// A file name in the rsrcXXXX.bin pattern, or something close to it.
std::string input_name(FuzzedDataProvider& in) {
  std::string name = one_in(in, 3) ? pick(in, kPrefixes) : "";
  name += one_in(in, 4) ? short_text(in, 5) : std::string(pick(in, kTypes));
  name += one_in(in, 4) ? short_text(in, 5) : std::string(pick(in, kIds));
  name += one_in(in, 4) ? short_text(in, 4) : std::string(".bin");
  return clean(name);
}

CaseFile input_file(FuzzedDataProvider& in, const std::string& name, uint32_t seed) {
  CaseFile file;
  file.path = name;
  if (one_in(in, 3))
    file.bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 64));
  else
    file.filler = pick(in, kSizes);
  file.seed = seed;
  return file;
}

}  // namespace

FuzzCase decode_case(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FuzzCase c;
  c.argv.push_back(one_in(in, 16) ? short_text(in, 12) : "prcbuild");

  // The folder every run finds: sub/ and an older database.
  c.files.push_back({"sub", "", true});
  c.files.push_back({"existing.prc", "an older file", false});

  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
    c.argv.push_back(one_in(in, 8) ? pick(in, kNotOptions) : pick(in, kOptions));
  std::vector<std::string> inputs;
  int head = one_in(in, 8) ? in.ConsumeIntegralInRange(0, 3) : 4;
  std::string head_args[4] = {pick(in, kOutputs), short_text(in, 40), short_text(in, 6),
                              short_text(in, 6)};
  if (one_in(in, 8)) head_args[0] = input_name(in);
  for (int i = 0; i < head; ++i) c.argv.push_back(head_args[i]);

  int count = in.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1: {  // a -f group, perhaps cut short
        c.argv.push_back(one_in(in, 6) ? "-fx" : "-f");
        int parts = one_in(in, 8) ? in.ConsumeIntegralInRange(0, 1) : 2;
        if (parts > 0)
          c.argv.push_back(one_in(in, 4) ? short_text(in, 9) : std::string(pick(in, kTypes)) + pick(in, kIds));
        if (parts > 1) c.argv.push_back(one_in(in, 4) ? short_text(in, 20) : std::string(pick(in, kFonts)));
        break;
      }
      case 2:  // a folder or a missing file where a file is expected
        c.argv.push_back(input_name(in));
        if (in.ConsumeBool()) c.files.push_back({c.argv.back(), "", true});
        break;
      case 3:  // the same file again
        if (!inputs.empty()) {
          c.argv.push_back(inputs[in.ConsumeIntegralInRange<size_t>(0, inputs.size() - 1)]);
          break;
        }
        [[fallthrough]];
      default: {
        std::string name = input_name(in);
        c.files.push_back(input_file(in, name, static_cast<uint32_t>(c.files.size())));
        c.argv.push_back(name);
        inputs.push_back(name);
        break;
      }
    }
  }

  // Now and then a database at the 6552-entry limit, just below or above it.
  if (one_in(in, 16)) {
    size_t more = 6550 + in.ConsumeIntegralInRange<size_t>(0, 4) - static_cast<size_t>(count);
    bool records = false;
    for (const std::string& a : c.argv) records = records || a == "-d";
    if (records) {
      c.files.push_back({"many.bin", "x", false});
      c.argv.insert(c.argv.end(), more, "many.bin");
    } else {
      for (size_t i = 0; i < more; ++i) c.argv.insert(c.argv.end(), {"-f", "Rmap0001", "boldFont"});
    }
  }
  return c;
}

void make_case_files(const FuzzCase& fuzz_case, const std::string& dir) {
  for (const CaseFile& file : fuzz_case.files) {
    if (file.path.empty()) continue;
    // Each folder on the way; a failure shows in the open below.
    for (size_t slash = file.path.find('/'); slash != std::string::npos;
         slash = file.path.find('/', slash + 1))
      mkdir((dir + "/" + file.path.substr(0, slash)).c_str(), 0755);
    std::string path = dir + "/" + file.path;
    if (file.folder) {
      mkdir(path.c_str(), 0755);
      continue;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) continue;
    size_t done = 0;
    while (done < file.bytes.size()) {
      ssize_t n = write(fd, file.bytes.data() + done, file.bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done == file.bytes.size()) write_filler(fd, file.filler, file.seed);
    close(fd);
  }
}
