#include "prcbuild.h"

int main(int argc, char** argv) {
  return run_prcbuild(argc, argv);
}
