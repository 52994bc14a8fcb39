#include <cstdio>

#include "prcdump.h"

int main(int argc, char** argv) {
  return run_prcdump(argc, argv, stdout, stderr);
}
