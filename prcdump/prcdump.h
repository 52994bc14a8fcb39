#pragma once

#include <cstdio>

// The whole program: lists, and with -x extracts, each database named on the
// command line. Everything it prints goes to out and err; returns the exit
// status (0, or 1 when any file or the command line was bad).
int run_prcdump(int argc, char** argv, FILE* out, FILE* err);
