// One run of the generator: read the command line, render the face's
// characters at 72 and 144 dpi, build the Palm fonts and the preview, and
// write them together.
#pragma once

#include <string>
#include <vector>

// Runs with the arguments after the program's name. The summary lines (or
// the help text) come back in *out, a message starting "glyphsmith: " in
// *err; the result is the exit status, 0 or 1.
int glyphsmith(const std::vector<std::string>& args, std::string* out, std::string* err);
