// prcdump's command line, and the state one run keeps across the files it
// reads.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "output.h"

// What the command line asks for.
struct Options {
  std::vector<std::string> files;
  std::string extract;       // -x DIR
  std::string png;           // --png DIR
  std::string bdf;           // --bdf DIR
  std::string bdf_charset = "Western";
  std::optional<std::string> sample;  // --sample TEXT, UTF-8
  bool check = false;  // --check: findings instead of listings
};

// Which file a path names, whatever the path: the same file reached by
// another name or a hard link has the same identity.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// The file names given out in a run, lower case (some file systems ignore
// case), and for each base the suffix to try next, so that the thousandth
// file of one name costs no more than the second.
struct FileNames {
  std::unordered_set<std::string> used;
  std::unordered_map<std::string, unsigned> next;
};

struct Run {
  FILE* out = nullptr;
  FILE* err = nullptr;
  Options options;
  std::map<FileIdentity, std::string> inputs;  // every FILE that exists, and its path
  FileNames names;
  bool listed_any = false;  // listings are separated by an empty line
  bool found_any = false;   // a finding was printed
  uint64_t made_bytes = 0;  // of pictures and BDF files, for the database being read
  uint64_t made_budget = 0;
  std::vector<char> buffer;
  palm::FileError listing_error;  // the first write to out that failed
};

// What a command line asks for: a run over its files, help, the version,
// or nothing but a mistake (worded for "prcdump: MISTAKE").
enum class Request { run, help, version, mistake };

struct CommandLine {
  Request request = Request::run;
  std::string mistake;
};

// The help text, printed for --help and after every mistake.
extern const char kUsage[];

// Reads the command line into *options up to its first help, version or
// mistake.
CommandLine parse_command_line(int argc, char** argv, Options* options);
