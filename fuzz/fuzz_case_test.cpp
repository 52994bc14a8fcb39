#include "fuzz_case.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "run.h"

namespace {

bool leaves_folder(const std::string& path) {
  return path.starts_with('/') || path == ".." || path.starts_with("../") || path.ends_with("/..") ||
         path.find("/../") != std::string::npos;
}

// Whatever the input, the command line is one a shell could pass and stays
// inside the run's folder.
TEST(FuzzCase, ArgumentsAreSafe) {
  std::mt19937 random(7);
  for (int n = 0; n < 2000; ++n) {
    std::vector<uint8_t> input(random() % 300);
    for (uint8_t& b : input) b = static_cast<uint8_t>(random());
    FuzzCase c = decode_case(input.data(), input.size());
    ASSERT_FALSE(c.argv.empty());
    for (const std::string& a : c.argv) {
      EXPECT_EQ(a.find('\0'), std::string::npos);
      EXPECT_FALSE(leaves_folder(a)) << a;
    }
    for (const CaseFile& f : c.files) EXPECT_FALSE(leaves_folder(f.path)) << f.path;
  }
}

TEST(FuzzCase, SameInputSameCase) {
  const uint8_t input[] = "tAIN03e8.bin\\x-f\x01\x02\x03\x04\x05\x06\x07\x08\x09\x10\x11\x12";
  FuzzCase a = decode_case(input, sizeof input);
  FuzzCase b = decode_case(input, sizeof input);
  EXPECT_EQ(a.argv, b.argv);
  ASSERT_EQ(a.files.size(), b.files.size());
  for (size_t i = 0; i < a.files.size(); ++i) {
    EXPECT_EQ(a.files[i].bytes, b.files[i].bytes);
    EXPECT_EQ(a.files[i].filler, b.files[i].filler);
    EXPECT_EQ(a.files[i].seed, b.files[i].seed);
  }
}

TEST(FuzzCase, MakesFilesAndFoldersOnTheirPaths) {
  TempDir dir;
  FuzzCase c;
  c.files = {{"sub", "", true},
             {"sub/deeper/tAIN0001.bin", "abc", false},
             {"C:x\\y0002.bin", std::string(5, '\0'), false},
             {"big00003.bin", "head", false, 200000, 3},
             {"big00004.bin", "head", false, 200000, 4},
             {"plain", "file", false},
             {"plain/inside0001.bin", "blocked", false},
             {"folder0001.bin", "", true}};
  make_case_files(c, dir.path);
  EXPECT_EQ(read_file(dir.file("sub/deeper/tAIN0001.bin")), "abc");
  EXPECT_EQ(read_file(dir.file("C:x\\y0002.bin")), std::string(5, '\0'));
  EXPECT_EQ(read_file(dir.file("plain")), "file");
  // Filler follows the bytes, differs by seed and is the same for the same seed.
  std::string big = read_file(dir.file("big00003.bin"));
  ASSERT_EQ(big.size(), 200004u);
  EXPECT_EQ(big.substr(0, 4), "head");
  EXPECT_NE(big, read_file(dir.file("big00004.bin")));
  make_case_files(c, dir.path);
  EXPECT_EQ(read_file(dir.file("big00003.bin")), big);
  EXPECT_FALSE(file_exists(dir.file("plain/inside0001.bin")));
  struct stat st;
  ASSERT_EQ(stat(dir.file("folder0001.bin").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

}  // namespace
