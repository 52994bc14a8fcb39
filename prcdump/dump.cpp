#include "dump.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "bdf_files.h"
#include "check.h"
#include "extract.h"
#include "input.h"
#include "listing.h"
#include "output.h"
#include "pictures.h"
#include "staging.h"

using namespace palm;

namespace {

// The pictures and BDF files of a database: a megabyte for any, then more as
// the file grows, never more than 64 MiB. Real fonts make a few dozen bytes
// of BDF a byte; a file that promises more is refused.
constexpr uint64_t kBaseMadeBytes = uint64_t{1} << 20;
constexpr uint64_t kMadeBytesPerByte = 256;
constexpr uint64_t kMaxMadeBytes = uint64_t{64} << 20;

// What the programs make or read that is no database, by its first bytes.
struct Look {
  const char* magic;
  const char* what;
};
constexpr Look kLooks[] = {
    {"STARTFONT", "a BDF font; make Palm fonts of it with glyphsmith"},
    {"\1fcp", "a PCF font; make Palm fonts of it with glyphsmith"},
    {"\x1f\x8b", "a gzip file"},
    {"\x89PNG", "a PNG picture"},
};

bool plain_text(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t c) { return c >= 0x20 && c < 0x7f; });
}

// What a file that is no database looks like, or "" when it may be one:
// `problem` is what the reader said of it ("" when it read it). A font
// resource can pass for a database of no entries, so one is told apart by
// decoding as a font and by a type and creator no database has.
std::string looks_like(FILE* file, uint64_t size, const uint8_t* start, size_t n,
                       const std::string& problem, const PalmDatabase& db) {
  bool odd = !problem.empty() || !plain_text(bytes_of(db.header.type), 4) ||
             !plain_text(bytes_of(db.header.creator), 4);
  BitmapFont font;
  PalmEntry whole;
  whole.size = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
  if (odd && read_font(file, whole, FontDepth::tables, &font).empty())
    return "a Palm font resource; pack it with prcbuild";
  for (const Look& look : kLooks) {
    size_t length = strlen(look.magic);
    if (!problem.empty() && n >= length && !memcmp(start, look.magic, length)) return look.what;
  }
  return "";
}

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
  std::string problem = read_database(start.data(), start.size(), size, db);
  std::string look = looks_like(file, size, start.data(), start.size(), problem, *db);
  return look.empty() ? problem : "not a Palm database but " + look;
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
  if (run->options.check) {
    print_findings(run->out, path, db, findings);
    run->found_any = run->found_any || !findings.empty();
    return "";
  }

  std::vector<std::string> details(db.entries.size());
  std::vector<size_t> fonts, weighed;
  const Options& o = run->options;
  bool pictures = !o.png.empty() || !o.bdf.empty();
  for (size_t i = 0; i < db.entries.size(); ++i)
    details[i] = entry_detail(file, db, i, pictures ? &fonts : nullptr);
  std::vector<Part> parts;
  std::vector<std::string> notes;
  if (!o.extract.empty()) plan_parts(run, file, db, &parts, &notes);
  std::string page = o.png.empty() ? "" : page_text(o);
  if (!fonts.empty()) problem = weigh_fonts(file, db, fonts, !page.empty(), &weighed, &details);
  // What pictures and BDF files a database makes is bounded by its size.
  run->made_bytes = 0;
  run->made_budget = std::min(kMaxMadeBytes, kBaseMadeBytes + kMadeBytesPerByte * db.file_size);
  if (problem.empty() && !weighed.empty() && !o.png.empty())
    problem = stage_sheets(run, group, file, db, weighed, page);
  std::vector<std::string> rebuilds;
  if (problem.empty() && !weighed.empty() && !o.bdf.empty())
    problem = stage_bdf_files(run, group, file, db, weighed, &rebuilds);
  if (!problem.empty()) return problem;

  if (run->listed_any) fputc('\n', run->out);
  run->listed_any = true;
  print_listing(run->out, path, db, details, findings);
  // Nothing more is written once the listing can't be.
  if (!listing_written(run)) return "";
  problem = stage_parts(run, group, file, parts);
  if (!problem.empty()) return problem;
  FileError error = group_commit(group);
  if (!error.ok()) return commit_error(error, path);
  if (!o.extract.empty()) print_command(run->out, path, o.extract, db, parts, notes);
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
