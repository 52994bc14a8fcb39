// What prcbuild's unit and end-to-end tests share: the fixture that runs the
// program in a fresh folder and reads back what it wrote. PRCBUILD may name
// another build to run instead (a command prefix such as "wine .../prcbuild.exe").
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "in_process.h"
#include "prcbuild.h"
#include "run.h"

inline std::vector<std::string> command_prefix() {
  return program_command("PRCBUILD", PRCBUILD_PATH);
}

inline bool windows_build() {
  return runs_under_wine(command_prefix());
}

// The program name as the program itself sees it, for the usage text.
inline std::string program_name() {
  const char* env = getenv("PRCBUILD_ARGV0");
  return env && *env ? env : command_prefix().back();
}

inline std::string usage() {
  std::string p = program_name();
  return "Usage:\n  " + p +
         " outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
         "or:\n  " +
         p +
         " -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n\n"
         "Fonts may be specified either by name identifier or in hex.  This is only for\n"
         "generating font remap packages for software using Pagewick font packages.\n\n";
}

inline std::string bytes(size_t n, char seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 + i / 256);
  return s;
}

// Every file's size and hash, link targets, folders, other kinds.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> seen;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    std::string name = e.path().lexically_relative(folder).string();
    fs::file_status st = e.symlink_status();
    if (fs::is_symlink(st)) {
      seen[name] = "link to " + fs::read_symlink(e.path()).string();
    } else if (fs::is_regular_file(st)) {
      std::string bytes = read_file(e.path().string());
      seen[name] = std::to_string(bytes.size()) + " bytes, hash " +
                   std::to_string(std::hash<std::string>{}(bytes));
    } else {
      seen[name] = fs::is_directory(st) ? "folder" : "special";
    }
  }
  return seen;
}

struct Prcbuild : testing::Test {
  // Files named with '\' stand in folders on Windows and in one folder here.
  void put(const std::string& name, const std::string& content) {
    std::string path = dir.file(name);
    if (windows_build())
      for (char& c : path)
        if (c == '\\') c = '/';
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, content);
  }

  // The run function in this process, unless PRCBUILD names another build;
  // every descriptor it opens is closed again, as an embedder needs.
  RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    if (!env_command("PRCBUILD").empty()) return run_process(args, std::move(env));
    std::vector<std::string> argv = {PRCBUILD_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    size_t open = open_descriptors();
    RunResult r = run_in_process(run_prcbuild, argv, {dir.path, std::move(env), 300});
    EXPECT_EQ(open, open_descriptors()) << "descriptors left open";
    return checked(r);
  }

  // The program as a process, as a user starts it.
  RunResult run_process(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    std::vector<std::string> argv = command_prefix();
    argv.insert(argv.end(), args.begin(), args.end());
    return checked(run_command(argv, {dir.path, std::move(env), 300}));
  }

  static RunResult checked(RunResult r) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ("", r.out) << "standard output is never written";
    // Standard error is a text stream on Windows: each line ends in CR LF there.
    if (windows_build()) r.err = from_wine(r.err);
    return r;
  }

  // The output file's bytes, with the two clock fields checked and zeroed.
  std::string output(const std::string& name) {
    std::string file = read_file(dir.file(name));
    if (file.size() < 78) return file;
    EXPECT_EQ(hex(file.substr(36, 4)), hex(file.substr(40, 4)));
    file.replace(36, 8, std::string(8, '\0'));
    return file;
  }

  std::set<std::string> listing() { return tree_names(dir.path); }

  TempDir dir;
};

// What only a POSIX system can show: devices, permissions, links, limits,
// signals.
struct PrcbuildPosix : Prcbuild {
  void SetUp() override {
    if (windows_build()) GTEST_SKIP() << "POSIX file system behaviour";
  }
};
