#include "sources.h"

#include <algorithm>
#include <filesystem>

#include "code_pages.h"

using charsets::Charset, charsets::CodePageTable, charsets::code_page_table;

namespace fs = std::filesystem;

namespace {

bool is_file(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

std::string hex_code(long code) {
  const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[code >> 4 & 15] + digits[code & 15];
}

std::string face_name(const FaceRequest& request, const std::string& family) {
  return request.file.empty() ? "font family '" + family + "'" : "font file '" + request.file + "'";
}

// A bitmap is copied as drawn: no style is made up for it.
std::string check_style(const FaceRequest& request, const FaceTraits& traits,
                        const std::string& what) {
  if (traits.strikes.empty()) return "";
  if (request.weight >= 600 && !traits.bold)
    return what + " has no bold face, and bitmap glyphs are not thickened";
  if (request.italic && !traits.italic)
    return what + " has no italic face, and bitmap glyphs are not slanted";
  return "";
}

// How a face's glyphs are found for the set's characters: by Unicode, or,
// in a face numbered by byte, by each character's byte in the face's code
// page.
struct FaceCodes {
  bool by_byte = false;  // in the set's own page: every byte copied as it is
  bool by_page = false;  // `page` gives its bytes' characters
  CodePageTable page{};
};

// A face numbered by byte holds the set asked for, or a code page whose
// characters it gives by meaning; one in no known page is refused.
std::string face_codes(const FaceTraits& traits, const Charset& charset, const std::string& what,
                       FaceCodes* codes) {
  *codes = FaceCodes{};
  if (traits.byte_charset.empty()) return "";
  std::string wanted = charset.xlfd;
  codes->by_byte = traits.byte_charset == wanted;
  if (int page = charset.symbol ? 0 : charsets::xlfd_code_page(traits.byte_charset)) {
    codes->page = code_page_table(page);
    codes->by_page = std::count(codes->page.begin(), codes->page.end(), 0u) < 256;
  }
  if (codes->by_byte || codes->by_page) return "";
  return what + " holds the character set " + traits.byte_charset + ", not " + charset.name +
         " (" + wanted + ")";
}

// The faces of both densities, and whether every byte is copied as it is.
struct Faces {
  Rasterizer* standard = nullptr;
  Rasterizer* twice = nullptr;
  FaceCodes standard_codes, twice_codes;
  bool by_byte = false;
};

GlyphBitmap render_code(Rasterizer& r, const FaceCodes& codes, bool by_byte, uint32_t code) {
  if (by_byte || !codes.by_page) return render_glyph(r, code);
  // A page may give a character at two bytes: the first is its own.
  auto at = std::find(codes.page.begin(), codes.page.end(), code);
  if (code == 0 || at == codes.page.end()) return GlyphBitmap{};
  return render_glyph(r, static_cast<uint32_t>(at - codes.page.begin()));
}

void render_pair(const Faces& f, uint32_t code, GlyphPair* p) {
  p->standard = render_code(*f.standard, f.standard_codes, f.by_byte, code);
  if (p->standard.present && f.twice)
    p->twice = render_code(*f.twice, f.twice_codes, f.by_byte, code);
}

GlyphBitmap doubled(const GlyphBitmap& g) {
  GlyphBitmap d = g;
  d.advance = 2 * g.advance;
  d.left = 2 * g.left;
  d.top = 2 * g.top;
  d.width = 2 * g.width;
  d.height = 2 * g.height;
  d.ink.clear();
  // A box too large for any Palm font keeps no ink (rasterizer.h).
  if (g.ink.empty() || d.width > kMaxInkWidth || d.height > kMaxInkHeight) return d;
  d.ink.assign(static_cast<size_t>(d.width) * d.height, 0);
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x)
      d.ink[static_cast<size_t>(y) * d.width + x] =
          g.ink[static_cast<size_t>(y / 2) * g.width + x / 2];
  return d;
}

// Why the 144-dpi strike can't share the 72-dpi one's width table, or "".
std::string unequal_advances(const std::vector<GlyphPair>& glyphs, int first_code, int pixels144) {
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphPair& p = glyphs[i];
    if (!p.standard.present) continue;
    int code = first_code + static_cast<int>(i);
    if (!p.twice.present)
      return "the " + std::to_string(pixels144) + "-pixel strike lacks character " +
             hex_code(code);
    if (p.twice.advance != 2 * p.standard.advance)
      return "character " + hex_code(code) + " advances " + std::to_string(p.twice.advance) +
             " pixels in the " + std::to_string(pixels144) + "-pixel strike, not 2 x " +
             std::to_string(p.standard.advance);
  }
  return "";
}

}  // namespace

std::string resolve_face(FaceRequest* request, std::string* second_file) {
  const std::string& face = request->family;
  if (is_file(face)) {
    request->file = face;
    return "";
  }
  std::vector<std::string> words;
  for (size_t at = 0; at <= face.size();) {
    size_t end = std::min(face.find(' ', at), face.size());
    words.push_back(face.substr(at, end - at));
    at = end + 1;
  }
  if (words.size() == 2 && is_file(words[0]) && is_file(words[1])) {
    request->file = words[0];
    *second_file = words[1];
    return "";
  }
  // A path is never a family's name: say which file is not there.
  for (const std::string& word : words)
    if (word.find_first_of("/\\") != std::string::npos && !is_file(word))
      return "no font file '" + word + "'";
  return "";
}

namespace {

// The 144-dpi face: the second file's, the face's own strike or outline, or
// none, when the 72-dpi glyphs are to be doubled (*why_doubled says why).
// *codes, the 72-dpi face's, becomes the second file's.
std::string open_twice(const FaceRequest& request, const std::string& second_file,
                       int pixels144, const Charset& charset, const FaceTraits& traits,
                       const std::string& what, bool* bitmap, RasterizerPtr* twice,
                       FaceCodes* codes, std::string* why_doubled) {
  std::string error;
  if (!second_file.empty()) {
    FaceRequest other = request;
    other.file = second_file;
    *twice = open_rasterizer(other, pixels144, &error);
    if (!*twice) return error;
    FaceTraits t = rasterizer_traits(**twice);
    for (const std::string& e : {check_style(other, t, face_name(other, "")),
                                 face_codes(t, charset, face_name(other, ""), codes)})
      if (!e.empty()) return e;
    *bitmap = *bitmap || !t.strikes.empty();
  } else if (!*bitmap ||
             std::count(traits.strikes.begin(), traits.strikes.end(), pixels144) > 0) {
    *twice = open_rasterizer(request, pixels144, &error);
    if (!*twice) return error;
  } else {
    *why_doubled = what + " has no " + std::to_string(pixels144) + "-pixel strike";
  }
  return "";
}

bool palm_western(const Charset& charset, bool by_byte) {
  return !by_byte && !charsets::palm_extras(charset).empty();
}

GlyphBitmap blank_like(const GlyphBitmap& g) {
  GlyphBitmap b;
  b.present = g.present;
  b.advance = g.advance;
  return b;
}

void render_palm_western(const Charset& charset, const Faces& faces, SourceGlyphs* out) {
  for (const charsets::PalmExtra& e : charsets::palm_extras(charset)) {
    GlyphPair& p = out->glyphs[static_cast<size_t>(e.byte - out->first_code)];
    if (!e.width_of) {
      render_pair(faces, e.meaning, &p);
      continue;
    }
    const GlyphPair& model = out->glyphs[static_cast<size_t>(int(e.width_of) - out->first_code)];
    p.standard = blank_like(model.standard);
    p.twice = blank_like(model.twice);
  }
}

// Faces in the set's own page give every byte they have, control codes too;
// otherwise each byte is its code page's character. Counts the characters
// past ASCII drawn, and those the page has.
void render_set(const Faces& faces, const Charset& charset, SourceGlyphs* out, int* beyond_ascii,
                int* page_beyond_ascii) {
  bool by_byte = faces.by_byte;
  bool palm = palm_western(charset, by_byte);
  out->first_code = by_byte ? 0 : palm ? charsets::palm_first_byte(charset) : 0x20;
  out->glyphs.assign(static_cast<size_t>(0x100 - out->first_code), GlyphPair{});
  CodePageTable page = code_page_table(charset.code_page);
  for (int byte = out->first_code; byte <= 0xFF; ++byte) {
    uint32_t code = static_cast<uint32_t>(byte);
    if (!by_byte && !charset.symbol) {
      code = page[static_cast<size_t>(byte)];
      if (code == 0) continue;
      // Control codes have no picture, whatever the face maps them to.
      if (code < 0x20 || (code >= 0x7F && code < 0xA0)) continue;
      *page_beyond_ascii += code >= 0x80;
    }
    GlyphPair& p = out->glyphs[static_cast<size_t>(byte - out->first_code)];
    render_pair(faces, code, &p);
    *beyond_ascii += p.standard.present && code >= 0x80;
  }
  if (palm) render_palm_western(charset, faces, out);
}

// The face's own missing symbol, DEFAULT_CHAR in each face's numbering: a
// second file that numbers its glyphs otherwise has its own, or has the
// 72-dpi one doubled.
void read_missing(const Faces& faces, long standard_char, bool twice_drawn, SourceGlyphs* out) {
  out->missing.standard = render_glyph(*faces.standard, static_cast<uint32_t>(standard_char));
  const FaceCodes &a = faces.standard_codes, &b = faces.twice_codes;
  long twice_char = standard_char;
  if (faces.twice && (a.by_page != b.by_page || a.page != b.page))
    twice_char = rasterizer_traits(*faces.twice).default_char;
  if (faces.twice && twice_drawn && twice_char >= 0)
    out->missing.twice = render_glyph(*faces.twice, static_cast<uint32_t>(twice_char));
  else
    out->missing.twice = doubled(out->missing.standard);
  out->own_missing = out->missing.standard.present && out->missing.twice.present;
}

}  // namespace

std::string read_glyphs(const FaceRequest& request, const std::string& second_file, int pixels,
                        int pixels144, const Charset& charset, SourceGlyphs* out) {
  std::string error;
  RasterizerPtr standard = open_rasterizer(request, pixels, &error);
  if (!standard) return error;
  FaceTraits traits = rasterizer_traits(*standard);
  out->family = rasterizer_family(*standard);
  std::string what = face_name(request, out->family);
  out->what = what;
  Faces faces;
  for (const std::string& e : {check_style(request, traits, what),
                               face_codes(traits, charset, what, &faces.standard_codes)})
    if (!e.empty()) return e;
  bool bitmap = !traits.strikes.empty();
  if (bitmap && traits.font_ascent >= 0 && traits.font_descent >= 0)
    out->line = {traits.font_ascent, traits.font_descent};

  RasterizerPtr twice;
  std::string why_doubled;
  faces.twice_codes = faces.standard_codes;
  error = open_twice(request, second_file, pixels144, charset, traits, what, &bitmap, &twice,
                     &faces.twice_codes, &why_doubled);
  if (!error.empty()) return error;
  faces.standard = standard.get();
  faces.twice = twice.get();
  faces.by_byte = faces.standard_codes.by_byte && faces.twice_codes.by_byte;

  int beyond_ascii = 0, page_beyond_ascii = 0;  // characters past ASCII: drawn, in the page
  render_set(faces, charset, out, &beyond_ascii, &page_beyond_ascii);
  // A bitmap face is drawn for its scripts: one that lacks most of the set's
  // own letters would make a font of boxes.
  if (bitmap && 2 * beyond_ascii < page_beyond_ascii)
    return what + " has " + std::to_string(beyond_ascii) + " of the " +
           std::to_string(page_beyond_ascii) + " characters " + charset.name +
           " adds to ASCII; choose a set it covers";
  if (bitmap && twice) {
    std::string why = unequal_advances(out->glyphs, out->first_code, pixels144);
    if (!why.empty()) why_doubled = why;
  }
  if (bitmap && traits.default_char >= 0)
    read_missing(faces, traits.default_char, why_doubled.empty(), out);
  if (!why_doubled.empty()) {
    for (GlyphPair& p : out->glyphs)
      if (p.standard.present) p.twice = doubled(p.standard);
    out->notes.push_back("144 dpi: the 72-dpi glyphs doubled, as " + why_doubled);
  }
  return "";
}
