// -x: every entry, and AppInfo and SortInfo, in a file of its own, and the
// prcbuild command line that rebuilds the database from those files; the
// writing of the files --png makes as well.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "output.h"
#include "reader.h"

// One part of the file that -x writes: an entry, or AppInfo or SortInfo.
struct Part {
  std::string name;  // file name in DIR
  uint32_t offset = 0;
  uint32_t size = 0;
  bool command = true;  // given to prcbuild
};

// A folder that files go to, made by the first database that puts a file
// there.
struct Folder {
  std::string path;
};

struct Run {
  FILE* out;
  FILE* err;
  Folder extract;
  Folder png;
  Folder bdf;
  int bdf_code_page = 1252;  // the code page the BDF files name
  std::string bdf_charset = "Western";
  bool listed_any = false;           // listings are separated by an empty line
  bool check = false;                // --check: findings instead of listings
  bool found_any = false;            // a finding was printed
  std::set<std::string> used_names;  // lower case: some file systems ignore case
  std::vector<char> buffer;
  FileError listing_error;  // the first write to out that failed
  std::string sample;  // --sample, UTF-8
  bool own_sample = false;
};

std::string error_text(int error);

// A path as one shell word that no program takes for an option.
std::string path_argument(const std::string& path);

// A name not yet used in this run: base.bin, then base-2.bin, base-3.bin...
// prcbuild reads a type and ID from the first eight characters, so the
// suffix changes neither.
std::string unique_name(Run* run, const std::string& base, const char* extension = ".bin");

std::string join_path(const std::string& dir, const std::string& name);

// Stages each part, copied from the file, in the group; returns what stops
// it, or "".
std::string stage_parts(Run* run, OutputGroup* group, FILE* from, const std::vector<Part>& parts);

// Stages one more file of the group in the folder, made if missing; the
// message when it can't be, else "".
std::string stage_file(OutputGroup* group, const std::string& folder, const std::string& name);

// The message for a file of the group that can't be written.
std::string write_error(const FileError& error);

// The message for a commit of the group that failed, with a line more, for
// the database at path, for each file it could not take back.
std::string commit_error(const FileError& error, const std::string& path);

// Plans the files of -x and what prcbuild can't redo.
void plan_parts(Run* run, FILE* file, const PalmDatabase& db, std::vector<Part>* parts,
                std::vector<std::string>* notes);

// The prcbuild command line that rebuilds the database from the extracted
// files, then one line for each thing it can't reproduce.
void print_command(FILE* out, const std::string& path, const std::string& dir,
                   const PalmDatabase& db, const std::vector<Part>& parts,
                   const std::vector<std::string>& notes);
