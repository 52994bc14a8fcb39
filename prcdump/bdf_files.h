// --bdf: every font found in a database as BDF, a file per density, and the
// glyphsmith command line that builds each font again from its files.
#pragma once

#include <string>
#include <vector>

#include "extract.h"
#include "listing.h"

// One part a density of a font; one command a font with a 72-dpi image.
void plan_bdf_files(Run* run, const PalmDatabase& db, const std::vector<FoundFont>& fonts,
                    std::vector<Part>* files, std::vector<std::string>* commands);
