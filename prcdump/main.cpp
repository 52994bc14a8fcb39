#include <cstdio>

#include "output.h"
#include "prcdump.h"

using namespace palm;

int main(int argc, char** argv) {
  output_remove_temporaries_on_signals();
  output_ignore_write_signals();
  return run_prcdump(argc, argv, stdout, stderr);
}
