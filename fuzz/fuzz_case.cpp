#include "fuzz_case.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <initializer_list>

namespace {

// Sizes around the 130000-byte pieces and the 260000-byte split limit.
constexpr size_t kSizes[] = {0,      1,      2,      3,      4,      5,      7,      8,
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

const char* const kOptions[] = {"-d", "-s", "-i", "-x", "-q", "-", "--", "-dd", "-f", "-D"};

// Deterministic filler, so that large files cost no fuzz input.
std::string pattern(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
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

// Rare choices: once the input runs out, the provider gives the lowest
// values, and those must lead to the common case.
bool one_in(FuzzedDataProvider& in, int n) { return in.ConsumeIntegralInRange(1, n) == n; }

template <typename T, size_t N>
const T& pick(FuzzedDataProvider& in, const T (&table)[N]) {
  return table[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

std::string short_text(FuzzedDataProvider& in, size_t longest) {
  return clean(in.ConsumeRandomLengthString(longest));
}

// A file name in the rsrcXXXX.bin pattern, or something close to it.
std::string input_name(FuzzedDataProvider& in) {
  std::string name = pick(in, kPrefixes);
  name += in.ConsumeBool() ? std::string(pick(in, kTypes)) : short_text(in, 5);
  name += in.ConsumeBool() ? std::string(pick(in, kIds)) : short_text(in, 5);
  name += in.ConsumeBool() ? std::string(".bin") : short_text(in, 4);
  return clean(name);
}

std::string contents(FuzzedDataProvider& in, uint32_t seed) {
  if (in.ConsumeBool()) return in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 64));
  size_t size = pick(in, kSizes);
  return pattern(size, seed);
}

}  // namespace

FuzzCase decode_case(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FuzzCase c;
  c.argv.push_back(one_in(in, 16) ? short_text(in, 12) : "prcbuild");

  // The folder every run finds: sub/ and an older database.
  c.files.push_back({"sub", "", true});
  c.files.push_back({"existing.prc", "an older file", false});

  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) c.argv.push_back(pick(in, kOptions));
  std::vector<std::string> inputs;
  int head = one_in(in, 8) ? in.ConsumeIntegralInRange(0, 3) : 4;
  std::string head_args[4] = {pick(in, kOutputs), short_text(in, 40), short_text(in, 6),
                              short_text(in, 6)};
  if (one_in(in, 8)) head_args[0] = input_name(in);
  for (int i = 0; i < head; ++i) c.argv.push_back(head_args[i]);

  int count = in.ConsumeIntegralInRange(0, 10);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1: {  // a -f group, perhaps cut short
        c.argv.push_back(one_in(in, 6) ? "-fx" : "-f");
        int parts = one_in(in, 8) ? in.ConsumeIntegralInRange(0, 1) : 2;
        if (parts > 0)
          c.argv.push_back(in.ConsumeBool() ? std::string(pick(in, kTypes)) + pick(in, kIds)
                                            : short_text(in, 9));
        if (parts > 1) c.argv.push_back(in.ConsumeBool() ? std::string(pick(in, kFonts)) : short_text(in, 20));
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
        c.files.push_back({name, contents(in, static_cast<uint32_t>(c.files.size())), false});
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
    for (size_t done = 0; done < file.bytes.size();) {
      ssize_t n = write(fd, file.bytes.data() + done, file.bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(fd);
  }
}
