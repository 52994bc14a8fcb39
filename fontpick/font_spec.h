// Turning the command line's font and size texts into a LOGFONTA, and the
// character-set names used on both sides of the dialog.
#pragma once

#include <string>

#include "charsets.h"
#include "logfont.h"

// The shared table of character sets names them on both sides of the dialog.
using charsets::CharsetEntry, charsets::CharsetTable, charsets::charset_name;

// Fills font from a FontSpec ("[winfont://]Face[:italic:weight:charset]") and
// a SizeSpec ("10.5pt" in points when it holds a lower-case p, otherwise a
// logical height such as "-16"); dpi_y matters only for sizes in points.
void parse_font_spec(int dpi_y, LOGFONTA& font, const std::string& font_spec,
                     const std::string& size_spec);

// The code for a table name or a decimal number; 1 (the default set) for an
// empty token or one that is neither.
int charset_code(const std::string& token);
