// The database file on Windows: replaced only once complete, and what stays
// behind when a run gives up.
#include "output.h"

#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

using namespace palm;

namespace fs = std::filesystem;

namespace {

class Output : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prcbuild-test-" + std::to_string(GetCurrentProcessId()) +
                                        "-" + std::to_string(++count_));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string path(const std::string& name) { return (dir_ / name).string(); }

  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }

  std::string contents(const std::string& name) {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::set<std::string> listing() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }

  // Opens, writes bytes (with a line break, which must stay one byte) and
  // commits.
  bool write(const std::string& target, const std::string& bytes) {
    OutputFile out;
    if (!output_open(&out, target.c_str()).ok()) return false;
    fwrite(bytes.data(), 1, bytes.size(), out.stream);
    if (output_commit(&out).ok()) return true;
    output_discard(&out);
    return false;
  }

  fs::path dir_;
  static inline int count_ = 0;
};

TEST_F(Output, NewFileGetsExactlyTheBytes) {
  const std::string bytes("a\nb\r\n\x1a\0z", 8);
  ASSERT_TRUE(write(path("new.prc"), bytes));
  EXPECT_EQ(contents("new.prc"), bytes);
  EXPECT_EQ(listing(), (std::set<std::string>{"new.prc"}));
}

TEST_F(Output, ExistingFileIsReplacedKeepingItsAttributes) {
  put("old.prc", "old contents, longer than the new");
  SetFileAttributesA(path("old.prc").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(write(path("old.prc"), "new\n"));
  EXPECT_EQ(contents("old.prc"), "new\n");
  EXPECT_EQ(GetFileAttributesA(path("old.prc").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(listing(), (std::set<std::string>{"old.prc"}));
}

TEST_F(Output, DiscardKeepsTheOldFileAndLeavesNoTemporary) {
  put("old.prc", "precious");
  OutputFile out;
  ASSERT_TRUE(output_open(&out, path("old.prc").c_str()).ok());
  EXPECT_NE(out.temp_path, "");
  fputs("half", out.stream);
  output_discard(&out);
  EXPECT_EQ(contents("old.prc"), "precious");
  EXPECT_EQ(listing(), (std::set<std::string>{"old.prc"}));
}

TEST_F(Output, RefusedTargetsLeaveEverythingAsItWas) {
  put("readonly.prc", "kept");
  SetFileAttributesA(path("readonly.prc").c_str(), FILE_ATTRIBUTE_READONLY);
  fs::create_directory(dir_ / "folder.prc");
  for (const std::string& target :
       {path("readonly.prc"), path("folder.prc"), path("missing\\out.prc"), std::string()}) {
    OutputFile out;
    EXPECT_FALSE(output_open(&out, target.c_str()).ok()) << target;
    EXPECT_EQ(out.stream, nullptr) << target;
  }
  EXPECT_EQ(contents("readonly.prc"), "kept");
  EXPECT_EQ(listing(), (std::set<std::string>{"folder.prc", "readonly.prc"}));
}

TEST_F(Output, DevicesAreWrittenDirectly) {
  OutputFile out;
  ASSERT_TRUE(output_open(&out, "NUL").ok());
  EXPECT_EQ(out.temp_path, "");
  fputs("gone", out.stream);
  EXPECT_TRUE(output_commit(&out).ok());
}

TEST_F(Output, ReservedNameHeldByOneAtATime) {
  OutputReservation first, second;
  ASSERT_TRUE(output_reserve(&first, path("lock")).ok());
  EXPECT_EQ(output_reserve(&second, path("lock")).code, EEXIST);
  output_release(&second);
  EXPECT_EQ(listing(), (std::set<std::string>{"lock"}));
  output_release(&first);
  EXPECT_EQ(listing(), (std::set<std::string>{}));
}

TEST_F(Output, RelativeNamesAndBothSeparators) {
  fs::create_directories(dir_ / "dir" / "sub");
  fs::path saved = fs::current_path();
  fs::current_path(dir_);
  bool plain = write("plain.prc", "1");
  bool forward = write("dir/sub/fwd.prc", "2");
  bool back = write("dir\\sub\\back.prc", "3");
  fs::current_path(saved);
  EXPECT_TRUE(plain && forward && back);
  EXPECT_EQ(contents("plain.prc"), "1");
  EXPECT_EQ(contents("dir/sub/fwd.prc"), "2");
  EXPECT_EQ(contents("dir/sub/back.prc"), "3");
  EXPECT_EQ(listing(), (std::set<std::string>{"dir", "plain.prc"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "dir" / "sub"), {}), 2);
}

}  // namespace
