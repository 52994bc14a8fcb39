#include "pictures.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "database.h"
#include "entry_name.h"
#include "font_picture.h"
#include "text_page.h"
#include "charsets.h"
#include "input.h"
#include "text.h"

using base::format;

namespace {

// The pixels a database's sheets may take in all: a few million for any
// file, then more as the file grows. Real fonts take a few dozen pixels a
// byte; a tiny file whose sizes promise a vast picture is refused undrawn.
constexpr int64_t kBasePixels = int64_t{1} << 24;
constexpr int64_t kPixelsPerByte = 256;

// Between a glyph sheet and the page of text below it.
constexpr int kPageGap = 16;

// The page's text in the code page --charset names.
std::string page_text(const Run& run) {
  charsets::Charset charset;
  if (!charsets::find_charset(run.bdf_charset, &charset).empty()) return "";
  return run.own_sample ? charsets::code_page_bytes(charset, run.sample)
                        : charsets::sample_bytes(charset);
}

}  // namespace

std::string read_font(FILE* file, const PalmEntry& e, BitmapFont* font) {
  // No Palm holds a longer entry, and a font's tables and images lie at its
  // start: the rest of an over-long entry is never read.
  std::vector<uint8_t> bytes(std::min<size_t>(e.size, kMaxEntrySize));
  if (!read_at(file, e.offset, bytes.data(), bytes.size())) return "read error: " + error_text(errno);
  return decode_font(bytes.data(), bytes.size(), font);
}

std::string over_budget(const PalmDatabase& db, int64_t pixels) {
  int64_t budget = kBasePixels + kPixelsPerByte * static_cast<int64_t>(db.file_size);
  if (pixels <= budget) return "";
  return format("the fonts' pictures would take %lld pixels; a file of %llu bytes may take %lld",
                static_cast<long long>(pixels), static_cast<unsigned long long>(db.file_size),
                static_cast<long long>(budget));
}

std::string stage_sheets(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                         const std::vector<size_t>& fonts, std::vector<std::string>* details) {
  PictureOptions options;
  std::string page = page_text(*run);
  int64_t pixels = 0;
  std::vector<size_t> drawn;
  for (size_t entry : fonts) {
    BitmapFont font;
    std::string problem = read_font(file, db.entries[entry], &font);
    if (!problem.empty()) {
      (*details)[entry] = db.resources ? "not a font: " + problem : "";
      continue;
    }
    pixels += glyph_sheet_pixels(font, options);
    if (!page.empty()) pixels += text_page_pixels(font, options.gap);
    drawn.push_back(entry);
  }
  std::string problem = over_budget(db, pixels);
  if (!problem.empty()) return problem;
  for (size_t entry : drawn) {
    const PalmEntry& e = db.entries[entry];
    bool escaped;
    std::string base = db.resources ? resource_file_base(e.type, e.id, &escaped)
                                    : record_file_base(entry, db.entries.size());
    // An nfnt's sheet shows its high-density images too: named like the
    // generator's nfnt0080-hd.bin, it never takes a number for the name of
    // the NFNT of the same ID that comes with it.
    if (db.resources && std::memcmp(e.type, "nfnt", 4) == 0) base += "-hd";
    BitmapFont font;
    problem = read_font(file, e, &font);
    if (!problem.empty()) return problem;
    std::vector<Canvas> parts{draw_glyph_sheet(font, options)};
    if (!page.empty()) parts.push_back(draw_text_page(font, page, options.channels, options.gap));
    std::vector<uint8_t> png = encode_png(stack_canvases(parts, kPageGap, kPictureWhite));
    if (png.empty()) return format("entry %zu: the font can't be drawn", entry);
    problem = stage_file(group, run->png.path, unique_name(run, base, ".png"));
    if (!problem.empty()) return problem;
    fwrite(png.data(), 1, png.size(), group->stream);
    FileError error = group_staged(group);
    if (!error.ok()) return write_error(error);
  }
  return "";
}
