#include "replacement_set.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "build_font.h"
#include "charsets.h"
#include "database.h"
#include "font_remap.h"
#include "option_scan.h"
#include "set_packages.h"
#include "sized_font.h"
#include "sources.h"
#include "text.h"
#include "write_files.h"

using namespace palm;

using base::hex_text, base::read_digits;
using charsets::Charset;

namespace fs = std::filesystem;

namespace {

// The Palm's own fonts are 11 pixels high (std, bold) and 14 (large,
// largeBold); the large fonts keep that proportion to std's size.
constexpr double kLargeRatio = 14.0 / 11.0;

// Both database names ("NAME Fonts", "NAME Remap") fit the header's 31 bytes.
constexpr size_t kMaxNameLength = 25;

struct SetOptions {
  std::string name;  // the packages' name
  std::string folder = ".";
  int first_id = -1;  // -1: 0080
  FaceRequest face;
  int bold_weight = 700;
  double size = 0, line = 0;
  double large = 0;  // 0: size x 14/11
  Charset charset;
  CharChoice chars;    // none: all the set has
  std::string answer;  // help or version, asked for instead of a set
};

enum {
  kSet = 256, kLarge, kBoldWeight, kId, kWeight, kBold, kItalic, kNoPreview, kVersion, kChars
};

const std::vector<base::OptionSpec> kSetOptions = {{"help", 'h', false},
                                                   {"version", kVersion, false},
                                                   {nullptr, 'o', true},
                                                   {"set", kSet, true},
                                                   {"large", kLarge, true},
                                                   {"bold-weight", kBoldWeight, true},
                                                   {"id", kId, true},
                                                   {"weight", kWeight, true},
                                                   {"bold", kBold, false},
                                                   {"italic", kItalic, false},
                                                   {"no-preview", kNoPreview, false},
                                                   {"chars", kChars, true}};

// Plain decimal notation, as for the single font: digits and a point.
bool read_points(const std::string& text, double max, double* value) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789.") != std::string::npos)
    return false;
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, *value, std::chars_format::fixed);
  return ec == std::errc() && at == end && *value <= max;
}

bool read_weight(const std::string& text, int* weight) {
  int v;
  if (!read_digits(text, 10, 4, &v) || v < 1 || v > 1000) return false;
  *weight = v;
  return true;
}

std::string read_name(const std::string& text, std::string* name) {
  if (text.empty() || text.size() > kMaxNameLength ||
      text.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-") !=
          std::string::npos ||
      text.find_first_not_of(' ') == std::string::npos)
    return "set name '" + text + "' is not 1 to 25 letters, digits, spaces, '.', '_' or '-'";
  *name = text;
  return "";
}

std::string apply_option(int code, const std::string& value, const char* usage, SetOptions* o) {
  if (code == 'h' || code == kVersion) {
    o->answer = code == 'h' ? usage : std::string("glyphsmith ") + GLYPHSMITH_VERSION + "\n";
    return "";
  }
  // --no-preview is taken, as for one font, and changes nothing: a set
  // writes no previews.
  if (code == kBold) o->face.weight = 700;
  if (code == kItalic) o->face.italic = true;
  if (code == kBold || code == kItalic || code == kNoPreview) return "";
  switch (code) {
    case kSet:
      return read_name(value, &o->name);
    case kChars:
      return read_char_list(value, &o->chars);
    case 'o':
      if (value.empty()) return "option '-o' needs a folder";
      o->folder = value;
      return "";
    case kId:
      if (!read_digits(value, 16, 4, &o->first_id))
        return "resource ID '" + value + "' is not 1 to 4 hexadecimal digits";
      return "";
    case kLarge:
      if (!read_points(value, 255, &o->large) || o->large < 0.5)
        return "large size '" + value + "' is not a number of points from 0.5 to 255";
      return "";
    default: {
      bool bold = code == kBoldWeight;
      if (!read_weight(value, bold ? &o->bold_weight : &o->face.weight))
        return (bold ? "bold weight '" : "weight '") + value + "' is not a number from 1 to 1000";
      return "";
    }
  }
}

std::string parse(int argc, char** argv, const char* usage, SetOptions* o) {
  std::vector<std::string> operands;
  base::OptionScan scan;
  base::start_options(&scan, argc, argv, kSetOptions);
  for (base::OptionFound f = base::next_option(&scan);
       f.kind != base::OptionKind::end && o->answer.empty(); f = base::next_option(&scan)) {
    if (f.kind == base::OptionKind::error) return f.error;
    if (f.kind == base::OptionKind::operand) operands.push_back(f.value);
    std::string error =
        f.kind == base::OptionKind::option ? apply_option(f.code, f.value, usage, o) : "";
    if (!error.empty()) return error;
  }
  if (!o->answer.empty()) return "";
  if (operands.size() < 4)
    return "expected --set NAME SIZE LINE CHARSET FACE... (see glyphsmith --help)";
  if (!read_points(operands[0], 255, &o->size) || o->size < 0.5)
    return "size '" + operands[0] + "' is not a number of points from 0.5 to 255";
  if (!read_points(operands[1], 1000, &o->line))
    return "line spacing '" + operands[1] + "' is not a number of points from 0 to 1000";
  std::string error = charsets::find_charset(operands[2], &o->charset);
  if (!error.empty()) return error;
  o->face.symbol = o->charset.symbol;
  for (size_t w = 3; w < operands.size(); ++w) o->face.family += (w > 3 ? " " : "") + operands[w];
  return "";
}

// Four IDs, each the next from the first up that no Palm font name stands
// for: a remap to such an ID would read as that Palm font.
std::string choose_ids(int first, uint16_t ids[4]) {
  unsigned next = first < 0 ? kFirstCustomFontId : static_cast<unsigned>(first);
  std::string given = hex_text(next, 4);
  if (next < kFirstCustomFontId)
    return "resource ID " + given + " is below 0080, among the Palm's own fonts";
  if (const char* palm = font_id_name(static_cast<uint16_t>(next)))
    return "resource ID " + given + " stands for " + palm + "; choose another";
  for (int i = 0; i < 4; ++i) {
    while (next <= 0xFFFF && font_id_name(static_cast<uint16_t>(next))) ++next;
    if (next > 0xFFFF) return "the set's four IDs from " + given + " up pass ffff";
    ids[i] = static_cast<uint16_t>(next++);
  }
  return "";
}

std::string points(double v) {
  return base::format("%g", v);
}

// All four fonts, or why not: a font too large for a resource is refused
// with the largest size that fits.
std::string build_set(const SetOptions& o, const std::string& second_file, const uint16_t ids[4],
                      std::vector<SetFont>* fonts, std::vector<std::string>* notes) {
  double large = o.large > 0 ? o.large : std::floor(o.size * kLargeRatio * 10 + 0.5) / 10;
  for (int i = 0; i < 4; ++i) {
    const SetRole& role = kRoles[i];
    SetFont font;
    font.role = &role;
    font.id = ids[i];
    font.size = role.large ? large : o.size;
    font.weight = role.bold ? o.bold_weight : o.face.weight;
    FaceRequest face = o.face;
    face.weight = font.weight;
    double line = o.line * font.size / o.size;
    FontSource source{face, second_file, o.charset, o.chars};
    SizedFont built;
    std::string error = build_sized(source, font.size, line, &built);
    std::string hint = role.large ? " (--large sets the large fonts' size)" : "";
    // The first font's failures, a family not installed, are the whole set's.
    if (!error.empty())
      return (i ? "the " + std::string(role.name) + " font: " : "") + error + hint;
    for (const std::string& n : built.notes) notes->push_back(std::string(role.name) + ": " + n);
    if (!sized_fits(built))
      return too_large(source, "the " + std::string(role.name) + " font", font.size, line,
                       built) +
             hint;
    font.height = built.height;
    font.family = built.family;
    font.v1 = std::move(built.v1);
    font.v2 = std::move(built.v2);
    fonts->push_back(std::move(font));
  }
  return "";
}

std::string file_stem(const std::string& name) {
  std::string stem;
  for (char c : name)
    if (c != ' ') stem += c;
  return stem;
}

// An output that is one of the face's files would be lost to the set.
std::string refuse_inputs(const SetOptions& o, const std::string& second_file,
                          const std::vector<PendingFile>& files) {
  for (const PendingFile& f : files)
    for (const std::string& input : {o.face.file, second_file}) {
      std::error_code ec;
      fs::path path = fs::path(o.folder) / f.name;
      if (!input.empty() && fs::equivalent(path, input, ec))
        return "the set would replace its own font file '" + input + "'";
    }
  return "";
}

std::string summary(const SetOptions& o, const std::string& family,
                    const std::vector<SetFont>& fonts, const PendingFile& file) {
  std::string text =
      file.name + ": \"" + o.name + " Fonts\": " + family + ", " + o.charset.name +
      (o.charset.symbol ? " (the face's symbol map)"
                        : " (code page " + std::to_string(o.charset.code_page) + ")");
  for (const SetFont& f : fonts)
    text += "; " + std::string(f.role->name) + " " + hex_text(f.id, 4) + " " + points(f.size) +
            " points" + (f.weight != 400 ? " weight " + std::to_string(f.weight) : "") + " " +
            std::to_string(f.height) + " pixels high";
  return text + "; 72 and 144 dpi, " + std::to_string(file.bytes.size()) + " bytes";
}

std::string remap_summary(const SetOptions& o, const std::vector<SetFont>& fonts,
                          const PendingFile& file) {
  std::string text = file.name + ": \"" + o.name + " Remap\": ";
  for (const SetFont& f : fonts)
    text += std::string(f.role != &kRoles[0] ? ", " : "") + f.role->palm_font + " and " +
            f.role->hr_font + " to " + hex_text(f.id, 4);
  return text + "; " + std::to_string(file.bytes.size()) + " bytes";
}

}  // namespace

bool replacement_set_asked(int argc, char** argv) {
  base::OptionScan scan;
  base::start_options(&scan, argc, argv, kSetOptions);
  for (base::OptionFound f = base::next_option(&scan); f.kind != base::OptionKind::end;
       f = base::next_option(&scan))
    // A --set without its name is the set's mistake to word.
    if ((f.kind == base::OptionKind::option || f.kind == base::OptionKind::error) && f.code == kSet)
      return true;
  return false;
}

int run_replacement_set(int argc, char** argv, const char* usage, FILE* out, FILE* err) {
  SetOptions o;
  auto fail = [err](const std::string& message) {
    std::fprintf(err, "glyphsmith: %s\n", message.c_str());
    return 1;
  };
  std::string error = parse(argc, argv, usage, &o);
  if (!error.empty()) return fail(error);
  if (!o.answer.empty()) {
    std::fputs(o.answer.c_str(), out);
    return 0;
  }
  uint16_t ids[4];
  error = choose_ids(o.first_id, ids);
  if (!error.empty()) return fail(error);
  std::error_code ec;
  if (!fs::is_directory(o.folder, ec)) return fail("no folder '" + o.folder + "'");
  std::string stem = file_stem(o.name);
  std::vector<PendingFile> files = {{stem + "-fonts.prc", {}}, {stem + "-remap.prc", {}}};
  std::string second_file;
  error = resolve_face(&o.face, &second_file);
  if (error.empty()) error = refuse_inputs(o, second_file, files);
  if (!error.empty()) return fail(error);

  std::vector<SetFont> fonts;
  std::vector<std::string> notes;
  error = build_set(o, second_file, ids, &fonts, &notes);
  if (error.empty()) error = font_package(o.name + " Fonts", fonts, &files[0]);
  if (error.empty()) error = remap_package(o.name + " Remap", fonts, &files[1]);
  if (error.empty()) error = write_files(o.folder, files);
  if (!error.empty()) return fail(error);
  std::fprintf(out, "%s\n%s\n", summary(o, fonts[0].family, fonts, files[0]).c_str(),
               remap_summary(o, fonts, files[1]).c_str());
  for (const std::string& note : notes) std::fprintf(out, "note: %s\n", note.c_str());
  return 0;
}
