#include "glyphsmith.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "bitmap_font.h"
#include "build_font.h"
#include "charsets.h"
#include "code_pages.h"
#include "database.h"
#include "font_picture.h"
#include "font_remap.h"
#include "messages.h"
#include "option_scan.h"
#include "output.h"
#include "rasterizer.h"
#include "replacement_set.h"
#include "sized_font.h"
#include "sources.h"
#include "text.h"
#include "write_files.h"

using namespace palm;

using base::lower_ascii, base::read_digits, base::hex_text;
using charsets::Charset, charsets::find_charset, charsets::sample_bytes;

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "Usage: glyphsmith [options] SIZE LINE CHARSET FACE...\n"
    "       glyphsmith --set NAME [options] SIZE LINE CHARSET FACE...\n"
    "       glyphsmith --list [PATTERN]\n"
    "Turns an installed font or a font file into Palm OS bitmap fonts:\n"
    "NFNTxxxx.bin (72 dpi), nfntxxxx-hd.bin (72 and 144 dpi) and a preview,\n"
    "preview-xxxx.png.\n"
    "\n"
    "  SIZE     the em square in points, a Palm pixel each: 12, 10.5. The\n"
    "           144-dpi font must fit in a Palm resource (65505 bytes); Western\n"
    "           fonts reach that at 24 to 29 points: DejaVu Sans at 25 (bold 24),\n"
    "           DejaVu Serif 25, Liberation Sans 27, Liberation Serif 29\n"
    "  LINE     the line spacing in points\n"
    "  CHARSET  Western, Default, EasternEurope, Greek, Mac, OEM, Cyrillic,\n"
    "           Symbol, Turkish, Vietnamese, Arabic, Hebrew, Thai (any case),\n"
    "           or a number such as 186 (Baltic)\n"
    "  FACE     the font family, as one or more words; or a font file (TTF,\n"
    "           OTF, TTC, OTB, BDF, PCF), or two: 72 dpi, then 144 dpi; a BDF\n"
    "           or PCF in ISO 10646, ISO 8859-N, KOI8-R, KOI8-U or a Windows\n"
    "           code page gives each character of CHARSET its glyph\n"
    "\n"
    "  -o DIR        write into DIR (default: the current folder)\n"
    "  --id HEX      the resource ID (default: the first from 0080 up that no\n"
    "                font file in DIR has and no Palm font name stands for,\n"
    "                so not 0081, 0089 or 0090; an ID given here may replace one)\n"
    "  --bold        the same as --weight 700\n"
    "  --weight N    100 thin .. 400 normal .. 700 bold .. 900 black\n"
    "  --italic      the italic face\n"
    "  --no-preview  write no preview-xxxx.png\n"
    "  --chars LIST  only these characters, codes and ranges of the set's bytes:\n"
    "                0x20-0x7e,0xa0-0xff (Western adds the Palm's own: 0x09 tab,\n"
    "                0x18 ellipsis, 0x19 digit-wide blank, 0x8d 0x8f 0x90 suits)\n"
    "  --single-density  write NFNTxxxx.bin alone, at 72 dpi\n"
    "  --list        list the installed families (those whose names hold\n"
    "                PATTERN), a bitmap family with its sizes in pixels\n"
    "\n"
    "  --set NAME    make a replacement set instead: the std and bold (weight\n"
    "                700) fonts at SIZE, large and largeBold at SIZE x 14/11 (the\n"
    "                Palm's are 11 and 14 pixels high), as IDs 0080 0082 0083\n"
    "                0084 (or from --id up), in NAME-fonts.prc, and NAME-remap.prc\n"
    "                that shows them in place of the Palm's four and hr fonts;\n"
    "                NAME is 1 to 25 letters, digits, spaces, '.', '_', '-'\n"
    "  --large N     with --set: the large fonts' size in points\n"
    "  --bold-weight N  with --set: the bold fonts' weight (default 700)\n"
    "  -h, --help    show this text\n"
    "  --version     show the version\n";

struct Options {
  std::string folder = ".";
  int id = -1;  // -1: the first free one
  FaceRequest face;
  bool preview = true;
  double size = 0;
  double line = 0;
  Charset charset;
  CharChoice chars;
  bool single_density = false;
  bool list = false;  // list the families instead
  std::string answer;  // the help or version text asked for instead of a font
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
  return read_digits(text, 16, 4, id);
}

bool read_weight(const std::string& text, int* weight) {
  int v;
  if (!read_digits(text, 10, 4, &v) || v < 1 || v > 1000) return false;
  *weight = v;
  return true;
}

// The options that have no one-letter form, by the code getopt_long gives.
enum LongOption {
  kId = 256, kWeight, kBold, kItalic, kNoPreview, kVersion, kChars, kSingleDensity, kList
};

const std::vector<base::OptionSpec> kOptions = {
    {"help", 'h', false},         {"version", kVersion, false}, {nullptr, 'o', true},
    {"id", kId, true},            {"weight", kWeight, true},    {"bold", kBold, false},
    {"italic", kItalic, false},   {"no-preview", kNoPreview, false},
    {"chars", kChars, true},      {"single-density", kSingleDensity, false},
    {"list", kList, false},
};

// One option and its value.
std::string apply_option(int code, const std::string& value, Options* o) {
  switch (code) {
    case 'h':
      o->answer = kUsage;
      return "";
    case kVersion:
      o->answer = std::string("glyphsmith ") + GLYPHSMITH_VERSION + "\n";
      return "";
    case kBold:
      o->face.weight = 700;
      return "";
    case kItalic:
      o->face.italic = true;
      return "";
    case kNoPreview:
      o->preview = false;
      return "";
    case kChars:
      return read_char_list(value, &o->chars);
    case kSingleDensity:
      o->single_density = true;
      return "";
    case kList:
      o->list = true;
      return "";
    case 'o':
      if (value.empty()) return "option '-o' needs a folder";
      o->folder = value;
      return "";
    case kId:
      if (!read_hex_id(value, &o->id))
        return "resource ID '" + value + "' is not 1 to 4 hexadecimal digits";
      return "";
    default:  // kWeight
      if (!read_weight(value, &o->face.weight))
        return "weight '" + value + "' is not a number from 1 to 1000";
      return "";
  }
}

// Options anywhere on the line, up to a "--"; the other arguments, in
// their order, into *operands. Help and the version stop the reading.
std::string read_options(int argc, char** argv, Options* o, std::vector<std::string>* operands) {
  base::OptionScan scan;
  base::start_options(&scan, argc, argv, kOptions);
  for (base::OptionFound f = base::next_option(&scan);
       f.kind != base::OptionKind::end && o->answer.empty(); f = base::next_option(&scan)) {
    std::string error = f.kind == base::OptionKind::error ? f.error : "";
    if (f.kind == base::OptionKind::operand) operands->push_back(f.value);
    if (f.kind == base::OptionKind::option) error = apply_option(f.code, f.value, o);
    if (!error.empty()) return error;
  }
  return "";
}

// "" when the command line is complete, or when it asks for help or the
// version, whose text is then o->answer.
std::string parse(int argc, char** argv, Options* o) {
  std::vector<std::string> operands;
  std::string error = read_options(argc, argv, o, &operands);
  if (!error.empty() || !o->answer.empty()) return error;
  if (o->list && operands.size() > 1) return "--list takes one PATTERN at most";
  if (o->list) return list_families(operands.empty() ? "" : operands[0], &o->answer);
  if (operands.size() < 4) return "expected SIZE LINE CHARSET FACE... (see glyphsmith --help)";
  if (!read_decimal(operands[0], &o->size) || o->size < 0.5 || o->size > 255)
    return "size '" + operands[0] + "' is not a number of points from 0.5 to 255";
  if (!read_decimal(operands[1], &o->line) || o->line > 1000)
    return "line spacing '" + operands[1] + "' is not a number of points from 0 to 1000";
  error = find_charset(operands[2], &o->charset);
  if (!error.empty()) return error;
  o->face.symbol = o->charset.symbol;
  for (size_t w = 3; w < operands.size(); ++w) o->face.family += (w > 3 ? " " : "") + operands[w];
  return "";
}

// The 4 hexadecimal digits at text[at], or -1.
int id_at(const std::string& text, size_t at) {
  int id = 0;
  return text.size() >= at + 4 && read_hex_id(text.substr(at, 4), &id) ? id : -1;
}

// The IDs of the fonts already in the folder: NFNTxxxx and nfntxxxx files in
// any case, with or without a suffix, and previews, so that a new font never
// replaces one, nor one written under names of earlier versions. IDs
// already in taken are passed over too.
std::string first_free_id(const std::string& folder, std::set<uint16_t> taken, int* id) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string lower = lower_ascii(it->path().filename().string());
    int value = -1;
    if (lower.compare(0, 4, "nfnt") == 0 && (lower.size() == 8 || (lower.size() > 8 && strchr(".-", lower[8]))))
      value = id_at(lower, 4);
    else if (lower.compare(0, 8, "preview-") == 0 && lower.size() > 12 && lower[12] == '.')
      value = id_at(lower, 8);
    if (value >= 0) taken.insert(static_cast<uint16_t>(value));
  }
  if (ec) return "cannot read the folder '" + folder + "': " + ec.message();
  uint16_t free_id;
  if (!first_free_font_id(taken, &free_id))
    return "every resource ID from 0080 to ffff is taken in '" + folder + "'";
  *id = free_id;
  return "";
}

// The ID a run chose, held until its files are in place, so that runs at
// once in one folder never choose the same.
struct HeldId {
  OutputReservation reservation;
  ~HeldId() { output_release(&reservation); }
};

// The first free ID that no other run holds: each is held by an exclusive
// create, then looked for again, as a run that held it may have put its
// files in place and let go of it meanwhile.
std::string hold_free_id(const std::string& folder, int* id, HeldId* held) {
  std::set<uint16_t> passed;
  for (;;) {
    std::string error = first_free_id(folder, passed, id);
    if (!error.empty()) return error;
    std::string name = ".glyphsmith-" + hex_text(static_cast<unsigned>(*id), 4) + ".lock";
    FileError taken = output_reserve(&held->reservation, (fs::path(folder) / name).string());
    if (!taken.ok() && taken.code != EEXIST)
      return base::write_failure(folder, "", taken.reason());
    int again = -1;
    if (taken.ok()) error = first_free_id(folder, passed, &again);
    if (!error.empty() || again == *id) return error;
    output_release(&held->reservation);
    passed.insert(static_cast<uint16_t>(*id));
  }
}

// The files of one font, the same on every system. prcbuild reads type and
// ID from a name's first eight characters; the version 2 font's suffix keeps
// them and parts its name from the version 1 font's where names ignore
// letter case. The preview's name holds no ID prcbuild would read, and no
// NFNT* or nfnt* pattern takes it for a font.
struct FontFileNames {
  std::string v1, v2, preview;
};

FontFileNames font_file_names(int id) {
  std::string digits = hex_text(static_cast<unsigned>(id), 4);
  return {"NFNT" + digits + ".bin", "nfnt" + digits + "-hd.bin", "preview-" + digits + ".png"};
}

std::string describe_points(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// What a Palm would show, drawn from the written bytes: the set's sample
// sentence and every character, at both densities.
std::string make_preview(const std::vector<uint8_t>& bytes, const Charset& charset,
                         std::vector<uint8_t>* png, std::string* what) {
  BitmapFont font;
  std::string error = decode_font(bytes.data(), bytes.size(), &font);
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
  *what = std::string("preview at ") + (font.images.size() > 1 ? "72 and 144 dpi, " : "72 dpi, ") +
          std::to_string(canvas.width) + " x " + std::to_string(canvas.height) + " pixels";
  return "";
}

// The fonts' files and their summary lines; refuses a font too large for a
// resource, naming the ways to a smaller one.
std::string font_files(const Options& o, const FontSource& source, const FontFileNames& names,
                       SizedFont* font, std::vector<PendingFile>* files,
                       std::vector<std::string>* summaries) {
  if (!sized_fits(*font))
    return too_large(source, font->what, o.size, o.line, *font) +
           "; or choose fewer characters with --chars" +
           (o.single_density ? "" : ", or write the 72-dpi font alone with --single-density");
  std::string what =
      font->family + " " + describe_points(o.size) + " points, " + o.charset.name +
      (o.charset.symbol ? " (the face's symbol map)"
                        : " (code page " + std::to_string(o.charset.code_page) + ")") +
      ", " + std::to_string(font->characters) + " characters, " + std::to_string(font->height) +
      " pixels high";
  for (std::vector<uint8_t>* bytes : {&font->v1, &font->v2}) {
    bool v2 = bytes == &font->v2;
    if (v2 && o.single_density) break;
    PendingFile f{v2 ? names.v2 : names.v1, std::move(*bytes)};
    summaries->push_back(f.name + ": " + what + (v2 ? ", 72 and 144 dpi, " : ", 72 dpi, ") +
                         std::to_string(f.bytes.size()) + " bytes");
    files->push_back(std::move(f));
  }
  return "";
}

}  // namespace

int run_glyphsmith(int argc, char** argv, FILE* out, FILE* err) {
  if (replacement_set_asked(argc, argv)) return run_replacement_set(argc, argv, kUsage, out, err);
  Options o;
  std::string error = parse(argc, argv, &o);
  auto fail = [err](const std::string& message) {
    std::fprintf(err, "glyphsmith: %s\n", message.c_str());
    return 1;
  };
  if (!error.empty()) return fail(error);
  if (!o.answer.empty()) {
    std::fputs(o.answer.c_str(), out);
    return 0;
  }

  std::error_code ec;
  if (!fs::is_directory(o.folder, ec)) return fail("no folder '" + o.folder + "'");
  HeldId held;
  if (o.id < 0) {
    error = hold_free_id(o.folder, &o.id, &held);
    if (!error.empty()) return fail(error);
  }

  // A Palm point is a pixel at standard density, two at double density.
  std::string second_file;
  error = resolve_face(&o.face, &second_file);
  if (!error.empty()) return fail(error);
  FontSource source{o.face, second_file, o.charset, o.chars, o.single_density};
  SizedFont font;
  error = build_sized(source, o.size, o.line, &font);
  if (!error.empty()) return fail(error);

  FontFileNames names = font_file_names(o.id);
  std::vector<PendingFile> files;
  std::vector<std::string> summaries;
  error = font_files(o, source, names, &font, &files, &summaries);
  if (!error.empty()) return fail(error);

  if (o.preview) {
    PendingFile png{names.preview, {}};
    std::string what;
    error = make_preview(files.back().bytes, o.charset, &png.bytes, &what);
    if (!error.empty()) return fail(error);
    summaries.push_back(png.name + ": " + what);
    files.push_back(std::move(png));
  }

  error = write_files(o.folder, files);
  if (!error.empty()) return fail(error);
  for (const std::string& s : summaries) std::fprintf(out, "%s\n", s.c_str());
  for (const std::string& note : font.notes) std::fprintf(out, "note: %s\n", note.c_str());
  return 0;
}
