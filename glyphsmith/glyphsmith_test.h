// What the glyphsmith program's test files share: the program run in this
// process or as the build GLYPHSMITH names, the fixture that runs a case
// either way, and the face every command line names.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "glyphsmith.h"
#include "in_process.h"
#include "run.h"

#ifndef GLYPHSMITH_PROGRAM
#error GLYPHSMITH_PROGRAM must name the built program
#endif

// GLYPHSMITH may name another build to run instead (a command prefix such as
// "wine .../glyphsmith.exe").
inline std::vector<std::string> command_prefix() {
  return program_command("GLYPHSMITH", GLYPHSMITH_PROGRAM);
}

inline bool windows_build() {
  return runs_under_wine(command_prefix());
}

// The built program, or the build GLYPHSMITH names.
inline RunResult glyphsmith_process(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> argv = command_prefix();
  argv.insert(argv.end(), args.begin(), args.end());
  RunResult r = run_command(argv, RunOptions{dir.path, {}, 120});
  r.out = without_cr(r.out);
  r.err = from_wine(r.err);
  return r;
}

// The run function in this process, unless GLYPHSMITH names another build.
inline RunResult glyphsmith(const TempDir& dir, std::vector<std::string> args) {
  RunResult r = run_program("GLYPHSMITH", "glyphsmith", run_glyphsmith, args, {dir.path, {}, 120});
  r.out = without_cr(r.out);
  r.err = from_wine(r.err);
  return r;
}

using Runner = RunResult (*)(const TempDir&, std::vector<std::string>);

// The cases whose outcome a platform's build decides (GDI's faces and
// sizes, its streams' line ends, main's exit status): run in this process,
// and when GLYPHSMITH names another build (scripts/test-windows.sh names
// the Windows one), as that program too.
class Program : public testing::TestWithParam<Runner> {
 protected:
  RunResult glyphsmith(const TempDir& dir, std::vector<std::string> args) {
    return GetParam()(dir, std::move(args));
  }
};

inline const std::string kFace[] = {"DejaVu", "Sans"};

inline std::vector<std::string> line(std::vector<std::string> head) {
  head.insert(head.end(), std::begin(kFace), std::end(kFace));
  return head;
}
