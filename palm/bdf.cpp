#include "bdf.h"

#include <algorithm>
#include <cstdio>

namespace palm {

namespace {

std::string quoted(const std::string& text) {
  std::string s = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) continue;
    s += c;
    if (c == '"') s += '"';  // BDF doubles quotes inside a string
  }
  return s + "\"";
}

// FONT is one line of '-'-separated fields: no '-' or control bytes inside one.
std::string xlfd_field(const std::string& text) {
  std::string s;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    s += u < 0x20 || u == 0x7f || c == '-' || c == '"' ? ' ' : c;
  }
  return s;
}

int scaled(int length72, int density) {
  return (length72 * density + 36) / 72;
}

struct Glyph {
  int code;
  std::string name;
  GlyphColumns columns;
};

}  // namespace

int bdf_missing_encoding(const BitmapFont& font) {
  return std::max(256, font.last_char + 1);
}

namespace {

// What the whole font's lines need to know of its glyphs at one density.
struct BdfLayout {
  int missing = 0;  // the missing symbol's encoding
  int density = 0, rows = 0, ascent = 0, descent = 0;
  std::vector<Glyph> glyphs;
  int widest = 0, average = 0;  // AVERAGE_WIDTH is in tenths of a pixel
  bool fixed = false;
};

BdfLayout lay_out(const BitmapFont& font, const FontImage& image) {
  BdfLayout l;
  l.missing = bdf_missing_encoding(font);
  l.density = image.density;
  l.rows = image.rows;
  l.ascent = std::clamp(scaled(font.ascent, l.density), 0, l.rows);
  l.descent = l.rows - l.ascent;
  for (int c = font.first_char; c <= font.last_char; ++c)
    if (font_has_char(font, c)) l.glyphs.push_back({c, "char" + std::to_string(c), {}});
  // Any code outside first..last draws the missing symbol.
  l.glyphs.push_back({l.missing, "missing", {}});
  int total = 0;
  for (Glyph& g : l.glyphs) {
    g.columns = glyph_columns(font, image, g.code == l.missing ? -1 : g.code);
    l.widest = std::max(l.widest, g.columns.width);
    total += scaled(g.columns.advance, l.density);
  }
  l.fixed = std::all_of(l.glyphs.begin(), l.glyphs.end(), [&](const Glyph& g) {
    return g.columns.advance == l.glyphs[0].columns.advance;
  });
  int count = static_cast<int>(l.glyphs.size());
  l.average = (total * 10 + count / 2) / count;
  return l;
}

// Offsets are a per-character field no BDF line holds; kept as code:offset
// pairs for the characters that have one.
std::string offsets_text(const BitmapFont& font, const BdfLayout& l) {
  std::string offsets;
  for (const Glyph& g : l.glyphs) {
    size_t i = g.code == l.missing ? static_cast<size_t>(font.last_char - font.first_char + 1)
                                   : static_cast<size_t>(g.code - font.first_char);
    if (i < font.widths.size() && font.widths[i].offset != 0)
      offsets += (offsets.empty() ? "" : " ") + std::to_string(g.code) + ":" +
                 std::to_string(font.widths[i].offset);
  }
  return offsets;
}

using Properties = std::vector<std::pair<const char*, std::string>>;

Properties properties_of(const BitmapFont& font, const BdfLayout& l, const std::string& family,
                         const std::string& registry, const std::string& encoding,
                         int points10) {
  Properties properties = {
      {"FOUNDRY", quoted("Palm")},
      {"FAMILY_NAME", quoted(family)},
      {"WEIGHT_NAME", quoted("Medium")},
      {"SLANT", quoted("R")},
      {"SETWIDTH_NAME", quoted("Normal")},
      {"ADD_STYLE_NAME", quoted("")},
      {"PIXEL_SIZE", std::to_string(l.rows)},
      {"POINT_SIZE", std::to_string(points10)},
      {"RESOLUTION_X", std::to_string(l.density)},
      {"RESOLUTION_Y", std::to_string(l.density)},
      {"SPACING", quoted(l.fixed ? "C" : "P")},
      {"AVERAGE_WIDTH", std::to_string(l.average)},
      {"CHARSET_REGISTRY", quoted(registry)},
      {"CHARSET_ENCODING", quoted(encoding)},
      {"FONT_ASCENT", std::to_string(l.ascent)},
      {"FONT_DESCENT", std::to_string(l.descent)},
      {"DEFAULT_CHAR", std::to_string(l.missing)},
      // The header fields the standard names leave out, as the font has
      // them, in 72-dpi pixels.
      {"PALM_FONT_TYPE", std::to_string(static_cast<uint16_t>(font.font_type))},
      {"PALM_FIRST_CHAR", std::to_string(font.first_char)},
      {"PALM_LAST_CHAR", std::to_string(font.last_char)},
      {"PALM_MAX_WIDTH", std::to_string(font.max_width)},
      {"PALM_KERN_MAX", std::to_string(font.kern_max)},
      {"PALM_RECT_WIDTH", std::to_string(font.rect_width)},
      {"PALM_ASCENT", std::to_string(font.ascent)},
      {"PALM_DESCENT", std::to_string(font.descent)},
      {"PALM_LEADING", std::to_string(font.leading)},
      {"PALM_DENSITY", std::to_string(l.density)},
  };
  if (is_font_v2(font)) properties.push_back({"PALM_VERSION", std::to_string(font.version)});
  std::string offsets = offsets_text(font, l);
  if (!offsets.empty()) properties.push_back({"PALM_OFFSETS", quoted(offsets)});
  return properties;
}

void append_glyph(std::string* out, const FontImage& image, const BdfLayout& l, const Glyph& g) {
  auto line = [out](const std::string& text) { *out += text + "\n"; };
  int advance = scaled(g.columns.advance, l.density);
  int width = g.columns.width;
  // SWIDTH is the advance in thousandths of the em, here the pixel size.
  int swidth = l.rows > 0 ? (advance * 1000 + l.rows / 2) / l.rows : 0;
  line("STARTCHAR " + g.name);
  line("ENCODING " + std::to_string(g.code));
  line("SWIDTH " + std::to_string(swidth) + " 0");
  line("DWIDTH " + std::to_string(advance) + " 0");
  bool empty = width == 0 || l.rows == 0;
  line("BBX " + std::to_string(width) + " " + std::to_string(empty ? 0 : l.rows) + " 0 " +
       std::to_string(empty ? 0 : -l.descent));
  line("BITMAP");
  char hex[3];
  for (int y = 0; !empty && y < l.rows; ++y) {
    std::string row;
    for (int x0 = 0; x0 < width; x0 += 8) {
      unsigned byte = 0;
      for (int x = x0; x < x0 + 8 && x < width; ++x)
        if (font_pixel(image, g.columns.x + x, y)) byte |= 0x80u >> (x - x0);
      std::snprintf(hex, sizeof hex, "%02X", byte);
      row += hex;
    }
    line(row);
  }
  line("ENDCHAR");
}

}  // namespace

std::string encode_bdf(const BitmapFont& font, size_t image_index, const BdfFontName& name) {
  const FontImage& image = font.images.at(image_index);
  BdfLayout l = lay_out(font, image);
  size_t dash = name.charset.find('-');
  std::string registry = name.charset.substr(0, dash);
  std::string encoding = dash == std::string::npos ? "" : name.charset.substr(dash + 1);
  // At 72 dpi a Palm pixel is a point; POINT_SIZE is in tenths of a point.
  // In 64 bits: rows reach 32767 x 32767 / 72 at the densest image.
  int points10 = static_cast<int>(int64_t{l.rows} * 720 / l.density);
  std::string density = std::to_string(l.density);

  std::string out;
  auto line = [&out](const std::string& text) { out += text + "\n"; };
  line("STARTFONT 2.1");
  line("FONT -Palm-" + xlfd_field(name.family) + "-Medium-R-Normal--" + std::to_string(l.rows) +
       "-" + std::to_string(points10) + "-" + density + "-" + density + "-" +
       (l.fixed ? "C" : "P") + "-" + std::to_string(l.average) + "-" + registry + "-" + encoding);
  line("SIZE " + std::to_string(points10 / 10) + " " + density + " " + density);
  line("FONTBOUNDINGBOX " + std::to_string(l.widest) + " " + std::to_string(l.rows) + " 0 " +
       std::to_string(-l.descent));
  Properties properties = properties_of(font, l, name.family, registry, encoding, points10);
  line("STARTPROPERTIES " + std::to_string(properties.size()));
  for (const auto& [key, value] : properties) line(std::string(key) + " " + value);
  line("ENDPROPERTIES");
  line("CHARS " + std::to_string(l.glyphs.size()));
  for (const Glyph& g : l.glyphs) append_glyph(&out, image, l, g);
  line("ENDFONT");
  return out;
}

}  // namespace palm
