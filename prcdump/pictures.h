// --png: every font found in a database drawn as a glyph sheet, in a file
// named after its entry.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "extract.h"

// Weighs the sheets of the fonts at the entries given against the budget of
// a file of its size, then draws each, stages it in the group and lets it
// go. A font that can't be decoded after all gets its problem in *details
// and no sheet. Returns what stops the pictures, or "".
std::string stage_sheets(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                         const std::vector<size_t>& fonts, std::vector<std::string>* details);

// The whole entry, decoded; "" or what is wrong.
std::string read_font(FILE* file, const PalmEntry& e, BitmapFont* font);

// What a database's pictures of `pixels` pixels in all may not take, or "":
// a tiny file whose sizes promise vast pictures is refused undrawn.
std::string over_budget(const PalmDatabase& db, int64_t pixels);
