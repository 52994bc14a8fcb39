#include "bdf.h"

#include <algorithm>
#include <cstdio>

#include "text.h"

namespace {

struct CharsetName {
  int code_page;
  const char* xlfd;
  const char* name;  // as glyphsmith and fontpick name the set
};

// Names that FontForge and iconv know, so that an editor keeps each glyph's
// byte when it saves; X's own names for the two pages they don't cover.
const CharsetName kCharsets[] = {
    {1252, "windows-1252", "Western"},      {1250, "windows-1250", "EasternEurope"},
    {1251, "windows-1251", "Cyrillic"},     {1253, "windows-1253", "Greek"},
    {1254, "windows-1254", "Turkish"},      {1255, "windows-1255", "Hebrew"},
    {1256, "windows-1256", "Arabic"},       {1257, "windows-1257", "186"},
    {1258, "windows-1258", "Vietnamese"},   {874, "windows-874", "Thai"},
    {10000, "mac-roman", "Mac"},            {437, "ibm-cp437", "OEM"},
    {0, "microsoft-symbol", "Symbol"},
};

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

std::string bdf_charset(int code_page) {
  for (const CharsetName& c : kCharsets)
    if (c.code_page == code_page) return c.xlfd;
  return "";
}

bool bdf_find_charset(const std::string& name, int* code_page, std::string* canonical) {
  std::string wanted = lower_ascii(name);
  if (wanted == "default") wanted = "western";
  for (const CharsetName& c : kCharsets) {
    if (lower_ascii(c.name) == wanted || (wanted == "baltic" && c.code_page == 1257)) {
      *code_page = c.code_page;
      *canonical = c.name;
      return true;
    }
  }
  return false;
}

int bdf_missing_encoding(const BitmapFont& font) {
  return std::max(256, font.last_char + 1);
}

std::string encode_bdf(const BitmapFont& font, size_t image_index, const BdfFontName& name) {
  const int missing = bdf_missing_encoding(font);
  const FontImage& image = font.images.at(image_index);
  const int density = image.density;
  const int rows = image.rows;
  const int ascent = std::clamp(scaled(font.ascent, density), 0, rows);
  const int descent = rows - ascent;

  std::vector<Glyph> glyphs;
  for (int c = font.first_char; c <= font.last_char; ++c)
    if (font_has_char(font, c)) glyphs.push_back({c, "char" + std::to_string(c), {}});
  // Any code outside first..last draws the missing symbol.
  glyphs.push_back({missing, "missing", {}});
  int widest = 0, total = 0;
  for (Glyph& g : glyphs) {
    g.columns = glyph_columns(font, image, g.code == missing ? -1 : g.code);
    widest = std::max(widest, g.columns.width);
    total += scaled(g.columns.advance, density);
  }
  bool fixed = std::all_of(glyphs.begin(), glyphs.end(), [&](const Glyph& g) {
    return g.columns.advance == glyphs[0].columns.advance;
  });
  // AVERAGE_WIDTH is in tenths of a pixel.
  int average = glyphs.empty() ? 0 : (total * 10 + static_cast<int>(glyphs.size()) / 2) /
                                         static_cast<int>(glyphs.size());

  std::string charset = bdf_charset(name.code_page);
  if (charset.empty()) charset = "palm-" + std::to_string(name.code_page);
  std::string registry = charset.substr(0, charset.find('-'));
  std::string encoding = charset.substr(charset.find('-') + 1);
  // At 72 dpi a Palm pixel is a point; POINT_SIZE is in tenths of a point.
  int points10 = rows * 720 / density;
  std::string spacing = fixed ? "C" : "P";

  std::string out;
  auto line = [&out](const std::string& text) { out += text + "\n"; };
  auto property = [&line](const char* key, const std::string& value) {
    line(std::string(key) + " " + value);
  };
  line("STARTFONT 2.1");
  line("FONT -Palm-" + xlfd_field(name.family) + "-Medium-R-Normal--" + std::to_string(rows) +
       "-" + std::to_string(points10) + "-" + std::to_string(density) + "-" +
       std::to_string(density) + "-" + spacing + "-" + std::to_string(average) + "-" + registry +
       "-" + encoding);
  line("SIZE " + std::to_string(points10 / 10) + " " + std::to_string(density) + " " +
       std::to_string(density));
  line("FONTBOUNDINGBOX " + std::to_string(widest) + " " + std::to_string(rows) + " 0 " +
       std::to_string(-descent));
  std::vector<std::pair<const char*, std::string>> properties = {
      {"FOUNDRY", quoted("Palm")},
      {"FAMILY_NAME", quoted(name.family)},
      {"WEIGHT_NAME", quoted("Medium")},
      {"SLANT", quoted("R")},
      {"SETWIDTH_NAME", quoted("Normal")},
      {"ADD_STYLE_NAME", quoted("")},
      {"PIXEL_SIZE", std::to_string(rows)},
      {"POINT_SIZE", std::to_string(points10)},
      {"RESOLUTION_X", std::to_string(density)},
      {"RESOLUTION_Y", std::to_string(density)},
      {"SPACING", quoted(spacing)},
      {"AVERAGE_WIDTH", std::to_string(average)},
      {"CHARSET_REGISTRY", quoted(registry)},
      {"CHARSET_ENCODING", quoted(encoding)},
      {"FONT_ASCENT", std::to_string(ascent)},
      {"FONT_DESCENT", std::to_string(descent)},
      {"DEFAULT_CHAR", std::to_string(missing)},
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
      {"PALM_DENSITY", std::to_string(density)},
  };
  if (is_font_v2(font)) properties.push_back({"PALM_VERSION", std::to_string(font.version)});
  // Offsets are a per-character field no BDF line holds; kept as code:offset
  // pairs for the characters that have one.
  std::string offsets;
  for (const Glyph& g : glyphs) {
    size_t i = g.code == missing
                   ? static_cast<size_t>(font.last_char - font.first_char + 1)
                   : static_cast<size_t>(g.code - font.first_char);
    if (i < font.widths.size() && font.widths[i].offset != 0)
      offsets += (offsets.empty() ? "" : " ") + std::to_string(g.code) + ":" +
                 std::to_string(font.widths[i].offset);
  }
  if (!offsets.empty()) properties.push_back({"PALM_OFFSETS", quoted(offsets)});
  line("STARTPROPERTIES " + std::to_string(properties.size()));
  for (const auto& [key, value] : properties) property(key, value);
  line("ENDPROPERTIES");

  line("CHARS " + std::to_string(glyphs.size()));
  char hex[3];
  for (const Glyph& g : glyphs) {
    int advance = scaled(g.columns.advance, density);
    int width = g.columns.width;
    // SWIDTH is the advance in thousandths of the em, here the pixel size.
    int swidth = rows > 0 ? (advance * 1000 + rows / 2) / rows : 0;
    line("STARTCHAR " + g.name);
    line("ENCODING " + std::to_string(g.code));
    line("SWIDTH " + std::to_string(swidth) + " 0");
    line("DWIDTH " + std::to_string(advance) + " 0");
    bool empty = width == 0 || rows == 0;
    line("BBX " + std::to_string(width) + " " + std::to_string(empty ? 0 : rows) + " 0 " +
         std::to_string(empty ? 0 : -descent));
    line("BITMAP");
    for (int y = 0; !empty && y < rows; ++y) {
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
  line("ENDFONT");
  return out;
}
