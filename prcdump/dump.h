// One database named on the command line: listed, and with -x and --png
// extracted and drawn.
#pragma once

#include <string>

#include "options.h"

// Returns what is wrong with the file, or "".
std::string dump_file(Run* run, const std::string& path);
