#include <cstdio>

#include "glyphsmith.h"
#include "output.h"

using namespace palm;

int main(int argc, char** argv) {
  output_remove_temporaries_on_signals();
  output_ignore_write_signals();
  int status = run_glyphsmith(argc, argv, stdout, stderr);
  FileError written = standard_output_status();
  if (!written.ok()) {
    std::fprintf(stderr, "glyphsmith: standard output: %s\n", written.reason().c_str());
    status = 1;
  }
  return status;
}
