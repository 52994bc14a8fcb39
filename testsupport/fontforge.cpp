#include "fontforge.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "run.h"

namespace {

// A record database holding one record: the 78-byte header, one 8-byte
// record entry, two bytes of padding, the record. FontForge looks at neither
// type nor creator.
std::string one_record_pdb(const std::string& record) {
  std::string pdb(78 + 8 + 2, '\0');
  pdb.replace(0, 4, "Font");                    // name
  pdb[35] = 1;                                  // version
  pdb.replace(60, 8, "FontFont");               // type, creator
  pdb[77] = 1;                                  // one record
  pdb[78 + 3] = static_cast<char>(pdb.size());  // its offset
  pdb[78 + 7] = 1;                              // unique ID
  return pdb + record;
}

// FontForge's own words on a failure: its "Open: ..." line, else the last line.
std::string complaint(const std::string& err) {
  std::istringstream in(err);
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.rfind("Open:", 0) == 0) return line;
    if (!line.empty()) last = line;
  }
  return last;
}

std::string parse_bdf(const std::string& text, ExportedStrike* strike) {
  std::istringstream in(text);
  std::string line;
  int code = 0, advance = 0, w = 0, h = 0, xoff = 0, yoff = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "SIZE") words >> strike->pixel_size;
    if (key == "FONT_ASCENT") words >> strike->ascent;
    if (key == "FONT_DESCENT") words >> strike->descent;
    if (key == "ENCODING") words >> code;
    if (key == "DWIDTH") words >> advance;
    if (key == "BBX") words >> w >> h >> xoff >> yoff;
    if (key != "BITMAP") continue;
    // The BBX is the ink's box, its lower left corner relative to the pen
    // on the baseline; rows follow top first, in hex.
    const int height = strike->ascent + strike->descent, top = strike->ascent - (yoff + h);
    if (xoff < 0 || top < 0 || top + h > height)
      return "glyph " + std::to_string(code) + " has ink outside its cell";
    ExportedGlyph glyph;
    glyph.advance = advance;
    glyph.rows.assign(size_t(height), std::string(size_t(std::max(advance, xoff + w)), '.'));
    for (int y = 0; y < h; ++y) {
      if (!std::getline(in, line)) return "BDF ends inside glyph " + std::to_string(code);
      for (int x = 0; x < w; ++x) {
        size_t digit = size_t(x / 4);
        if (digit >= line.size()) return "short bitmap row in glyph " + std::to_string(code);
        int nibble = std::isxdigit(static_cast<unsigned char>(line[digit]))
                         ? std::stoi(line.substr(digit, 1), nullptr, 16)
                         : -1;
        if (nibble < 0) return "bad bitmap row in glyph " + std::to_string(code);
        if (nibble & (8 >> (x % 4))) glyph.rows[size_t(top + y)][size_t(xoff + x)] = '#';
      }
    }
    strike->glyphs[code] = glyph;
  }
  if (strike->pixel_size == 0) return "BDF without SIZE";
  return "";
}

}  // namespace

FontForgeExport fontforge_export(const std::string& font_resource) {
  FontForgeExport result;
  TempDir dir;
  write_file(dir.file("font.pdb"), one_record_pdb(font_resource));
  RunOptions options;
  options.cwd = dir.path;
  // Its preferences go to the temporary folder, not the user's.
  options.env = {"HOME=" + dir.path, "XDG_CONFIG_HOME=" + dir.path};
  RunResult run = run_command(
      {"fontforge", "-lang=ff", "-c", "Open($1); Generate($2, \"bdf\")", "font.pdb", "out."},
      options);
  if (run.status != 0) {
    result.error =
        "fontforge exited with " + std::to_string(run.status) + ": " + complaint(run.err);
    return result;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    if (entry.path().extension() != ".bdf") continue;
    ExportedStrike strike;
    std::string error = parse_bdf(read_file(entry.path().string()), &strike);
    if (!error.empty()) {
      result.error = entry.path().filename().string() + ": " + error;
      return result;
    }
    result.strikes.push_back(std::move(strike));
  }
  if (result.strikes.empty()) result.error = "fontforge wrote no BDF file";
  std::sort(
      result.strikes.begin(), result.strikes.end(),
      [](const ExportedStrike& a, const ExportedStrike& b) { return a.pixel_size < b.pixel_size; });
  return result;
}

ExportedGlyph make_glyph(int advance, int width, int height,
                         const std::function<bool(int x, int y)>& ink) {
  int right = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (ink(x, y)) right = std::max(right, x + 1);
  ExportedGlyph glyph;
  glyph.advance = advance;
  glyph.rows.assign(size_t(std::max(0, height)),
                    std::string(size_t(std::max(advance, right)), '.'));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < right; ++x)
      if (ink(x, y)) glyph.rows[size_t(y)][size_t(x)] = '#';
  return glyph;
}

std::string glyph_text(const ExportedGlyph& glyph) {
  std::string s = "advance " + std::to_string(glyph.advance) + "\n";
  for (const std::string& row : glyph.rows) s += row + "\n";
  return s;
}
