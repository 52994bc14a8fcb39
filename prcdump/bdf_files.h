// --bdf: every font found in a database as BDF, a file per density, and the
// glyphsmith command line that builds each font again from its files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "extract.h"

// Weighs the fonts at the entries given against the pictures' budget, then
// stages a file per density of each in the group; a font with a 72-dpi
// image gets its command in *commands. A font that can't be decoded is left
// out, as the listing says. Returns what stops the files, or "".
std::string stage_bdf_files(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                            const std::vector<size_t>& fonts, std::vector<std::string>* commands);
