#include "pictures.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "charsets.h"
#include "entry_name.h"
#include "font_picture.h"
#include "input.h"
#include "staging.h"
#include "text.h"
#include "text_page.h"

using namespace palm;

using base::format;

namespace {

// The pixels a database's sheets may take in all: a few million for any
// file, then more as the file grows, up to a bound that no real set of fonts
// comes near. Real fonts take a few dozen pixels a byte; a tiny file whose
// sizes promise a vast picture is refused undrawn.
constexpr int64_t kBasePixels = int64_t{1} << 24;
constexpr int64_t kPixelsPerByte = 256;
constexpr int64_t kMaxPixels = int64_t{1} << 27;

// The pixels of a font's picture: its sheet, and the page below it when
// there is one.
int64_t picture_pixels(const BitmapFont& font, bool page) {
  PictureOptions options;
  std::vector<CanvasSize> parts{glyph_sheet_size(font, options)};
  if (page) parts.push_back(text_page_size(font, options.gap));
  CanvasSize size = stacked_size(parts, kPartGap);
  return size.width * size.height;
}

std::string over_budget(const PalmDatabase& db, int64_t pixels) {
  int64_t budget = std::min(kMaxPixels, kBasePixels + kPixelsPerByte * int64_t(db.file_size));
  if (pixels <= budget) return "";
  return format("the fonts' pictures would take %lld pixels; a file of %llu bytes may take %lld",
                static_cast<long long>(pixels), static_cast<unsigned long long>(db.file_size),
                static_cast<long long>(budget));
}

}  // namespace

std::string page_text(const Options& options) {
  charsets::Charset charset;
  if (!charsets::find_charset(options.bdf_charset, &charset).empty()) return "";
  return options.sample ? charsets::code_page_bytes(charset, *options.sample)
                        : charsets::sample_bytes(charset);
}

std::string read_font(FILE* file, const PalmEntry& e, FontDepth depth, BitmapFont* font) {
  return decode_font(
      [&](uint64_t offset, void* buffer, size_t n) {
        return read_at(file, e.offset + offset, buffer, n);
      },
      e.size, depth, font);
}

std::string weigh_fonts(FILE* file, const PalmDatabase& db, const std::vector<size_t>& fonts,
                        bool page, std::vector<size_t>* decoded,
                        std::vector<std::string>* details) {
  int64_t pixels = 0;
  for (size_t entry : fonts) {
    BitmapFont font;
    std::string problem = read_font(file, db.entries[entry], FontDepth::tables, &font);
    if (!problem.empty()) {
      if (details) (*details)[entry] = db.resources ? "not a font: " + problem : "";
      continue;
    }
    int64_t picture = picture_pixels(font, page);
    if (picture > kMaxCanvasPixels)
      return format("entry %zu: the font's picture would take %lld pixels, more than %lld", entry,
                    static_cast<long long>(picture), static_cast<long long>(kMaxCanvasPixels));
    pixels += picture;
    decoded->push_back(entry);
  }
  return over_budget(db, pixels);
}

std::string font_file_base(const PalmDatabase& db, size_t entry) {
  const PalmEntry& e = db.entries[entry];
  bool escaped;
  return db.resources ? resource_file_base(e.type, e.id, &escaped)
                      : record_file_base(entry, db.entries.size());
}

// An nfnt's sheet shows its high-density images too: named like the
// generator's nfnt0080-hd.bin, it never takes a number for the name of the
// NFNT of the same ID that comes with it.
static std::string sheet_file_base(const PalmDatabase& db, size_t entry) {
  std::string base = font_file_base(db, entry);
  if (db.resources && std::memcmp(db.entries[entry].type, "nfnt", 4) == 0) base += "-hd";
  return base;
}

std::string stage_sheets(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                         const std::vector<size_t>& fonts, std::string_view page) {
  PictureOptions options;
  for (size_t entry : fonts) {
    BitmapFont font;
    std::string problem = read_font(file, db.entries[entry], FontDepth::images, &font);
    if (!problem.empty()) return problem;
    std::vector<Canvas> parts{draw_glyph_sheet(font, options)};
    if (!page.empty()) parts.push_back(draw_text_page(font, page, options.channels, options.gap));
    std::vector<uint8_t> png = encode_png(stack_canvases(parts, kPartGap, kPictureWhite));
    if (png.empty()) return format("entry %zu: the font can't be drawn", entry);
    problem = stage_made_file(run, group, run->options.png,
                              unique_name(&run->names, sheet_file_base(db, entry), ".png"),
                              png.data(), png.size());
    if (!problem.empty()) return problem;
  }
  return "";
}
