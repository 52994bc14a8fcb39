#include "dump.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "bdf_files.h"
#include "check.h"
#include "files.h"
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

}  // namespace

std::string dump_file(Run* run, const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "can't open: " + error_text(errno);
  struct Closer {
    FILE* f;
    ~Closer() { fclose(f); }
  } closer{file};

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
  std::vector<FoundFont> fonts;
  bool pictures = !run->png.path.empty() || !run->bdf.path.empty();
  for (size_t i = 0; i < db.entries.size(); ++i)
    details[i] = entry_detail(file, db, i, pictures ? &fonts : nullptr);

  std::vector<Part> parts;
  std::vector<std::string> notes;
  if (!run->extract.path.empty()) plan_parts(run, file, db, &parts, &notes);

  std::vector<Part> sheets, bdfs;
  std::vector<std::string> rebuilds;
  if (!run->png.path.empty()) {
    problem = draw_sheets(run, db, fonts, &sheets);
    if (!problem.empty()) return problem;
  }
  if (!run->bdf.path.empty()) plan_bdf_files(run, db, fonts, &bdfs, &rebuilds);
  fonts.clear();

  if (run->listed_any) fputc('\n', run->out);
  run->listed_any = true;
  print_listing(run->out, path, db, details, findings);
  if (!sheets.empty()) {
    problem = write_parts(run, &run->png, file, &sheets);
    if (!problem.empty()) return problem;
  }
  if (!bdfs.empty()) {
    problem = write_parts(run, &run->bdf, file, &bdfs);
    if (!problem.empty()) return problem;
  }
  if (!run->extract.path.empty()) {
    problem = write_parts(run, &run->extract, file, &parts);
    if (!problem.empty()) return problem;
    print_command(run->out, path, run->extract.path, db, parts, notes);
  }
  for (const std::string& line : rebuilds) fprintf(run->out, "%s\n", line.c_str());
  return "";
}
