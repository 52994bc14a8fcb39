#include "prcbuild_model.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "run.h"

namespace {

struct ModelCase {
  const char* what;
  std::vector<std::string> argv;
  int status;
  std::string err;
  std::vector<PalmEntry> entries;
};

std::ostream& operator<<(std::ostream& out, const ModelCase& c) { return out << c.what; }

class PrcbuildModel : public testing::TestWithParam<ModelCase> {};

const std::string kUsage =
    "Usage:\n"
    "  prcbuild outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
    "or:\n"
    "  prcbuild -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n"
    "\n"
    "Fonts may be specified either by name identifier or in hex.  This is only for\n"
    "generating font remap packages for software using Pagewick font packages.\n\n";

TEST_P(PrcbuildModel, PredictsTheRun) {
  const ModelCase& c = GetParam();
  TempDir dir;
  mkdir(dir.file("dir").c_str(), 0755);
  write_file(dir.file("tAIN03e8.bin"), "abc");
  write_file(dir.file("dir\\sub:x"), "");
  mkdir(dir.file("dir\\sub").c_str(), 0755);
  write_file(dir.file("dir\\sub/code0001.bin"), "xyz");
  write_file(dir.file("abc.bin"), "7");
  write_file(dir.file("dir/abc.bin"), "8");
  write_file(dir.file("empt0001.bin"), "");
  write_file(dir.file("big00001.bin"), std::string(130000, 'a') + std::string(70000, 'b') + "c");
  write_file(dir.file("huge0001.bin"), std::string(260000, 'h') + "tail");

  ExpectedRun run = expected_run(c.argv, dir.path);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(run.database.entries, c.entries);
}

std::vector<std::string> command(std::initializer_list<std::string> args) {
  std::vector<std::string> argv = {"prcbuild"};
  argv.insert(argv.end(), args);
  return argv;
}

std::string remap(int font) { return std::string{'@', '\0', char(font >> 8), char(font & 0xFF)}; }

INSTANTIATE_TEST_SUITE_P(
    Runs, PrcbuildModel,
    testing::Values(
        ModelCase{"four arguments", command({"out.prc", "Name", "appl", "TEST"}), 1, kUsage, {}},
        ModelCase{"an option passes the count", command({"-i", "out.prc", "Name", "appl", "TEST"}), 0, "", {}},
        ModelCase{"unknown option", command({"-q", "out.prc", "Name", "appl", "TEST"}), 1, kUsage, {}},
        ModelCase{"options eat the head", command({"-d", "-s", "out.prc", "Name", "appl"}), 1, kUsage, {}},
        ModelCase{"resource from its name",
                  command({"out.prc", "N", "t", "c", "tAIN03e8.bin", "dir\\sub/code0001.bin"}), 0, "",
                  {{"tAIN", 1000, 0, "abc"}, {"code", 1, 0, "xyz"}}},
        ModelCase{"short name", command({"out.prc", "N", "t", "c", "abc.bin"}), 1,
                  "Filename abc.bin not in required rsrcXXXX format.\n\n", {}},
        ModelCase{"short name in a folder", command({"out.prc", "N", "t", "c", "dir/abc.bin"}), 0, "",
                  {{"abc.", 0xB, 0, "8"}}},
        ModelCase{"records take any name", command({"-d", "out.pdb", "N", "t", "c", "abc.bin", "tAIN03e8.bin"}),
                  0, "", {{"", 0, 0, "7"}, {"", 1, 0, "abc"}}},
        ModelCase{"missing file", command({"out.prc", "N", "t", "c", "none0001.bin"}), 1,
                  "Error opening none0001.bin.\n\n", {}},
        ModelCase{"missing file skipped", command({"-i", "out.prc", "N", "t", "c", "none0001.bin"}), 0, "", {}},
        ModelCase{"a folder can't be read", command({"-i", "-d", "out.pdb", "N", "t", "c", "dir"}), 1,
                  "Error reading dir.\n\n", {}},
        ModelCase{"empty file", command({"-i", "out.prc", "N", "t", "c", "empt0001.bin"}), 1,
                  "malloc(0) requested.\n", {}},
        ModelCase{"split", command({"-s", "out.prc", "N", "t", "c", "big00001.bin"}), 0, "",
                  {{"big0", 1, 0, std::string(130000, 'a')}, {"2ig0", 1, 0, std::string(70000, 'b') + "c"}}},
        ModelCase{"no split for records", command({"-s", "-d", "out.pdb", "N", "t", "c", "big00001.bin"}), 0, "",
                  {{"", 0, 0, std::string(130000, 'a')}}},
        ModelCase{"split stops at 260000", command({"-s", "out.prc", "N", "t", "c", "huge0001.bin"}), 0, "",
                  {{"huge", 1, 0, std::string(130000, 'h')}, {"2uge", 1, 0, std::string(130000, 'h')}}},
        ModelCase{"remap by name and in hex",
                  command({"out.prc", "N", "t", "c", "-f", "abcd0080", "BOLDFONT", "-fx", "Rmap0001", "1a2",
                           "-f", "Rmap0002", "123456"}),
                  0, "", {{"abcd", 0x80, 0, remap(1)}, {"Rmap", 1, 0, remap(0x1A2)}, {"Rmap", 2, 0, remap(0x3456)}}},
        ModelCase{"remap with 0x", command({"out.prc", "N", "t", "c", "-f", "abcd0080", "0x12"}), 1,
                  "Error in font specification `0x12'.\n\n", {}},
        ModelCase{"remap with no font", command({"out.prc", "N", "t", "c", "-f", "abcd0080"}), 1,
                  "Need to specify both fromFont and toFont.\n\n", {}},
        ModelCase{"ID with no digit", command({"out.prc", "N", "t", "c", "-f", "abcd.bin", "1"}), 1,
                  "Filename abcd.bin not in required rsrcXXXX format.\n\n", {}},
        ModelCase{"no folder for the output", command({"missing/out.prc", "N", "t", "c", "tAIN03e8.bin"}), 1,
                  "Error opening missing/out.prc.\n\n", {}},
        ModelCase{"output over a folder", command({"dir", "N", "t", "c", "tAIN03e8.bin"}), 1,
                  "Error opening dir.\n\n", {}}));

TEST(PrcbuildModel, FillsTheHeader) {
  TempDir dir;
  ExpectedRun run = expected_run(
      {"prcbuild", "-d", "sub.pdb", "A name of forty characters, more or less", "ab", "abcdef"}, dir.path);
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "sub.pdb");
  EXPECT_EQ(run.database.name, "A name of forty characters, mor");
  EXPECT_EQ(run.database.attributes, 8u);
  EXPECT_EQ(run.database.type, std::string("ab\0\0", 4));
  EXPECT_EQ(run.database.creator, "abcd");
}

TEST(PrcbuildModel, StopsAtTheEntryLimit) {
  TempDir dir;
  std::vector<std::string> argv = {"prcbuild", "out.prc", "N", "t", "c"};
  for (int i = 0; i < 6552; ++i) argv.insert(argv.end(), {"-f", "Rmap0001", "1"});
  EXPECT_EQ(expected_run(argv, dir.path).database.entries.size(), 6552u);
  argv.insert(argv.end(), {"-f", "Rmap0001", "1"});
  ExpectedRun run = expected_run(argv, dir.path);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Too many entries: a database holds at most 6552.\n\n");
}

}  // namespace
