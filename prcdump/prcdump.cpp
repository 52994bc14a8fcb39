#include "prcdump.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "dump.h"
#include "options.h"
#include "output.h"
#include "staging.h"

namespace {

// A folder asked for that is something else already stops the run before
// anything is read; a missing one is made by the first file that goes in.
bool folders_usable(Run* run) {
  for (const std::string* folder : {&run->options.extract, &run->options.png, &run->options.bdf}) {
    struct stat st;
    if (!folder->empty() && stat(folder->c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      fprintf(run->err, "prcdump: %s: %s\n", shown(*folder).c_str(), error_text(ENOTDIR).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int run_prcdump(int argc, char** argv, FILE* out, FILE* err) {
  Run run;
  run.out = out;
  run.err = err;
  CommandLine asked = parse_command_line(argc, argv, &run.options);
  if (asked.request == Request::help) fputs(kUsage, out);
  if (asked.request == Request::version) fprintf(out, "prcdump %s\n", PRCDUMP_VERSION);
  if (asked.request == Request::mistake) fprintf(err, "prcdump: %s\n%s", asked.mistake.c_str(), kUsage);
  if (asked.request != Request::run) return asked.request == Request::mistake ? 1 : 0;
  if (!folders_usable(&run)) return 1;
  // Every file is known before the first is written, so that none of them
  // is replaced by what another (or it itself) holds.
  for (const std::string& path : run.options.files) {
    FileIdentity id;
    if (file_identity(path, true, &id)) run.inputs.emplace(id, path);
  }

  int status = 0;
  for (size_t i = 0; i < run.options.files.size() && run.listing_error.ok(); ++i) {
    const std::string& path = run.options.files[i];
    std::string problem = dump_file(&run, path);
    if (!problem.empty()) {
      fprintf(err, "prcdump: %s: %s\n", shown(path).c_str(), problem.c_str());
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
