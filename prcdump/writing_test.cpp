// The programs that write several files at once, run as a user or an
// attacker would: a failure anywhere, a signal at a chosen point, a full
// disk, a file size limit, a reader that goes away, links where files go,
// small files that claim huge sizes. Each run leaves all of a group of files
// or none of it, and never a temporary file. PRCDUMP and GLYPHSMITH may name
// another build to run (a command prefix such as "wine .../prcdump.exe").
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "font_picture.h"
#include "in_process.h"
#include "palm_bytes.h"
#include "prcdump.h"
#include "run.h"
#include "test_font.h"

using namespace palm;

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string words(const std::vector<std::string>& command) {
  std::string s;
  for (const std::string& w : command) s += (s.empty() ? "" : " ") + w;
  return s;
}

const std::string kPrcdump = words(program_command("PRCDUMP", PRCDUMP_PATH));
const std::string kGlyphsmith = words(program_command("GLYPHSMITH", GLYPHSMITH_PATH));

bool windows_build() {
  return runs_under_wine(program_command("PRCDUMP", PRCDUMP_PATH));
}

// A resource database of the given entries, laid out as prcbuild would.
struct Resource {
  std::string type;
  uint16_t id;
  std::string bytes;
};
std::string database(const std::vector<Resource>& entries) {
  std::string list, data;
  uint32_t offset = static_cast<uint32_t>(78 + 10 * entries.size() + 2);
  for (const Resource& r : entries) {
    list += r.type + be(r.id, 2) + be(offset + static_cast<uint32_t>(data.size()), 4);
    data += r.bytes;
  }
  return header_bytes("Test", 1, "Font", "PGwk", static_cast<uint16_t>(entries.size())) + list +
         "\0\0"s + data;
}

// A font of one 127-pixel-wide character, rows high, and no bits: tiny in
// the file, vast as a picture.
std::string tall_font(uint16_t rows) {
  std::string font;
  for (uint16_t field : {0x9000, 65, 65, 127, 0, 0, 127, int{rows}, 8, rows - 1, 1, 0, 0})
    font += be(field, 2);
  return font + be(0, 2) + be(0, 2) + be(0, 2) + "\0\x7f\0\x7f"s;
}

std::string hex_text(int id) {
  char text[8];
  snprintf(text, sizeof text, "%04x", id);
  return text;
}

std::vector<Resource> numbered(const std::string& type, int count, const std::string& bytes) {
  std::vector<Resource> entries;
  for (int i = 0; i < count; ++i) entries.push_back({type, static_cast<uint16_t>(i), bytes});
  return entries;
}

// Everything beneath a folder, sorted, one a line: folders end in '/', links
// show their target, files of at most 8 bytes their bytes.
std::string tree_text(const std::string& folder) {
  std::string s;
  for (const std::string& name : tree_names(folder)) {
    fs::path path = folder + "/" + name;
    s += name;
    if (fs::is_symlink(path))
      s += " -> " + fs::read_symlink(path).string();
    else if (fs::is_directory(path))
      s += "/";
    else if (fs::file_size(path) <= 8)
      s += "=" + read_file(path.string());
    s += "\n";
  }
  return s;
}

struct Result {
  int status = -1;
  std::string err;
};

// Starts a bash line in folder, its standard error to err_path.
pid_t start_line(const std::string& folder, const std::string& line,
                 const std::vector<std::string>& env, const std::string& err_path) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 0);
    dup2(null, 1);
    dup2(err, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("PRCDUMP", kPrcdump.c_str(), 1);
    setenv("GLYPHSMITH", kGlyphsmith.c_str(), 1);
    setenv("TZ", "UTC0", 1);
    // fontconfig keeps a few bytes to the end, under the leak checker.
    setenv("LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0", 1);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    execl("/bin/bash", "bash", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int exit_status(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs a bash line in folder; when the program stops itself (PAUSE_CALL),
// sends it the signal and lets it go on.
Result run_line(const std::string& folder, const std::string& line,
                const std::vector<std::string>& env, int signal_number) {
  std::string err_path = folder + "/../stderr";
  pid_t pid = start_line(folder, line, env, err_path);
  Result result;
  int status = 0;
  while (waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status)) {
    kill(pid, signal_number ? signal_number : SIGKILL);
    kill(pid, SIGCONT);
  }
  result.status = exit_status(status);
  result.err = from_wine(read_file(err_path));
  return result;
}

// The random part of a kept file's name as X's.
std::string plain_names(const std::string& text) {
  static const std::regex random("(^|[\\n/ '])(\\.[^/\\n' ]+\\.)[A-Za-z0-9]{6}\\b");
  return std::regex_replace(text, random, "$1$2XXXXXX");
}

struct WriteCase {
  const char* title;
  std::map<std::string, std::string> files;  // made in the case's folder first
  std::string setup;                         // then these sh commands there
  std::string line;  // bash; $PRCDUMP and $GLYPHSMITH run the programs
  int status;
  std::string err;   // the whole of standard error
  std::string left;  // the folder afterwards (tree_text)
  std::vector<std::string> env = {};  // PAUSE_CALL, FAIL_CALL
  int signal = 0;                     // sent when the program stops
  bool posix = true;                  // needs POSIX signals, limits, links or preloading
  bool root = false;                  // runs the program as another user
  // Instead of the line: prcdump's arguments, run by one after the other,
  // their standard output left unread.
  std::vector<std::vector<std::string>> runs = {};
};

// prcdump's run function in this process (or PRCDUMP's build) once for each
// argument list: the last status, every standard error.
Result run_prcdumps(const std::string& folder, const std::vector<std::vector<std::string>>& runs) {
  std::vector<std::string> named = env_command("PRCDUMP");
  Result result;
  for (const std::vector<std::string>& args : runs) {
    std::vector<std::string> argv = named.empty() ? std::vector<std::string>{"prcdump"} : named;
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options = {folder, {"TZ=UTC0"}, 300};
    size_t open = open_descriptors();
    RunResult r =
        named.empty() ? run_in_process(run_prcdump, argv, options) : run_command(argv, options);
    EXPECT_EQ(open, open_descriptors()) << "descriptors left open";
    result.status = r.status;
    result.err += from_wine(r.err);
  }
  return result;
}

void check(const std::vector<WriteCase>& cases) {
  std::string preload = "LD_PRELOAD="s + PAUSE_CALL_PATH;
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.title);
    if ((c.posix && windows_build()) || (c.root && geteuid() != 0)) continue;
    TempDir dir;
    std::string folder = dir.file("case");
    fs::create_directory(folder);
    for (const auto& [name, bytes] : c.files) write_file(folder + "/" + name, bytes);
    ASSERT_EQ(0, run_command({"/bin/sh", "-ec", c.setup}, {folder, {}, 120}).status);
    std::vector<std::string> env = c.env;
    if (!env.empty()) env.insert(env.end(), {preload, "ASAN_OPTIONS=verify_asan_link_order=0"});
    Result r =
        c.runs.empty() ? run_line(folder, c.line, env, c.signal) : run_prcdumps(folder, c.runs);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.err, plain_names(r.err));
    EXPECT_EQ(c.left, plain_names(tree_text(folder)));
  }
}

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

// A version 2 font of `count` 72-dpi images, each `rows` high: `chars`
// characters from the space, the first `width` pixels wide in twice as many
// columns, the others empty.
std::string many_images(int count, int rows, int chars, int width) {
  BitmapFont f;
  f.font_type = kFontTypeV2;
  f.first_char = ' ';
  f.last_char = static_cast<int16_t>(' ' + chars - 1);
  f.rect_height = static_cast<int16_t>(rows);
  f.row_words = static_cast<int16_t>((2 * width + 15) / 16);
  f.locations.assign(size_t(chars) + 2, static_cast<uint16_t>(width));
  f.locations[0] = 0;
  f.widths.assign(size_t(chars) + 1, {0, 1});
  for (int i = 0; i < count; ++i)
    f.images.push_back({72, f.row_words, rows, std::vector<uint8_t>(size_t(f.row_words) * 2 * rows)});
  f.ow_t_loc = font_ow_t_loc(f);
  return as_string(encode_font(f));
}

// Databases of one large entry, one small, and a font and a large entry.
std::map<std::string, std::string> sized_databases() {
  std::string tiny = as_string(encode_font(tiny_font(false))), big(20000, 'b');
  return {{"big.prc", database({{"tAIN", 1, big}})},
          {"small.prc", database({{"tver", 1, "1.0"}})},
          {"mixed.prc", database({{"NFNT", 0x80, tiny}, {"tAIN", 1, big}})}};
}

TEST(Writing, PrcdumpAllOrNothing) {
  std::string fifty = database(numbered("tAIN", 50, "data")), all_fifty = "d/\n";
  for (int i = 0; i < 50; ++i) all_fifty += "d/tAIN" + hex_text(i) + ".bin=data\n";
  std::string tiny = as_string(encode_font(tiny_font(false)));
  std::map<std::string, std::string> sizes = sized_databases();
  std::string memory_limit = SANITIZED ? "" : "ulimit -v 1000000; ";
  check({
      {"someone else's file in a sticky folder: refused, nothing left",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "chmod 755 .. && mkdir -m 1777 d && printf old >d/zzzz0001.bin && "
       "chmod 666 d/zzzz0001.bin && chown 65534 d/zzzz0001.bin",
       "exec setpriv --reuid=65533 --regid=65533 --clear-groups $PRCDUMP -x d two.prc",
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': Operation not permitted\n",
       "d/\nd/zzzz0001.bin=old\ntwo.prc\n",
       {},
       0,
       true,
       true},
      {"a second failure while putting back: each file left told",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "mkdir d && printf old >d/aaaa0000.bin && printf old2 >d/zzzz0001.bin",
       "exec $PRCDUMP -x d two.prc",
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': No space left on device\n"
       "prcdump: two.prc: d/aaaa0000.bin could not be put back (No space left on device); the "
       "earlier file is kept as d/.aaaa0000.bin.XXXXXX\n",
       "d/\nd/.aaaa0000.bin.XXXXXX=old\nd/aaaa0000.bin=new!\nd/zzzz0001.bin=old2\ntwo.prc\n",
       {"FAIL_CALL=rename:2+"}},
      {"a signal between the renames: all of the group",
       {{"fifty.prc", fifty}},
       "",
       "exec $PRCDUMP -x d fifty.prc",
       128 + SIGHUP,
       "",
       all_fifty + "fifty.prc\n",
       {"PAUSE_CALL=rename:25"},
       SIGHUP},
      {"a signal while staging: none of it, nor the folder",
       {{"fifty.prc", fifty}},
       "",
       "exec $PRCDUMP -x d fifty.prc",
       128 + SIGINT,
       "",
       "fifty.prc\n",
       {"PAUSE_CALL=mkstemp:25"},
       SIGINT},
      {"a file size limit: a message, and the next file is read", sizes, "",
       "ulimit -f 10; exec $PRCDUMP -x d big.prc small.prc", 1,
       "prcdump: big.prc: cannot write 'tAIN0001.bin' in 'd': File too large\n",
       "big.prc\nd/\nd/tver0001.bin=1.0\nmixed.prc\nsmall.prc\n"},
      {"pictures and entries are one group", sizes, "",
       "ulimit -f 10; exec $PRCDUMP --png d -x d mixed.prc", 1,
       "prcdump: mixed.prc: cannot write 'tAIN0001.bin' in 'd': File too large\n",
       "big.prc\nmixed.prc\nsmall.prc\n"},
      {"the reader of the listing goes away",
       {{"list.prc", database(numbered("tAIN", 5000, "x"))}},
       "",
       "$PRCDUMP -x d list.prc | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}",
       1,
       "prcdump: standard output: Broken pipe\n",
       "list.prc\n"},
      {"an input among the outputs: refused before anything is written", sizes,
       "mkdir d && cp mixed.prc d/NFNT0080.bin && ln small.prc d/tver0001.bin",
       "$PRCDUMP -x d d/NFNT0080.bin; $PRCDUMP -x d small.prc; s=$?; "
       "cmp -s mixed.prc d/NFNT0080.bin && cmp -s small.prc d/tver0001.bin && exit $s",
       1,
       "prcdump: d/NFNT0080.bin: won't write d/NFNT0080.bin: it is the input d/NFNT0080.bin; "
       "nothing of this database is written\n"
       "prcdump: small.prc: won't write d/tver0001.bin: it is the input small.prc; nothing of "
       "this database is written\n",
       "big.prc\nd/\nd/NFNT0080.bin\nd/tver0001.bin\nmixed.prc\nsmall.prc\n"},
      {"a font of many large images: refused undrawn",
       {{"wide.prc", database({{"nfnt", 0x80, many_images(10, 240, 1, 3900)}})}},
       "",
       memory_limit + "exec $PRCDUMP --png p wide.prc >/dev/null",
       1,
       "prcdump: wide.prc: entry 0: the font's picture would take 635231712 pixels, more than "
       "67108864\n",
       "wide.prc\n"},
      {"a font entry of 3 GiB is listed without being read",
       {{"huge.prc", database({{"NFNT", 0x80, tall_font(12)}})}, {"small.prc", sizes["small.prc"]}},
       "truncate -s 3G huge.prc",
       memory_limit + "exec $PRCDUMP huge.prc small.prc >/dev/null",
       0,
       "",
       "huge.prc\nsmall.prc\n"},
  });
}

// What needs no process of its own: prcdump's run function, one run after
// the other, in the case's folder.
TEST(Writing, PrcdumpGroupsInProcess) {
  struct Case {
    const char* title;
    std::map<std::string, std::string> files;
    std::string setup;
    std::vector<std::vector<std::string>> runs;
    int status;
    std::string err;
    std::string left;
    bool posix = true;
  };
  std::string tiny = as_string(encode_font(tiny_font(false)));
  std::vector<Resource> devices = {
      {"NUL.", 1, "n"}, {"CON.", 2, "c"}, {"aux.", 3, "a"}, {"PRN.", 4, "p"}};
  // Windows takes these names for its devices, whatever follows the dot.
  std::string device_files =
      windows_build()
          ? "d/CON%2E0002.bin=c\nd/NUL%2E0001.bin=n\nd/PRN%2E0004.bin=p\nd/aux%2E0003.bin=a\n"
          : "d/CON.0002.bin=c\nd/NUL.0001.bin=n\nd/PRN.0004.bin=p\nd/aux.0003.bin=a\n";
  const Case cases[] = {
      {"a folder in the way: the file replaced before it is put back",
       {{"two.prc", database({{"aaaa", 0, "new!"}, {"zzzz", 1, "z"}})}},
       "mkdir -p d/zzzz0001.bin && printf old >d/aaaa0000.bin",
       {{"-x", "d", "two.prc"}},
       1,
       "prcdump: two.prc: cannot write 'zzzz0001.bin' in 'd': Is a directory\n",
       "d/\nd/aaaa0000.bin=old\nd/zzzz0001.bin/\ntwo.prc\n",
       false},
      {"names Windows takes for devices",
       {{"dev.prc", database(devices)}},
       "",
       {{"-x", "d", "dev.prc"}},
       0,
       "",
       "d/\n" + device_files + "dev.prc\n",
       false},
      {"fonts that promise vast pictures: none drawn, the next file still is",
       {{"tall.prc", database({{"NFNT", 0x80, tall_font(8000)}})},
        {"tiny.prc", database({{"NFNT", 0x80, tiny}})}},
       "",
       {{"--png", "p", "tall.prc", "tiny.prc"}},
       1,
       "prcdump: tall.prc: the fonts' pictures would take 66548340 pixels; a file of 126 bytes "
       "may take 16809472\n",
       "p/\np/NFNT0080.png\ntall.prc\ntiny.prc\n"},
      {"a sheet that fits but not with the page of text below it: refused undrawn",
       {{"tall.prc", database({{"NFNT", 0x80, tall_font(8150)}})}},
       "",
       {{"--png", "p", "tall.prc"}},
       1,
       "prcdump: tall.prc: entry 0: the font's picture would take 67782240 pixels, more than "
       "67108864\n",
       "tall.prc\n"},
      {"a backslash is no separator here, and a missing folder is named with its file",
       sized_databases(),
       "",
       {{"-x", "out\\", "small.prc"}, {"-x", "x/y", "small.prc"}},
       1,
       "prcdump: small.prc: cannot write 'tver0001.bin' in 'x/y': No such file or directory\n",
       "big.prc\nmixed.prc\nout\\/\nout\\/tver0001.bin=1.0\nsmall.prc\n"},
      {"BDF files past the output a file of its size may make: none written",
       {{"empty.prc", database({{"nfnt", 0x80, many_images(4500, 0, 96, 0)}})}},
       "",
       {{"--bdf", "b", "empty.prc"}},
       1,
       "prcdump: empty.prc: its pictures and BDF files would take more than 8095780 bytes; a "
       "file of its size may make 8091136\n",
       "empty.prc\n"},
  };
  std::vector<WriteCase> runs;
  for (const Case& c : cases)
    runs.push_back(
        {c.title, c.files, c.setup, "", c.status, c.err, c.left, {}, 0, c.posix, false, c.runs});
  check(runs);
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
