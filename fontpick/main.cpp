#include <cstdio>

#include "program.h"

int main(int argc, char** argv) { return run_fontpick(argc, argv, stdout, stderr); }
