// --bdf: every font found in a database as BDF, a file per density, and the
// glyphsmith command line that builds each font again from its files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "output.h"
#include "reader.h"

// Stages a file per density of each font weighed (weigh_fonts) in the
// group; a font with a 72-dpi image gets its command, or a note why there
// is none, in *commands. Returns what stops the files, or "".
std::string stage_bdf_files(Run* run, palm::OutputGroup* group, FILE* file, const palm::PalmDatabase& db,
                            const std::vector<size_t>& fonts, std::vector<std::string>* commands);
