// --png: every font found in a database drawn as a glyph sheet, in a file
// named after its entry.
#pragma once

#include <string>
#include <vector>

#include "extract.h"
#include "listing.h"

// One part a font, its PNG bytes in hand; returns what stops it, or "".
std::string draw_sheets(Run* run, const PalmDatabase& db, const std::vector<FoundFont>& fonts,
                        std::vector<Part>* sheets);
