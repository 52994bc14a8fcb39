#include "prcdump.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "charsets.h"
#include "dump.h"
#include "output.h"

using charsets::Charset, charsets::find_charset;

namespace {

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

enum { kFile = 1, kPng = 0x100, kVersion, kCheck, kBdf, kCharset, kSample };

const option kLongOptions[] = {
    {"check", no_argument, nullptr, kCheck},
    {"help", no_argument, nullptr, 'h'},
    {"png", required_argument, nullptr, kPng},
    {"bdf", required_argument, nullptr, kBdf},
    {"charset", required_argument, nullptr, kCharset},
    {"version", no_argument, nullptr, kVersion},
    {"sample", required_argument, nullptr, kSample},
    {nullptr, 0, nullptr, 0},
};

// What the command line asks for; `exit` set when it is answered already
// (help, version, or a mistake reported) with that status.
struct Request {
  std::vector<std::string> files;
  int exit = -1;
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

// Options and files in any order, files in the order given; everything after
// "--" is a file.
Request parse_command_line(int argc, char** argv, Run* run) {
  Request r;
  opterr = 0;
  optind = 0;  // a fresh scan, should the program run twice in one process
  // The leading '-' hands each file over in its place, whatever
  // POSIXLY_CORRECT says; ':' reports a missing folder apart.
  for (int c; r.exit < 0 && (c = getopt_long(argc, argv, "-:hx:", kLongOptions, nullptr)) != -1;) {
    int which = c == ':' ? optopt : c;
    std::string name = which == 'x' ? "-x" : which == kBdf ? "--bdf" : "--png";
    Folder& folder = which == 'x' ? run->extract : which == kBdf ? run->bdf : run->png;
    bool folder_option = c == 'x' || c == kPng || c == kBdf;
    if (c == kFile) {
      r.files.push_back(optarg);
    } else if (c == 'h') {
      fputs(kUsage, run->out);
      r.exit = 0;
    } else if (c == kCheck) {
      run->check = true;
    } else if (c == kVersion) {
      fprintf(run->out, "prcdump %s\n", PRCDUMP_VERSION);
      r.exit = 0;
    } else if (needs_folder(c) || (folder_option && !*optarg)) {
      r.exit = usage_error(run->err, name + " needs a folder");
    } else if ((c == ':' && optopt == kCharset) || (c == kCharset && !*optarg)) {
      r.exit = usage_error(run->err, "--charset needs a name");
    } else if (c == kCharset) {
      Charset charset;
      std::string problem = find_charset(optarg, &charset);
      if (!problem.empty()) r.exit = usage_error(run->err, problem);
      run->bdf_code_page = charset.symbol ? 0 : charset.code_page;
      run->bdf_charset = charset.name;
    } else if (c == kSample) {
      run->sample = optarg;
      run->own_sample = true;
    } else if (folder_option) {
      if (!folder.path.empty()) r.exit = usage_error(run->err, name + " given twice");
      folder.path = optarg;
    } else {
      r.exit = usage_error(run->err, "unknown option " + unknown_option(argv));
    }
  }
  for (int i = optind; r.exit < 0 && i < argc; ++i) r.files.push_back(argv[i]);
  if (r.exit < 0 && r.files.empty()) r.exit = usage_error(run->err, "no FILE given");
  if (r.exit < 0 && run->check &&
      !(run->extract.path.empty() && run->png.path.empty() && run->bdf.path.empty()))
    r.exit = usage_error(run->err, "--check takes no -x, --png or --bdf");
  return r;
}

// A folder asked for that is something else already stops the run before
// anything is read; a missing one is made by the first file that goes in.
bool folders_usable(Run* run) {
  for (Folder* folder : {&run->extract, &run->png, &run->bdf}) {
    struct stat st;
    if (!folder->path.empty() && stat(folder->path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      fprintf(run->err, "prcdump: %s: %s\n", folder->path.c_str(), error_text(ENOTDIR).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int run_prcdump(int argc, char** argv, FILE* out, FILE* err) {
  Run run{out, err, {}, {}, {}, 1252, "Western", false, false, false, {}, {}, {}, {}, false};
  Request request = parse_command_line(argc, argv, &run);
  if (request.exit >= 0) return request.exit;
  if (!folders_usable(&run)) return 1;

  int status = 0;
  for (size_t i = 0; i < request.files.size() && run.listing_error.ok(); ++i) {
    std::string problem = dump_file(&run, request.files[i]);
    if (!problem.empty()) {
      fprintf(err, "prcdump: %s: %s\n", request.files[i].c_str(), problem.c_str());
      status = 1;
    }
  }
  if (run.found_any) status = 1;
  if (!run.listing_error.ok()) {
    fprintf(err, "prcdump: standard output: %s\n", run.listing_error.reason().c_str());
    return 1;
  }
  return status;
}
