// What FreeType leaves to its caller in BDF and PCF faces.
#pragma once

#include <string>
#include <vector>

struct FT_FaceRec_;

// A BDF property's whole-number value from 0 up, or -1.
int bdf_integer(FT_FaceRec_* face, const char* name);

// FontForge saves a glyph past its charset's bytes, as the missing symbol
// of prcdump's BDF files is, as ENCODING -1, which FreeType leaves out: the
// glyph named "missing" goes back to the code DEFAULT_CHAR names, in the
// copy of the file (*unpacked, filled from `path` when empty) the face is
// read from. Other files are left as they are.
void encode_missing_glyph(const std::string& path, std::vector<unsigned char>* unpacked);
