#include "options.h"

#include <getopt.h>

#include "charsets.h"

using charsets::Charset, charsets::find_charset;

namespace {

const char kUsage[] =
    "Usage: prcdump [-x DIR] [--png DIR] [--bdf DIR [--charset NAME]] FILE...\n"
    "       prcdump --check FILE...\n"
    "Shows the header and the entries of each Palm OS database FILE (.prc or .pdb).\n"
    "\n"
    "  -x DIR      also write every entry to a file in DIR (made if missing) and\n"
    "              print the prcbuild command line that rebuilds the database\n"
    "  --png DIR   draw every font as a PNG glyph sheet in DIR (made if missing)\n"
    "  --bdf DIR   write every font as BDF, a file per density, in DIR (made if\n"
    "              missing) and print the glyphsmith command that builds it again\n"
    "  --charset NAME  the character set the BDF files name (default: Western)\n"
    "  --check     list nothing, but say what a Palm would mis-read, one line\n"
    "              each; the status is 1 when anything is found\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n";

enum { kFile = 1, kPng = 0x100, kVersion, kCheck, kBdf, kCharset };

const option kLongOptions[] = {
    {"check", no_argument, nullptr, kCheck},
    {"help", no_argument, nullptr, 'h'},
    {"png", required_argument, nullptr, kPng},
    {"bdf", required_argument, nullptr, kBdf},
    {"charset", required_argument, nullptr, kCharset},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

int usage_error(FILE* err, const std::string& message) {
  fprintf(err, "prcdump: %s\n%s", message.c_str(), kUsage);
  return 1;
}

// The option getopt_long refused: a letter of a cluster, or a whole long one
// (unknown, or given a value it doesn't take).
std::string unknown_option(char** argv) {
  bool letter = optopt > 0 && optopt < 0x100 && optopt != 'h';
  return letter ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
}

// Whether getopt_long says an option lacks its folder; some builds give the
// same answer for a long option that was given a value it doesn't take.
bool needs_folder(int c) {
  return c == ':' && (optopt == 'x' || optopt == kPng || optopt == kBdf);
}

}  // namespace

// Options and files in any order, files in the order given; everything after
// "--" is a file.
int parse_command_line(int argc, char** argv, FILE* out, FILE* err, Options* o) {
  int exit = -1;
  opterr = 0;
  optind = 0;  // a fresh scan, should the program run twice in one process
  // The leading '-' hands each file over in its place, whatever
  // POSIXLY_CORRECT says; ':' reports a missing folder apart.
  for (int c; exit < 0 && (c = getopt_long(argc, argv, "-:hx:", kLongOptions, nullptr)) != -1;) {
    int which = c == ':' ? optopt : c;
    std::string name = which == 'x' ? "-x" : which == kBdf ? "--bdf" : "--png";
    std::string& folder = which == 'x' ? o->extract : which == kBdf ? o->bdf : o->png;
    bool folder_option = c == 'x' || c == kPng || c == kBdf;
    if (c == kFile) {
      o->files.push_back(optarg);
    } else if (c == 'h') {
      fputs(kUsage, out);
      exit = 0;
    } else if (c == kCheck) {
      o->check = true;
    } else if (c == kVersion) {
      fprintf(out, "prcdump %s\n", PRCDUMP_VERSION);
      exit = 0;
    } else if (needs_folder(c) || (folder_option && !*optarg)) {
      exit = usage_error(err, name + " needs a folder");
    } else if ((c == ':' && optopt == kCharset) || (c == kCharset && !*optarg)) {
      exit = usage_error(err, "--charset needs a name");
    } else if (c == kCharset) {
      Charset charset;
      std::string problem = find_charset(optarg, &charset);
      if (!problem.empty()) exit = usage_error(err, problem);
      o->bdf_charset = charset.name;
    } else if (folder_option) {
      if (!folder.empty()) exit = usage_error(err, name + " given twice");
      folder = optarg;
    } else {
      exit = usage_error(err, "unknown option " + unknown_option(argv));
    }
  }
  for (int i = optind; exit < 0 && i < argc; ++i) o->files.push_back(argv[i]);
  if (exit < 0 && o->files.empty()) exit = usage_error(err, "no FILE given");
  if (exit < 0 && o->check && !(o->extract.empty() && o->png.empty() && o->bdf.empty()))
    exit = usage_error(err, "--check takes no -x, --png or --bdf");
  return exit;
}
