#include <cstdio>

#include "files.h"
#include "prcdump.h"

int main(int argc, char** argv) {
  remove_temporaries_on_signals();
  return run_prcdump(argc, argv, stdout, stderr);
}
