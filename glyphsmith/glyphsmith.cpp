#include "glyphsmith.h"

#include <cmath>
#include <filesystem>
#include <set>

#include "bitmap_font.h"
#include "build_font.h"
#include "code_pages.h"
#include "font_picture.h"
#include "rasterizer.h"
#include "sources.h"
#include "write_files.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "Usage: glyphsmith [options] SIZE LINE CHARSET FACE...\n"
    "Turns an installed font or a font file into Palm OS bitmap fonts:\n"
    "NFNTxxxx.bin (72 dpi), nfntxxxx.bin (72 and 144 dpi) and a preview,\n"
    "NFNTxxxx.png.\n"
    "\n"
    "  SIZE     the em square in points, a Palm pixel each: 12, 10.5\n"
    "  LINE     the line spacing in points\n"
    "  CHARSET  Western, Default, EasternEurope, Greek, Mac, OEM, Cyrillic,\n"
    "           Symbol, Turkish, Vietnamese, Arabic, Hebrew, Thai (any case),\n"
    "           or a number such as 186 (Baltic)\n"
    "  FACE     the font family, as one or more words; or a font file (TTF,\n"
    "           OTF, TTC, OTB, BDF, PCF), or two: 72 dpi, then 144 dpi\n"
    "\n"
    "  -o DIR        write into DIR (default: the current folder)\n"
    "  --id HEX      the resource ID (default: the first from 0080 up that no\n"
    "                font file in DIR has; an ID given here may replace one)\n"
    "  --bold        the same as --weight 700\n"
    "  --weight N    100 thin .. 400 normal .. 700 bold .. 900 black\n"
    "  --italic      the italic face\n"
    "  --no-preview  write no NFNTxxxx.png\n"
    "  -h, --help    show this text\n"
    "  --version     show the version\n";

// The largest resource a Palm OS database record can hold.
constexpr size_t kMaxResource = 65505;

struct Options {
  std::string folder = ".";
  int id = -1;  // -1: the first free one
  FaceRequest face;
  bool preview = true;
  double size = 0;
  double line = 0;
  Charset charset;
};

// Plain decimal notation: digits, at most one point, no sign or exponent.
bool read_decimal(const std::string& text, double* value) {
  if (text.empty() || text.size() > 12) return false;
  double v = 0, scale = 0;
  bool digit = false;
  for (char c : text) {
    if (c == '.' && scale == 0) {
      scale = 1;
    } else if (c >= '0' && c <= '9') {
      digit = true;
      if (scale > 0) scale /= 10;
      v = scale > 0 ? v + (c - '0') * scale : v * 10 + (c - '0');
    } else {
      return false;
    }
  }
  *value = v;
  return digit;
}

bool read_hex_id(const std::string& text, int* id) {
  if (text.empty() || text.size() > 4) return false;
  int v = 0;
  for (char c : text) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (d < 0) return false;
    v = v * 16 + d;
  }
  *id = v;
  return true;
}

bool read_weight(const std::string& text, int* weight) {
  if (text.empty() || text.size() > 4) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > 1000) return false;
  *weight = v;
  return true;
}

int round_half_up(double v) {
  return static_cast<int>(std::floor(v + 0.5));
}

std::string id_text(int id) {
  const char* digits = "0123456789abcdef";
  std::string s;
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[id >> shift & 15];
  return s;
}

// "" when the command line is complete; "-" after help or the version, whose
// text is then in *out.
std::string parse(const std::vector<std::string>& args, Options* o, std::string* out) {
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a.size() < 2 || a[0] != '-') break;
    if (a == "-h" || a == "--help") {
      *out = kUsage;
      return "-";
    }
    if (a == "--version") {
      *out = std::string("glyphsmith ") + GLYPHSMITH_VERSION + "\n";
      return "-";
    }
    if (a == "--bold") {
      o->face.weight = 700;
    } else if (a == "--italic") {
      o->face.italic = true;
    } else if (a == "--no-preview") {
      o->preview = false;
    } else if (a == "-o" || a == "--id" || a == "--weight") {
      if (i + 1 >= args.size()) return "option '" + a + "' needs a value";
      const std::string& v = args[++i];
      if (a == "-o") {
        if (v.empty()) return "option '-o' needs a folder";
        o->folder = v;
      } else if (a == "--id" && !read_hex_id(v, &o->id)) {
        return "resource ID '" + v + "' is not 1 to 4 hexadecimal digits";
      } else if (a == "--weight" && !read_weight(v, &o->face.weight)) {
        return "weight '" + v + "' is not a number from 1 to 1000";
      }
    } else {
      return "unknown option '" + a + "'";
    }
  }
  if (args.size() < i + 4) return "expected SIZE LINE CHARSET FACE... (see glyphsmith --help)";
  if (!read_decimal(args[i], &o->size) || o->size < 0.5 || o->size > 255)
    return "size '" + args[i] + "' is not a number of points from 0.5 to 255";
  if (!read_decimal(args[i + 1], &o->line) || o->line > 1000)
    return "line spacing '" + args[i + 1] + "' is not a number of points from 0 to 1000";
  std::string error = find_charset(args[i + 2], &o->charset);
  if (!error.empty()) return error;
  o->face.symbol = o->charset.symbol;
  for (size_t w = i + 3; w < args.size(); ++w) o->face.family += (w > i + 3 ? " " : "") + args[w];
  return "";
}

// The font files already in the folder, by ID: NFNTxxxx.bin and nfntxxxx.bin
// (or nfntxxxx-2.bin) in any case, and previews, so that a new font never
// replaces one.
std::string first_free_id(const std::string& folder, int* id) {
  std::set<int> taken;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string lower = it->path().filename().string();
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string rest = lower.size() < 8 ? "" : lower.substr(8);
    int value = 0;
    if (lower.compare(0, 4, "nfnt") == 0 && read_hex_id(lower.substr(4, 4), &value) &&
        (rest == ".bin" || rest == ".png" || rest == "-2.bin"))
      taken.insert(value);
  }
  if (ec) return "cannot read the folder '" + folder + "': " + ec.message();
  for (int candidate = 0x80; candidate <= 0xFFFF; ++candidate)
    if (!taken.count(candidate)) {
      *id = candidate;
      return "";
    }
  return "every resource ID from 0080 to ffff is taken in '" + folder + "'";
}

std::string describe_points(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// What a Palm would show, drawn from the written bytes: the set's sample
// sentence and every character, at both densities.
std::string make_preview(const std::vector<uint8_t>& v2_bytes, const Charset& charset,
                         std::vector<uint8_t>* png, std::string* what) {
  BitmapFont font;
  std::string error = decode_font(v2_bytes.data(), v2_bytes.size(), &font);
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
  Canvas canvas = stack_canvases(parts, 16, kPictureWhite);
  *png = encode_png(canvas);
  if (png->empty()) return "cannot make the preview";
  *what = "preview at 72 and 144 dpi, " + std::to_string(canvas.width) + " x " +
          std::to_string(canvas.height) + " pixels";
  return "";
}

}  // namespace

int glyphsmith(const std::vector<std::string>& args, std::string* out, std::string* err) {
  Options o;
  std::string error = parse(args, &o, out);
  if (error == "-") return 0;
  auto fail = [err](const std::string& message) {
    *err = "glyphsmith: " + message;
    return 1;
  };
  if (!error.empty()) return fail(error);

  std::error_code ec;
  if (!fs::is_directory(o.folder, ec)) return fail("no folder '" + o.folder + "'");
  if (o.id < 0) {
    error = first_free_id(o.folder, &o.id);
    if (!error.empty()) return fail(error);
  }

  // A Palm point is a pixel at standard density, two at double density.
  std::string second_file;
  error = resolve_face(&o.face, &second_file);
  if (!error.empty()) return fail(error);
  SourceGlyphs source;
  error = read_glyphs(o.face, second_file, round_half_up(o.size), round_half_up(2 * o.size),
                      o.charset, &source);
  if (!error.empty()) return fail(error);

  BuiltFonts fonts;
  std::string family = source.family;
  error = build_fonts(source.glyphs, source.first_code, round_half_up(o.line), &fonts,
                      source.own_missing ? &source.missing : nullptr);
  if (!error.empty())
    return fail(source.what + " at " + describe_points(o.size) + " points: " + error);

  std::string id = id_text(o.id);
  // Where names ignore letter case (Windows), nfntxxxx.bin would be
  // NFNTxxxx.bin; the version 2 font takes another name there, which prcbuild
  // reads as the same type and ID.
  std::string v2_name = "nfnt" + id + (folder_ignores_case(o.folder) ? "-2" : "") + ".bin";
  std::vector<PendingFile> files;
  std::vector<std::string> summaries;
  std::string what =
      family + " " + describe_points(o.size) + " points, " + o.charset.name +
      (o.charset.symbol ? " (the face's symbol map)"
                        : " (code page " + std::to_string(o.charset.code_page) + ")") +
      ", " + std::to_string(fonts.characters) + " characters, " +
      std::to_string(fonts.v1.rect_height) + " pixels high";
  for (const BitmapFont* font : {&fonts.v1, &fonts.v2}) {
    bool v2 = font == &fonts.v2;
    PendingFile f{v2 ? v2_name : "NFNT" + id + ".bin", encode_font(*font)};
    if (f.bytes.size() > kMaxResource)
      return fail(source.what + " at " + describe_points(o.size) + " points takes " +
                  std::to_string(f.bytes.size()) + " bytes in " + f.name +
                  ", more than a Palm resource holds (" + std::to_string(kMaxResource) + ")");
    summaries.push_back(f.name + ": " + what + (v2 ? ", 72 and 144 dpi, " : ", 72 dpi, ") +
                        std::to_string(f.bytes.size()) + " bytes");
    files.push_back(std::move(f));
  }

  if (o.preview) {
    PendingFile png{"NFNT" + id + ".png", {}};
    error = make_preview(files[1].bytes, o.charset, &png.bytes, &what);
    if (!error.empty()) return fail(error);
    summaries.push_back(png.name + ": " + what);
    files.push_back(std::move(png));
  }

  error = write_files(o.folder, files);
  if (!error.empty()) return fail(error);
  for (const std::string& s : summaries) *out += s + "\n";
  for (const std::string& note : source.notes) *out += "note: " + note + "\n";
  return 0;
}
