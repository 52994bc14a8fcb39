// The output file as other programs use it: several open at once, each
// appearing only on commit, and none left half-made by a refusal or a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "output.h"
#include "run.h"

using namespace palm;

namespace {

struct Output : testing::Test {
  std::set<std::string> listing() { return folder_names(dir.path); }
  TempDir dir;
};

TEST_F(Output, FilesAppearOnlyOnCommit) {
  write_file(dir.file("old.bin"), "old");
  OutputFile fresh, old;
  ASSERT_TRUE(output_open(&fresh, dir.file("new.bin").c_str()).ok());
  ASSERT_TRUE(output_open(&old, dir.file("old.bin").c_str()).ok());
  fputs("new", fresh.stream);
  fputs("replaced", old.stream);
  EXPECT_EQ(3u, listing().size()) << "the old file and a temporary file for each";
  EXPECT_FALSE(file_exists(dir.file("new.bin")));
  EXPECT_EQ("old", read_file(dir.file("old.bin")));
  EXPECT_TRUE(output_commit(&fresh).ok());
  EXPECT_TRUE(output_commit(&old).ok());
  EXPECT_EQ("new", read_file(dir.file("new.bin")));
  EXPECT_EQ("replaced", read_file(dir.file("old.bin")));
  EXPECT_EQ((std::set<std::string>{"new.bin", "old.bin"}), listing());
}

TEST_F(Output, NameTooLongForTheUsualTemporary) {
  std::string name(250, 'n');
  write_file(dir.file(name), "old");
  OutputFile out;
  ASSERT_TRUE(output_open(&out, dir.file(name).c_str()).ok());
  EXPECT_EQ(".tmp.", std::filesystem::path(out.temp_path).filename().string().substr(0, 5));
  fputs("new", out.stream);
  output_discard(&out);
  EXPECT_EQ("old", read_file(dir.file(name)));
  EXPECT_EQ((std::set<std::string>{name}), listing());
}

TEST_F(Output, RefusalsLeaveEverythingAsItWas) {
  std::filesystem::create_directory(dir.file("folder"));
  std::filesystem::create_symlink("gone/target", dir.file("dangling"));
  write_file(dir.file("file"), "kept");
  std::set<std::string> before = listing();
  for (const std::string& path : {std::string(), dir.file("folder"), dir.file("gone/out"),
                                  dir.file("dangling"), dir.file("file/out"), dir.file("file/")}) {
    OutputFile out;
    EXPECT_FALSE(output_open(&out, path.c_str()).ok()) << path;
    EXPECT_EQ(nullptr, out.stream) << path;
    EXPECT_EQ("", out.temp_path) << path;
  }
  EXPECT_EQ("kept", read_file(dir.file("file")));
  EXPECT_EQ(before, listing());
}

TEST_F(Output, ReservedNameHeldByOneAtATime) {
  OutputReservation first, second;
  ASSERT_TRUE(output_reserve(&first, dir.file("lock")).ok());
  FileError taken = output_reserve(&second, dir.file("lock"));
  EXPECT_EQ(EEXIST, taken.code);
  EXPECT_EQ(dir.file("lock"), taken.path);
  output_release(&second);  // holds nothing: the other's name stays
  EXPECT_EQ((std::set<std::string>{"lock"}), listing());
  output_release(&first);
  EXPECT_EQ((std::set<std::string>{}), listing());
}

TEST_F(Output, SignalRemovesEveryTemporary) {
  write_file(dir.file("old.bin"), "old");
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    pid_t pid = fork();
    if (pid == 0) {
      signal(signal_number, SIG_DFL);
      output_remove_temporaries_on_signals();
      OutputFile a, b;
      OutputReservation held;
      if (!output_open(&a, dir.file("new.bin").c_str()).ok() ||
          !output_open(&b, dir.file("old.bin").c_str()).ok() ||
          !output_reserve(&held, dir.file("lock")).ok())
        _exit(2);
      fputs("half", a.stream);
      fflush(a.stream);
      raise(signal_number);
      _exit(3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ((std::set<std::string>{"old.bin"}), listing()) << signal_number;
    EXPECT_EQ("old", read_file(dir.file("old.bin")));
  }
}

}  // namespace
