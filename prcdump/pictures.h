// --png: every font found in a database drawn as a glyph sheet, in a file
// named after its entry; and the weighing of fonts that --png and --bdf
// share.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bitmap_font.h"
#include "options.h"
#include "reader.h"

// The text of the page below each sheet, in the code page --charset names:
// --sample, or the set's sample sentence; "" for none.
std::string page_text(const Options& options);

// The font of an entry, to the depth asked; "" or what is wrong.
std::string read_font(FILE* file, const palm::PalmEntry& e, palm::FontDepth depth, palm::BitmapFont* font);

// Weighs the fonts at the entries given by their glyph sheets, with the
// page of text below each when `page` is set: a tiny file
// whose sizes promise vast pictures is refused before anything is drawn.
// The entries that decode go to *decoded; one that doesn't gets its problem
// in *details, when details is given. Returns what stops the database, or "".
std::string weigh_fonts(FILE* file, const palm::PalmDatabase& db, const std::vector<size_t>& fonts,
                        bool page, std::vector<size_t>* decoded,
                        std::vector<std::string>* details);

// The file name of an entry's font, without extension.
std::string font_file_base(const palm::PalmDatabase& db, size_t entry);

// Draws each font weighed, its sheet and below it a page of `page` (none
// when empty), stages the picture in the group and lets it go. Returns what
// stops the pictures, or "".
std::string stage_sheets(Run* run, palm::OutputGroup* group, FILE* file, const palm::PalmDatabase& db,
                         const std::vector<size_t>& fonts, std::string_view page);
