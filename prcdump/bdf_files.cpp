#include "bdf_files.h"

#include "bdf.h"
#include "charsets.h"
#include "entry_name.h"
#include "font_picture.h"
#include "listing.h"
#include "pictures.h"
#include "text.h"

using base::hex_text, base::printable, base::format;

namespace {

// The files of one font and, when it has a 72-dpi image, its command.
std::string stage_font(Run* run, OutputGroup* group, const PalmDatabase& db, size_t entry,
                       const BitmapFont& font, const BdfFontName& name,
                       std::vector<std::string>* commands) {
  const PalmEntry& e = db.entries[entry];
  bool escaped;
  std::string base = db.resources ? resource_file_base(e.type, e.id, &escaped)
                                  : record_file_base(entry, db.entries.size());
  std::string paths[2];  // of the 72- and 144-dpi files
  for (size_t i = 0; i < font.images.size(); ++i) {
    int density = font.images[i].density;
    // A font of several densities names each: nfnt0080-72.bdf, nfnt0080-144.bdf.
    bool one = font.images.size() == 1;
    std::string file_name = unique_name(run, one ? base : base + format("-%d", density), ".bdf");
    std::string problem = stage_file(group, run->bdf.path, file_name);
    if (!problem.empty()) return problem;
    std::string text = encode_bdf(font, i, name);
    fwrite(text.data(), 1, text.size(), group->stream);
    FileError error = group_staged(group);
    if (!error.ok()) return write_error(error);
    if ((density == 72 || density == 144) && paths[density / 144].empty())
      paths[density / 144] = " " + path_argument(join_path(run->bdf.path, file_name));
  }
  // glyphsmith takes the font's height for the strike's size, and the
  // height and leading for the line; without a 72-dpi image it has nothing
  // to start from.
  if (paths[0].empty() || font.rect_height <= 0) return "";
  std::string id = db.resources ? " --id " + hex_text(e.id, 4) : "";
  commands->push_back(format("glyphsmith%s %d %d %s", id.c_str(), font.rect_height,
                             font.rect_height + font.leading, run->bdf_charset.c_str()) +
                      paths[0] + paths[1]);
  return "";
}

}  // namespace

std::string stage_bdf_files(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                            const std::vector<size_t>& fonts, std::vector<std::string>* commands) {
  const DatabaseHeader& h = db.header;
  charsets::Charset charset;
  charsets::find_charset(run->bdf_charset, &charset);  // the name --charset was read as
  BdfFontName name{printable(bytes_of(h.name), zero_terminated_length(bytes_of(h.name), 32)),
                   charset.xlfd};
  // A BDF file holds no more than the glyph sheet of its font shows, so the
  // pictures' budget bounds these files too.
  int64_t pixels = 0;
  std::vector<size_t> decoded;
  for (size_t entry : fonts) {
    BitmapFont font;
    if (!read_font(file, db.entries[entry], &font).empty()) continue;
    pixels += glyph_sheet_pixels(font, PictureOptions{});
    decoded.push_back(entry);
  }
  std::string problem = over_budget(db, pixels);
  if (!problem.empty()) return problem;
  for (size_t entry : decoded) {
    BitmapFont font;
    problem = read_font(file, db.entries[entry], &font);
    if (problem.empty()) problem = stage_font(run, group, db, entry, font, name, commands);
    if (!problem.empty()) return problem;
  }
  return "";
}
