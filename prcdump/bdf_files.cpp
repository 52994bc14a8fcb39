#include "bdf_files.h"

#include "bdf.h"
#include "entry_name.h"
#include "text.h"

void plan_bdf_files(Run* run, const PalmDatabase& db, const std::vector<FoundFont>& fonts,
                    std::vector<Part>* files, std::vector<std::string>* commands) {
  const DatabaseHeader& h = db.header;
  BdfFontName name{printable(bytes_of(h.name), zero_terminated_length(bytes_of(h.name), 32)),
                   run->bdf_code_page};
  for (const FoundFont& f : fonts) {
    const PalmEntry& e = db.entries[f.entry];
    bool escaped;
    std::string base = db.resources ? resource_file_base(e.type, e.id, &escaped)
                                    : record_file_base(f.entry, db.entries.size());
    std::string paths[2];  // of the 72- and 144-dpi files
    for (size_t i = 0; i < f.font.images.size(); ++i) {
      int density = f.font.images[i].density;
      // A font of several densities names each: nfnt0080-72.bdf, nfnt0080-144.bdf.
      bool one = f.font.images.size() == 1;
      Part part;
      part.name = unique_name(run, one ? base : base + format("-%d", density), ".bdf");
      std::string text = encode_bdf(f.font, i, name);
      part.bytes.assign(text.begin(), text.end());
      if ((density == 72 || density == 144) && paths[density / 144].empty())
        paths[density / 144] = " " + path_argument(join_path(run->bdf.path, part.name));
      files->push_back(std::move(part));
    }
    // glyphsmith takes the font's height for the strike's size, and the
    // height and leading for the line; without a 72-dpi image it has
    // nothing to start from.
    if (paths[0].empty() || f.font.rect_height <= 0) continue;
    std::string id = db.resources ? " --id " + hex_text(e.id, 4) : "";
    commands->push_back(format("glyphsmith%s %d %d %s", id.c_str(), f.font.rect_height,
                               f.font.rect_height + f.font.leading, run->bdf_charset.c_str()) +
                        paths[0] + paths[1]);
  }
}
