#include "output.h"
#include "prcbuild.h"

using namespace palm;

int main(int argc, char** argv) {
  // A write cut short by a file size limit or a vanished reader is reported
  // like any other; an interrupted run leaves no temporary file.
  output_ignore_write_signals();
  output_remove_temporaries_on_signals();
  return run_prcbuild(argc, argv, stdout, stderr);
}
