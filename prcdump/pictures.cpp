#include "pictures.h"

#include "entry_name.h"
#include "font_picture.h"
#include "text.h"

namespace {

// Fonts whose metrics promise a larger picture are refused undrawn.
constexpr uint64_t kMaxSheetBytes = uint64_t{256} << 20;

}  // namespace

std::string draw_sheets(Run* run, const PalmDatabase& db, const std::vector<FoundFont>& fonts,
                        std::vector<Part>* sheets) {
  PictureOptions options;
  for (const FoundFont& f : fonts) {
    const PalmEntry& e = db.entries[f.entry];
    bool escaped;
    std::string base = db.resources ? resource_file_base(e.type, e.id, &escaped)
                                    : record_file_base(f.entry, db.entries.size());
    if (glyph_sheet_bytes(f.font, options) > kMaxSheetBytes)
      return format("entry %zu: the font's picture would be too large", f.entry);
    Part sheet;
    sheet.name = unique_name(run, base, ".png");
    sheet.bytes = encode_png(draw_glyph_sheet(f.font, options));
    if (sheet.bytes.empty()) return format("entry %zu: the font can't be drawn", f.entry);
    sheets->push_back(std::move(sheet));
  }
  return "";
}
