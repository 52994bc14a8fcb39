#include "dump.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

#include "bdf_files.h"
#include "check.h"
#include "input.h"
#include "listing.h"
#include "output.h"
#include "pictures.h"

namespace {

// The header first, then as much more as its entry count calls for; a count
// the file can't hold is refused before room is made for it.
std::string read_directory(FILE* file, PalmDatabase* db) {
  uint64_t size;
  if (!regular_file_size(file, &size)) return "not a regular file";
  std::vector<uint8_t> start(size < kPalmHeaderSize ? size : kPalmHeaderSize);
  if (!read_at(file, 0, start.data(), start.size())) return "read error: " + error_text(errno);
  size_t need = palm_directory_size(start.data(), start.size());
  if (need > start.size() && need <= size) {
    start.resize(need);
    if (!read_at(file, 0, start.data(), need)) return "read error: " + error_text(errno);
  }
  return read_database(start.data(), start.size(), size, db);
}

// Whatever went to out so far has gone through; the first failure is kept.
bool listing_written(Run* run) {
  errno = 0;
  if (run->listing_error.ok() && (fflush(run->out) != 0 || ferror(run->out)))
    run->listing_error = {errno ? errno : EIO, "standard output"};
  return run->listing_error.ok();
}

// Lists the database, then stages its pictures and files as one group and
// commits it. Returns what is wrong, or "".
std::string dump_database(Run* run, FILE* file, const std::string& path, OutputGroup* group) {
  PalmDatabase db;
  std::string problem = read_directory(file, &db);
  if (!problem.empty()) return problem;

  std::vector<CheckFinding> findings;
  problem = check_database(
      db,
      [file](uint64_t offset, size_t size, std::vector<uint8_t>* bytes) {
        bytes->resize(size);
        return read_at(file, offset, bytes->data(), size);
      },
      &findings);
  if (!problem.empty()) return problem;
  if (run->check) {
    print_findings(run->out, path, db, findings);
    run->found_any = run->found_any || !findings.empty();
    return "";
  }

  std::vector<std::string> details(db.entries.size());
  std::vector<size_t> fonts;
  bool pictures = !run->png.path.empty() || !run->bdf.path.empty();
  for (size_t i = 0; i < db.entries.size(); ++i)
    details[i] = entry_detail(file, db, i, pictures ? &fonts : nullptr);
  std::vector<Part> parts;
  std::vector<std::string> notes;
  if (!run->extract.path.empty()) plan_parts(run, file, db, &parts, &notes);
  if (!fonts.empty() && !run->png.path.empty()) {
    problem = stage_sheets(run, group, file, db, fonts, &details);
    if (!problem.empty()) return problem;
  }
  std::vector<std::string> rebuilds;
  if (!fonts.empty() && !run->bdf.path.empty()) {
    problem = stage_bdf_files(run, group, file, db, fonts, &rebuilds);
    if (!problem.empty()) return problem;
  }

  if (run->listed_any) fputc('\n', run->out);
  run->listed_any = true;
  print_listing(run->out, path, db, details, findings);
  // Nothing more is written once the listing can't be.
  if (!listing_written(run)) return "";
  problem = stage_parts(run, group, file, parts);
  if (!problem.empty()) return problem;
  FileError error = group_commit(group);
  if (!error.ok()) return commit_error(error, path);
  if (!run->extract.path.empty()) print_command(run->out, path, run->extract.path, db, parts, notes);
  for (const std::string& line : rebuilds) fprintf(run->out, "%s\n", line.c_str());
  return "";
}

}  // namespace

std::string dump_file(Run* run, const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "can't open: " + error_text(errno);
  OutputGroup group;
  std::string problem;
  try {
    problem = dump_database(run, file, path, &group);
  } catch (const std::bad_alloc&) {
    problem = "out of memory";
  }
  group_discard(&group);
  fclose(file);
  listing_written(run);
  return problem;
}
