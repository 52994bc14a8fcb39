#include "bdf_files.h"

#include "bdf.h"
#include "charsets.h"
#include "listing.h"
#include "pictures.h"
#include "staging.h"
#include "text.h"

using namespace palm;

using base::hex_text, base::printable, base::format;

namespace {

// glyphsmith's sizes: the font's height is its SIZE, height and leading its
// LINE.
constexpr int kMaxSize = 255;
constexpr int kMaxLine = 1000;

// The line that builds the font again from its 72-dpi file and, when there
// is one, its 144-dpi file; or a note why there is none. glyphsmith joins
// its FACE words with spaces and splits two files at a space again, so two
// files in a folder whose name holds one are named from inside it.
std::string rebuild_line(const Run& run, const PalmDatabase& db, size_t entry,
                         const BitmapFont& font, const std::string names[2]) {
  const std::string& folder = run.options.bdf;
  std::string first = shown(join_path(folder, names[0]));
  int line = font.rect_height + font.leading;
  if (font.rect_height > kMaxSize || line < 0 || line > kMaxLine)
    return format(
        "note: no glyphsmith command for %s: it is %d pixels high with a %d-pixel line; "
        "glyphsmith takes sizes up to %d and lines from 0 to %d",
        first.c_str(), font.rect_height, line, kMaxSize, kMaxLine);
  bool two = !names[1].empty();
  if (two && (names[0].find(' ') != std::string::npos || names[1].find(' ') != std::string::npos))
    return format(
        "note: no glyphsmith command for %s: glyphsmith takes no two font files whose "
        "names hold a space",
        first.c_str());
  bool inside = two && folder.find(' ') != std::string::npos;
  std::string id = db.resources ? " --id " + hex_text(db.entries[entry].id, 4) : "";
  std::string command = format("glyphsmith%s%s %d %d %s", inside ? " -o \"$OLDPWD\"" : "",
                               id.c_str(), font.rect_height, line, run.options.bdf_charset.c_str());
  for (int i = 0; i < (two ? 2 : 1); ++i)
    command += " " + path_argument(inside ? names[i] : join_path(folder, names[i]));
  return inside ? "(cd " + path_argument(folder) + " && " + command + ")" : command;
}

// The files of one font and, when it has a 72-dpi image, its command.
std::string stage_font(Run* run, OutputGroup* group, const PalmDatabase& db, size_t entry,
                       const BitmapFont& font, const BdfFontName& name,
                       std::vector<std::string>* commands) {
  std::string base = font_file_base(db, entry);
  std::string names[2];  // of the 72- and 144-dpi files
  for (size_t i = 0; i < font.images.size(); ++i) {
    int density = font.images[i].density;
    // A font of several densities names each: nfnt0080-72.bdf, nfnt0080-144.bdf.
    bool one = font.images.size() == 1;
    std::string file_name =
        unique_name(&run->names, one ? base : base + format("-%d", density), ".bdf");
    std::string text = encode_bdf(font, i, name);
    std::string problem =
        stage_made_file(run, group, run->options.bdf, file_name, text.data(), text.size());
    if (!problem.empty()) return problem;
    if ((density == 72 || density == 144) && names[density / 144].empty())
      names[density / 144] = file_name;
  }
  // Without a 72-dpi image glyphsmith has nothing to start from.
  if (!names[0].empty() && font.rect_height > 0)
    commands->push_back(rebuild_line(*run, db, entry, font, names));
  return "";
}

}  // namespace

std::string stage_bdf_files(Run* run, OutputGroup* group, FILE* file, const PalmDatabase& db,
                            const std::vector<size_t>& fonts, std::vector<std::string>* commands) {
  const DatabaseHeader& h = db.header;
  charsets::Charset charset;
  charsets::find_charset(run->options.bdf_charset, &charset);  // the name --charset was read as
  BdfFontName name{printable(bytes_of(h.name), zero_terminated_length(bytes_of(h.name), 32)),
                   charset.xlfd};
  for (size_t entry : fonts) {
    BitmapFont font;
    std::string problem = read_font(file, db.entries[entry], FontDepth::images, &font);
    if (problem.empty()) problem = stage_font(run, group, db, entry, font, name, commands);
    if (!problem.empty()) return problem;
  }
  return "";
}
