// -x: every entry, and AppInfo and SortInfo, in a file of its own, and the
// prcbuild command line that rebuilds the database from those files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "output.h"
#include "reader.h"

// One part of the file that -x writes: an entry, or AppInfo or SortInfo.
struct Part {
  std::string name;  // file name in DIR
  uint32_t offset = 0;
  uint32_t size = 0;
  bool command = true;  // given to prcbuild
};

// Stages each part, copied from the file, in the group; returns what stops
// it, or "".
std::string stage_parts(Run* run, palm::OutputGroup* group, FILE* from, const std::vector<Part>& parts);

// Plans the files of -x and what prcbuild can't redo.
void plan_parts(Run* run, FILE* file, const palm::PalmDatabase& db, std::vector<Part>* parts,
                std::vector<std::string>* notes);

// The prcbuild command line that rebuilds the database from the extracted
// files, then one line for each thing it can't reproduce.
void print_command(FILE* out, const std::string& path, const std::string& dir,
                   const palm::PalmDatabase& db, const std::vector<Part>& parts,
                   const std::vector<std::string>& notes);
