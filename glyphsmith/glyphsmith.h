// One run of the generator: read the command line, render the face's
// characters at 72 and 144 dpi, build the Palm fonts and the preview, and
// write them together.
#pragma once

#include <cstdio>

// Runs with the program's arguments. The summary lines (or the help text) go
// to out, a message starting "glyphsmith: " to err; the result is the exit
// status, 0 or 1.
int run_glyphsmith(int argc, char** argv, FILE* out, FILE* err);
