// What prcdump's unit and end-to-end tests share: database bytes laid out
// by hand, the usage text, and the fixture that runs the program in a fresh
// folder. PRCDUMP may name another build to run instead (a command prefix
// such as "wine .../prcdump.exe").
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "in_process.h"
#include "palm_bytes.h"
#include "prcbuild.h"
#include "prcdump.h"
#include "run.h"

inline std::vector<std::string> command_prefix() {
  return program_command("PRCDUMP", PRCDUMP_PATH);
}

inline bool windows_build() {
  return runs_under_wine(command_prefix());
}

// A database laid out field by field: header, the given entry list, the rest.
inline std::string header(uint16_t attributes, uint16_t count, const std::string& type = "typecrea",
                          uint32_t app = 0, uint32_t sort = 0, std::string name = "Test") {
  name.resize(32, '\0');
  return name + be(attributes, 2) + be(1, 2) + be(0xD0000000, 4) + be(0, 4) + be(0, 4) + be(0, 4) +
         be(app, 4) + be(sort, 4) + type + std::string(8, '\0') + be(count, 2);
}
inline std::string res(const std::string& type, uint16_t id, uint32_t offset) {
  return type + be(id, 2) + be(offset, 4);
}

// A resource database of two font remaps, one with a type that needs escaping,
// and its listing.
inline std::string remap_database() {
  using namespace std::string_literals;
  return header(1, 2, "Rmap\\\x7f\xff ") + res("Rmap", 0x89, 98) + res("a\nb ", 2, 102) +
         "@\0\0\x90"s + "@\0\x12\x34"s;
}
inline const std::string kRemapListing =
    "file:         remap.prc\n"
    "name:         Test\n"
    "kind:         resource database\n"
    "type:         Rmap\n"
    "creator:      \\x5c\\x7f\\xff \n"
    "attributes:   0x0001 resource\n"
    "version:      1\n"
    "created:      2014-07-31 14:15:28 UTC\n"
    "modified:     never\n"
    "backed up:    never\n"
    "modification: 0\n"
    "entries:      2\n"
    "  index  type  id          offset        size\n"
    "      0  Rmap  0x0089          98           4  remap to stdFixedFont_palm (0x0090)\n"
    "      1  a\\x0ab   0x0002         102           4  remap to font 0x1234\n";

// The line -x prints after the listing that starts with "prcbuild ", and the
// lines after it.
inline std::string command_of(const std::string& out) {
  size_t at = out.rfind("\nprcbuild ");
  return at == std::string::npos ? "" : out.substr(at + 1);
}

struct Prcdump : testing::Test {
  TempDir dir;

  // The run function in this process, unless PRCDUMP names another build;
  // every descriptor it opens is closed again, as an embedder needs.
  RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    if (!env_command("PRCDUMP").empty()) return run_process(args, std::move(env));
    std::vector<std::string> argv = {"prcdump"};
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.begin(), "TZ=UTC0");
    size_t open = open_descriptors();
    RunResult r = run_in_process(run_prcdump, argv, {dir.path, env, 300});
    EXPECT_EQ(open, open_descriptors()) << "descriptors left open";
    return r;
  }

  // The program as a process, as a user starts it.
  RunResult run_process(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    std::vector<std::string> argv = command_prefix();
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.begin(), "TZ=UTC0");
    RunResult r = run_command(argv, {dir.path, env, 300});
    EXPECT_FALSE(r.timed_out);
    // Text streams end their lines in CR LF on Windows.
    r.out = without_cr(r.out);
    r.err = from_wine(r.err);
    return r;
  }

  void put(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
    write_file(dir.file(name), bytes);
  }

  // Names of the files in a folder, sorted, hidden ones included.
  std::string files_in(const std::string& folder) {
    std::string s;
    for (const std::string& n : folder_names(dir.file(folder))) s += (s.empty() ? "" : " ") + n;
    return s;
  }

  // prcbuild's run function in this folder; its status.
  int build(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"prcbuild"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run_in_process(run_prcbuild, argv, {dir.path, {}, 300});
    EXPECT_EQ("", r.err);
    return r.status;
  }

  // Runs a command line in dash, a plain POSIX shell, with prcbuild in the PATH.
  RunResult shell(const std::string& line) {
    std::string prcbuild_dir = std::filesystem::path(PRCBUILD_PATH).parent_path().string();
    return run_command({"dash", "-c", line},
                       {dir.path, {"PATH=" + prcbuild_dir + ":" + getenv("PATH")}, 300});
  }
};

// The usage text byte for byte; internal to each test file, apart from the
// program's own.
const char kUsage[] =
    "Usage: prcdump [-x DIR] [--png DIR] [--sample TEXT]\n"
    "               [--bdf DIR [--charset NAME]] FILE...\n"
    "       prcdump --check FILE...\n"
    "Shows the header and the entries of each Palm OS database FILE (.prc or .pdb).\n"
    "\n"
    "  -x DIR      also write every entry to a file in DIR (made if missing) and\n"
    "              print the prcbuild command line that rebuilds the database\n"
    "  --png DIR   draw every font as a PNG glyph sheet in DIR (made if missing),\n"
    "              with a page of text at the Palm's screen size\n"
    "  --sample TEXT  the page's text (default: the charset's sample sentence)\n"
    "  --bdf DIR   write every font as BDF, a file per density, in DIR (made if\n"
    "              missing) and print the glyphsmith command that builds it again\n"
    "  --charset NAME  the character set the BDF files name and the page's text\n"
    "              is converted to (default: Western)\n"
    "  --check     list nothing, but say what a Palm would mis-read, one line\n"
    "              each; the status is 1 when anything is found\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n";
