// What a prcbuild run should do, worked out on its own from the command line
// and the files on disk, so that a fuzzed run can be checked against it.
#pragma once

#include <string>
#include <vector>

#include "palm_check.h"

struct ExpectedRun {
  int status = 0;
  std::string err;     // all of standard error
  std::string output;  // the database's path, when status is 0
  PalmFile database;   // its contents, dates aside
};

// The outcome of running prcbuild with argv (argv[0] included) in the folder
// dir, with the files there as they are now.
ExpectedRun expected_run(const std::vector<std::string>& argv, const std::string& dir);
