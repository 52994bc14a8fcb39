// glyphsmith writing a font's files at once, as a user or an attacker would
// stop or starve it: a signal at a chosen point, a full disk, links where
// files go, and runs at once into one folder. Each run leaves all of its
// files or none of them, and never a temporary file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "run.h"
#include "writing_test.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

const std::string kFace = " 12 15.6 Western DejaVu Sans";

TEST(Writing, GlyphsmithAllOrNothing) {
  const std::string fonts = "NFNT0080.bin\nnfnt0080-hd.bin\npreview-0080.png\n";
  check({
      {"a signal between the renames: all of the group", {}, "",
       "exec $GLYPHSMITH --id 80" + kFace, 128 + SIGINT, "", fonts, {"PAUSE_CALL=rename:2"},
       SIGINT},
      {"a signal while staging: none of it, nor the ID's reservation", {}, "",
       "exec $GLYPHSMITH" + kFace, 128 + SIGTERM, "", "", {"PAUSE_CALL=mkstemp:2"}, SIGTERM},
      {"a second failure while putting back: each file left told",
       {},
       "printf old >NFNT0080.bin && printf old >nfnt0080-hd.bin && printf old >preview-0080.png",
       "exec $GLYPHSMITH --id 80" + kFace,
       1,
       "glyphsmith: cannot write 'nfnt0080-hd.bin' in '.': No space left on device\n"
       "glyphsmith: 'NFNT0080.bin' in '.' could not be put back (No space left on device); the "
       "earlier file is kept as '.NFNT0080.bin.XXXXXX'\n",
       ".NFNT0080.bin.XXXXXX=old\nNFNT0080.bin\nnfnt0080-hd.bin=old\npreview-0080.png=old\n",
       {"FAIL_CALL=rename:2+"}},
      {"a failed rename puts a dangling link back and leaves nothing outside",
       {},
       "mkdir out && ln -s ../out/gone NFNT0080.bin",
       "exec $GLYPHSMITH --id 80" + kFace,
       1,
       "glyphsmith: cannot write 'nfnt0080-hd.bin' in '.': No space left on device\n",
       "NFNT0080.bin -> ../out/gone\nout/\n",
       {"FAIL_CALL=rename:2"}},
      {"a link is replaced, its target left alone",
       {{"real", "keep"}},
       "ln -s real NFNT0080.bin",
       "exec $GLYPHSMITH --id 80 --no-preview" + kFace + " >/dev/null",
       0,
       "",
       "NFNT0080.bin\nnfnt0080-hd.bin\nreal=keep\n"},
      {"standard output on a full disk",
       {},
       "",
       "exec $GLYPHSMITH --id 80 --no-preview" + kFace + " >/dev/full",
       1,
       "glyphsmith: standard output: No space left on device\n",
       "NFNT0080.bin\nnfnt0080-hd.bin\n"},
  });
}

// Runs at once into one folder, each choosing the first free ID: each stops
// before it stages its first file, so that every run has chosen before any
// font is in place. Every font a run reports is there, its two versions of
// the same run (their sizes differ from run to run), and nothing else is.
TEST(Writing, GlyphsmithRunsAtOnceKeepEveryFont) {
  if (windows_build()) GTEST_SKIP() << "needs preloading";
  TempDir dir;
  std::string folder = dir.file("case");
  fs::create_directory(folder);
  std::vector<std::string> env = {"PAUSE_CALL=mkstemp:1", "LD_PRELOAD="s + PAUSE_CALL_PATH,
                                  "ASAN_OPTIONS=verify_asan_link_order=0"};
  const int runs = 6;
  std::vector<pid_t> pids;
  for (int i = 0; i < runs; ++i) {
    std::string size = std::to_string(8 + i), n = std::to_string(i);
    pids.push_back(start_line(folder,
                              "exec $GLYPHSMITH --no-preview " + size + " " + size +
                                  " Western DejaVu Sans >../out" + n,
                              env, dir.file("err" + n)));
  }
  std::vector<int> statuses(runs, -1);
  for (int i = 0; i < runs; ++i) {
    int status = 0;
    waitpid(pids[i], &status, WUNTRACED);
    if (!WIFSTOPPED(status)) statuses[i] = exit_status(status);
  }
  for (int i = 0; i < runs; ++i) {
    if (statuses[i] >= 0) continue;
    kill(pids[i], SIGCONT);
    int status = 0;
    waitpid(pids[i], &status, 0);
    statuses[i] = exit_status(status);
  }
  std::set<std::string> reported;
  static const std::regex summary("([^:\n]+): .*, ([0-9]+) bytes");
  for (int i = 0; i < runs; ++i) {
    std::string n = std::to_string(i);
    EXPECT_EQ(0, statuses[i]) << read_file(dir.file("err" + n));
    std::ifstream out(dir.file("out" + n));
    std::smatch m;
    for (std::string line; std::getline(out, line);) {
      if (!std::regex_match(line, m, summary)) continue;
      EXPECT_TRUE(reported.insert(m[1]).second) << m[1] << " reported twice";
      EXPECT_EQ(std::stoull(m[2]), fs::file_size(folder + "/" + m[1].str())) << m[1];
    }
  }
  EXPECT_EQ(2u * runs, reported.size());
  EXPECT_EQ(reported, folder_names(folder));
}

}  // namespace
