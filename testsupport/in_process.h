// Runs a program's run function inside the test, as its main() would run it,
// so that most cases cost microseconds rather than a process start.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "run.h"

using RunFunction = int (*)(int argc, char** argv, FILE* out, FILE* err);

// The build env_name names (as program_command reads it) run as a process,
// or with none named, run in this process as `name`: how a test runs a
// program so that scripts/test-windows.sh can point it at the Windows build.
RunResult run_program(const char* env_name, const char* name, RunFunction run,
                      const std::vector<std::string>& args, const RunOptions& options = {});

// Calls run(argv) in options.cwd with options.env applied (as run_command
// reads them), its two streams collected from files. The caller's folder and
// environment are as before afterwards. status is run's return value;
// timeout_seconds is not enforced.
RunResult run_in_process(RunFunction run, const std::vector<std::string>& argv,
                         const RunOptions& options = {});

// How many descriptors this process holds open (0 where the system can't
// tell): a run in process gives back every one it opened.
size_t open_descriptors();
