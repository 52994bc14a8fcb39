// -x: every entry, and AppInfo and SortInfo, in a file of its own, and the
// prcbuild command line that rebuilds the database from those files; the
// writing of the files --png makes as well.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "reader.h"

// One part of the file that -x writes: an entry, or AppInfo or SortInfo.
struct Part {
  std::string name;  // file name in DIR
  uint32_t offset = 0;
  uint32_t size = 0;
  bool command = true;         // given to prcbuild
  std::string temp;            // written, not yet in place
  std::vector<uint8_t> bytes;  // written from here instead of the file when set
};

// A folder that files go to, made when missing and taken away again when
// nothing went in.
struct Folder {
  std::string path;
  bool created = false;
  bool used = false;
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
};

std::string error_text(int error);

// dir/name, with one separator between.
std::string join_path(const std::string& dir, const std::string& name);

// A path as one shell word that no program takes for an option.
std::string path_argument(const std::string& path);

// A name not yet used in this run: base.bin, then base-2.bin, base-3.bin...
// prcbuild reads a type and ID from the first eight characters, so the
// suffix changes neither.
std::string unique_name(Run* run, const std::string& base, const char* extension = ".bin");

// Copies each part into a temporary file beside its final name, then puts
// them all in place; on any failure none is, and the temporary files go.
std::string write_parts(Run* run, Folder* folder, FILE* from, std::vector<Part>* parts);

// Plans the files of -x and what prcbuild can't redo.
void plan_parts(Run* run, FILE* file, const PalmDatabase& db, std::vector<Part>* parts,
                std::vector<std::string>* notes);

// The prcbuild command line that rebuilds the database from the extracted
// files, then one line for each thing it can't reproduce.
void print_command(FILE* out, const std::string& path, const std::string& dir,
                   const PalmDatabase& db, const std::vector<Part>& parts,
                   const std::vector<std::string>& notes);
