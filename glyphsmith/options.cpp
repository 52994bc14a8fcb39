#include "options.h"

#include <vector>

#include "option_scan.h"
#include "text.h"

using base::read_digits;
using charsets::find_charset;

const char kGlyphsmithUsage[] =
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
    "  --sample TEXT the preview's page of text at the Palm's screen size\n"
    "                (default: the charset's sample sentence)\n"
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

namespace {

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
  kId = 256,
  kWeight,
  kBold,
  kItalic,
  kNoPreview,
  kVersion,
  kChars,
  kSingleDensity,
  kList,
  kSample
};

const std::vector<base::OptionSpec> kOptions = {
    {"help", 'h', false},       {"version", kVersion, false},
    {nullptr, 'o', true},       {"id", kId, true},
    {"weight", kWeight, true},  {"bold", kBold, false},
    {"italic", kItalic, false}, {"no-preview", kNoPreview, false},
    {"chars", kChars, true},    {"single-density", kSingleDensity, false},
    {"list", kList, false},     {"sample", kSample, true, true},
};

// One option and its value.
std::string apply_option(int code, const std::string& value, GlyphsmithOptions* o) {
  switch (code) {
    case 'h':
      o->answer = kGlyphsmithUsage;
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
    case kSample:
      o->sample = value;
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
std::string read_options(int argc, char** argv, GlyphsmithOptions* o,
                         std::vector<std::string>* operands) {
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

}  // namespace

std::string parse_command_line(int argc, char** argv, GlyphsmithOptions* o) {
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
