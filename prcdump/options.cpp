#include "options.h"

#include "charsets.h"
#include "option_scan.h"

using charsets::Charset, charsets::find_charset;

const char kUsage[] =
    "Usage: prcdump [-x DIR] [--png DIR] [--sample TEXT]\n"
    "               [--bdf DIR [--charset NAME]] FILE...\n"
    "       prcdump --check FILE...\n"
    "Shows the header and the entries of each Palm OS database FILE (.prc or .pdb).\n"
    "\n"
    "  -x DIR      also write every entry to a file in DIR (made if missing) and\n"
    "              print the prcbuild command line that rebuilds the database\n"
    "  --png DIR   draw every font as a PNG glyph sheet in DIR (made if missing),\n"
    "              with a page of text at the Palm's screen size\n"
    "  --sample TEXT  the page's text (default: the charset's sample sentence)\n"
    "  --bdf DIR   write every font as BDF, a file per density, in DIR (made if\n"
    "              missing) and print the glyphsmith command that builds it again\n"
    "  --charset NAME  the character set the BDF files name and the page's text\n"
    "              is converted to (default: Western)\n"
    "  --check     list nothing, but say what a Palm would mis-read, one line\n"
    "              each; the status is 1 when anything is found\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n";

namespace {

enum { kPng = 0x100, kVersion, kCheck, kBdf, kCharset, kSample };

const std::vector<base::OptionSpec> kOptions = {
    {"check", kCheck, false},     {"help", 'h', false}, {nullptr, 'x', true},
    {"png", kPng, true},          {"bdf", kBdf, true},  {"charset", kCharset, true},
    {"version", kVersion, false}, {"sample", kSample, true, true},
};

CommandLine mistake(const std::string& text) {
  return {Request::mistake, text};
}

// What one option asks; Request::run to read on.
CommandLine apply_option(const base::OptionScan& scan, int code, const std::string& value,
                         Options* o) {
  std::string name = base::option_name(scan, code);
  std::string* folder = code == 'x'    ? &o->extract
                        : code == kPng ? &o->png
                        : code == kBdf ? &o->bdf
                                       : nullptr;
  if (code == 'h') return {Request::help, ""};
  if (code == kVersion) return {Request::version, ""};
  if (code == kCheck) o->check = true;
  if (code == kSample) o->sample = value;
  if (folder && value.empty()) return mistake(name + " needs a folder");
  if (folder && !folder->empty()) return mistake(name + " given twice");
  if (folder) *folder = value;
  if (code == kCharset && value.empty()) return mistake("--charset needs a name");
  if (code == kCharset) {
    Charset charset;
    std::string problem = find_charset(value, &charset);
    if (!problem.empty()) return mistake(problem);
    o->bdf_charset = charset.name;
  }
  return {};
}

}  // namespace

// Options and files in any order, files in the order given; everything after
// "--" is a file.
CommandLine parse_command_line(int argc, char** argv, Options* o) {
  base::OptionScan scan;
  base::start_options(&scan, argc, argv, kOptions);
  for (base::OptionFound f = base::next_option(&scan); f.kind != base::OptionKind::end;
       f = base::next_option(&scan)) {
    if (f.kind == base::OptionKind::operand) o->files.push_back(f.value);
    if (f.kind == base::OptionKind::error && (f.code == 'x' || f.code == kPng || f.code == kBdf))
      return mistake(f.given + " needs a folder");
    if (f.kind == base::OptionKind::error && f.code == kCharset)
      return mistake("--charset needs a name");
    if (f.kind == base::OptionKind::error && f.code == kSample)
      return mistake("--sample needs a text");
    if (f.kind == base::OptionKind::error) return mistake("unknown option " + f.given);
    CommandLine asked =
        f.kind == base::OptionKind::option ? apply_option(scan, f.code, f.value, o) : CommandLine{};
    if (asked.request != Request::run) return asked;
  }
  if (o->files.empty()) return mistake("no FILE given");
  if (o->check && !(o->extract.empty() && o->png.empty() && o->bdf.empty()))
    return mistake("--check takes no -x, --png or --bdf");
  return {};
}
