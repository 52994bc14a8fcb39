#include <cstdio>
#include <string>
#include <vector>

#include "glyphsmith.h"
#include "output.h"

int main(int argc, char** argv) {
  output_remove_temporaries_on_signals();
  output_ignore_write_signals();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int status = glyphsmith(args, &out, &err);
  std::fputs(out.c_str(), stdout);
  if (!err.empty()) std::fprintf(stderr, "%s\n", err.c_str());
  FileError written = standard_output_status();
  if (!written.ok()) {
    std::fprintf(stderr, "glyphsmith: standard output: %s\n", written.reason().c_str());
    status = 1;
  }
  return status;
}
