#include "glyphsmith.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "bitmap_font.h"
#include "build_font.h"
#include "charsets.h"
#include "code_pages.h"
#include "database.h"
#include "font_picture.h"
#include "font_remap.h"
#include "messages.h"
#include "options.h"
#include "output.h"
#include "rasterizer.h"
#include "replacement_set.h"
#include "sized_font.h"
#include "sources.h"
#include "text.h"
#include "text_page.h"
#include "write_files.h"

using namespace palm;

using base::lower_ascii, base::read_digits, base::hex_text;
using charsets::Charset, charsets::sample_bytes, charsets::code_page_bytes;

namespace fs = std::filesystem;

namespace {

// The 4 hexadecimal digits at text[at], or -1.
int id_at(const std::string& text, size_t at) {
  int id = 0;
  return text.size() >= at + 4 && read_digits(text.substr(at, 4), 16, 4, &id) ? id : -1;
}

// The IDs of the fonts already in the folder: NFNTxxxx and nfntxxxx files in
// any case, with or without a suffix, and previews, so that a new font never
// replaces one, nor one written under names of earlier versions. IDs
// already in taken are passed over too.
std::string first_free_id(const std::string& folder, std::set<uint16_t> taken, int* id) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string lower = lower_ascii(it->path().filename().string());
    int value = -1;
    if (lower.compare(0, 4, "nfnt") == 0 && (lower.size() == 8 || (lower.size() > 8 && strchr(".-", lower[8]))))
      value = id_at(lower, 4);
    else if (lower.compare(0, 8, "preview-") == 0 && lower.size() > 12 && lower[12] == '.')
      value = id_at(lower, 8);
    if (value >= 0) taken.insert(static_cast<uint16_t>(value));
  }
  if (ec) return "cannot read the folder '" + folder + "': " + ec.message();
  uint16_t free_id;
  if (!first_free_font_id(taken, &free_id))
    return "every resource ID from 0080 to ffff is taken in '" + folder + "'";
  *id = free_id;
  return "";
}

// The ID a run chose, held until its files are in place, so that runs at
// once in one folder never choose the same.
struct HeldId {
  OutputReservation reservation;
  ~HeldId() { output_release(&reservation); }
};

// The first free ID that no other run holds: each is held by an exclusive
// create, then looked for again, as a run that held it may have put its
// files in place and let go of it meanwhile.
std::string hold_free_id(const std::string& folder, int* id, HeldId* held) {
  std::set<uint16_t> passed;
  for (;;) {
    std::string error = first_free_id(folder, passed, id);
    if (!error.empty()) return error;
    std::string name = ".glyphsmith-" + hex_text(static_cast<unsigned>(*id), 4) + ".lock";
    FileError taken = output_reserve(&held->reservation, (fs::path(folder) / name).string());
    if (!taken.ok() && taken.code != EEXIST)
      return base::write_failure(folder, "", taken.reason());
    int again = -1;
    if (taken.ok()) error = first_free_id(folder, passed, &again);
    if (!error.empty() || again == *id) return error;
    output_release(&held->reservation);
    passed.insert(static_cast<uint16_t>(*id));
  }
}

// The files of one font, the same on every system. prcbuild reads type and
// ID from a name's first eight characters; the version 2 font's suffix keeps
// them and parts its name from the version 1 font's where names ignore
// letter case. The preview's name holds no ID prcbuild would read, and no
// NFNT* or nfnt* pattern takes it for a font.
struct FontFileNames {
  std::string v1, v2, preview;
};

FontFileNames font_file_names(int id) {
  std::string digits = hex_text(static_cast<unsigned>(id), 4);
  return {"NFNT" + digits + ".bin", "nfnt" + digits + "-hd.bin", "preview-" + digits + ".png"};
}

std::string describe_points(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// What a Palm would show, drawn from the written bytes: the set's sample
// sentence, every character, and a screenful of `page`, at both densities.
std::string make_preview(const std::vector<uint8_t>& bytes, const Charset& charset,
                         std::string_view page, std::vector<uint8_t>* png, std::string* what) {
  BitmapFont font;
  std::string error = decode_font(bytes.data(), bytes.size(), &font);
  if (!error.empty()) return "the written font reads back wrong: " + error;
  // Grey, and a 72-dpi pixel two pixels wide: both densities show at the
  // size a Palm shows them, and the picture stays small and quick to write.
  PictureOptions options;
  options.scale72 = 2;
  options.channels = 1;
  std::vector<Canvas> parts;
  std::string sample = sample_bytes(charset);
  if (!sample.empty()) parts.push_back(draw_sample(font, sample, options));
  parts.push_back(draw_glyph_sheet(font, options));
  if (!page.empty()) parts.push_back(draw_text_page(font, page, options.channels, options.gap));
  Canvas canvas = stack_canvases(parts, kPartGap, kPictureWhite);
  *png = encode_png(canvas);
  if (png->empty()) return "cannot make the preview";
  *what = std::string("preview at ") + (font.images.size() > 1 ? "72 and 144 dpi, " : "72 dpi, ") +
          std::to_string(canvas.width) + " x " + std::to_string(canvas.height) + " pixels";
  return "";
}

// The fonts' files and their summary lines; refuses a font too large for a
// resource, naming the ways to a smaller one.
std::string font_files(const GlyphsmithOptions& o, const FontSource& source,
                       const FontFileNames& names, SizedFont* font, std::vector<PendingFile>* files,
                       std::vector<std::string>* summaries) {
  if (!sized_fits(*font))
    return too_large(source, font->what, o.size, o.line, *font) +
           "; or choose fewer characters with --chars" +
           (o.single_density ? "" : ", or write the 72-dpi font alone with --single-density");
  std::string what =
      font->family + " " + describe_points(o.size) + " points, " + o.charset.name +
      (o.charset.symbol ? " (the face's symbol map)"
                        : " (code page " + std::to_string(o.charset.code_page) + ")") +
      ", " + std::to_string(font->characters) + " characters, " + std::to_string(font->height) +
      " pixels high";
  for (std::vector<uint8_t>* bytes : {&font->v1, &font->v2}) {
    bool v2 = bytes == &font->v2;
    if (v2 && o.single_density) break;
    PendingFile f{v2 ? names.v2 : names.v1, std::move(*bytes)};
    summaries->push_back(f.name + ": " + what + (v2 ? ", 72 and 144 dpi, " : ", 72 dpi, ") +
                         std::to_string(f.bytes.size()) + " bytes");
    files->push_back(std::move(f));
  }
  return "";
}

}  // namespace

int run_glyphsmith(int argc, char** argv, FILE* out, FILE* err) {
  if (replacement_set_asked(argc, argv))
    return run_replacement_set(argc, argv, kGlyphsmithUsage, out, err);
  GlyphsmithOptions o;
  std::string error = parse_command_line(argc, argv, &o);
  auto fail = [err](const std::string& message) {
    std::fprintf(err, "glyphsmith: %s\n", message.c_str());
    return 1;
  };
  if (!error.empty()) return fail(error);
  if (!o.answer.empty()) {
    std::fputs(o.answer.c_str(), out);
    return 0;
  }

  std::error_code ec;
  if (!fs::is_directory(o.folder, ec)) return fail("no folder '" + o.folder + "'");
  HeldId held;
  if (o.id < 0) {
    error = hold_free_id(o.folder, &o.id, &held);
    if (!error.empty()) return fail(error);
  }

  // A Palm point is a pixel at standard density, two at double density.
  std::string second_file;
  error = resolve_face(&o.face, &second_file);
  if (!error.empty()) return fail(error);
  FontSource source{o.face, second_file, o.charset, o.chars, o.single_density};
  SizedFont font;
  error = build_sized(source, o.size, o.line, &font);
  if (!error.empty()) return fail(error);

  FontFileNames names = font_file_names(o.id);
  std::vector<PendingFile> files;
  std::vector<std::string> summaries;
  error = font_files(o, source, names, &font, &files, &summaries);
  if (!error.empty()) return fail(error);

  if (o.preview) {
    PendingFile png{names.preview, {}};
    std::string what;
    std::string page =
        o.sample ? code_page_bytes(o.charset, *o.sample) : sample_bytes(o.charset);
    error = make_preview(files.back().bytes, o.charset, page, &png.bytes, &what);
    if (!error.empty()) return fail(error);
    summaries.push_back(png.name + ": " + what);
    files.push_back(std::move(png));
  }

  error = write_files(o.folder, files);
  if (!error.empty()) return fail(error);
  for (const std::string& s : summaries) std::fprintf(out, "%s\n", s.c_str());
  for (const std::string& note : font.notes) std::fprintf(out, "note: %s\n", note.c_str());
  return 0;
}
