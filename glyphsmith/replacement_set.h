// A replacement set: the Palm's std, bold, large and largeBold fonts made
// from one face in one run, packed into a font package, with a remap package
// that shows them in place of the Palm's own at both densities.
#pragma once

#include <cstdio>

// Whether the command line asks for a set (--set NAME before any "--").
bool replacement_set_asked(int argc, char** argv);

// The whole run of `glyphsmith --set NAME [options] SIZE LINE CHARSET FACE...`:
// both packages are written, or neither and nothing else. usage is the text
// --help prints. Returns the exit status.
int run_replacement_set(int argc, char** argv, const char* usage, FILE* out, FILE* err);
