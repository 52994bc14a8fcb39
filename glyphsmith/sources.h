// Where a run's glyphs come from: an installed family or font files, drawn
// from outlines or copied from bitmap strikes, at 72 and 144 dpi.
#pragma once

#include <string>
#include <vector>

#include "build_font.h"
#include "charsets.h"
#include "rasterizer.h"

struct SourceGlyphs {
  std::vector<GlyphPair> glyphs;  // glyphs[i] is character first_code + i
  int first_code = 0x20;
  bool own_missing = false;  // the face's own missing-character glyph, in `missing`
  GlyphPair missing;
  FontLine line;  // a bitmap face's own ascent and descent, at 72 dpi
  std::string family;              // as the platform opened it
  std::string what;                // "font family 'X'" or "font file 'x.bdf'", for messages
  std::vector<std::string> notes;  // for the run's report
};

// FACE's words name font files when the whole names one, or when two words
// each name one (the first for 72 dpi, the second for 144); else a family.
// Fills request.file and *second_file. Returns "" or why not.
std::string resolve_face(FaceRequest* request, std::string* second_file);

// The set's characters with the em `pixels` high at 72 dpi and `pixels144`
// at 144 dpi. A bitmap face gives its
// strikes' glyphs as drawn; without a usable 144-dpi strike its 72-dpi glyphs
// are doubled, as a Palm does, and a note says why. Returns "" or why not.
std::string read_glyphs(const FaceRequest& request, const std::string& second_file, int pixels,
                        int pixels144, const charsets::Charset& charset, SourceGlyphs* out);
