#include "extract.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "database.h"
#include "entry_name.h"
#include "input.h"
#include "listing.h"
#include "messages.h"
#include "staging.h"
#include "text.h"

using namespace palm;

using base::lower_ascii, base::printable, base::format, base::shell_word;

namespace {

bool trailing_nonzero(const uint8_t* p, size_t n) {
  for (size_t i = zero_terminated_length(p, n); i < n; ++i)
    if (p[i]) return true;
  return false;
}

void header_notes(const PalmDatabase& db, std::vector<std::string>* notes) {
  const DatabaseHeader& h = db.header;
  uint16_t expected_attributes = written_attributes(db.resources);
  if (h.attributes != expected_attributes)
    notes->push_back(
        format("attributes are 0x%04x; prcbuild writes 0x%04x", h.attributes, expected_attributes));
  if (h.version != kWrittenVersion)
    notes->push_back(format("version is %u; prcbuild writes %u", h.version, kWrittenVersion));
  if (h.modification_number)
    notes->push_back(format("modification number is %u; prcbuild writes 0", h.modification_number));
  if (h.unique_id_seed)
    notes->push_back(format("unique ID seed is 0x%08x; prcbuild writes 0", h.unique_id_seed));
  if (h.next_record_list)
    notes->push_back(format("next record list is 0x%08x; prcbuild writes 0", h.next_record_list));
  if (trailing_nonzero(bytes_of(h.name), 32))
    notes->push_back("the name field has bytes after its end");
  if (trailing_nonzero(bytes_of(h.type), 4) || trailing_nonzero(bytes_of(h.creator), 4))
    notes->push_back("the type or creator has bytes after a zero byte");
  if (db.entries.size() > kMaxEntries)
    notes->push_back(
        format("%zu entries; prcbuild takes at most %zu", db.entries.size(), kMaxEntries));
}

// Where prcbuild puts the first byte of data, and whether this file's bytes
// before it are prcbuild's zeros.
void layout_notes(FILE* file, const PalmDatabase& db, std::vector<std::string>* notes) {
  uint32_t first = db.entries.empty() ? static_cast<uint32_t>(db.file_size) : db.entries[0].offset;
  uint32_t aligned = data_start(db.directory_end);
  // Only a gap as small as prcbuild's pad is worth reading.
  std::string gap = first == aligned ? peek(file, db.directory_end, first - db.directory_end) : "";
  if (first != aligned && db.entries.empty())
    notes->push_back(format("the file has %u bytes; prcbuild writes %u", first, aligned));
  else if (first != aligned)
    notes->push_back(
        format("the data starts at byte %u; prcbuild puts it at byte %u", first, aligned));
  else if (gap.find_first_not_of('\0') != std::string::npos)
    notes->push_back("the bytes before the data are not zero; prcbuild writes zeros");
}

Part entry_part(Run* run, const PalmDatabase& db, size_t i, std::vector<std::string>* notes) {
  const std::string& dir = run->options.extract;
  const PalmEntry& e = db.entries[i];
  Part p;
  p.offset = e.offset;
  p.size = e.size;
  if (db.resources) {
    bool escaped;
    p.name = unique_name(&run->names, resource_file_base(e.type, e.id, &escaped));
    if (escaped) {
      p.command = false;
      notes->push_back(
          format("entry %zu is left out: prcbuild can't take its type %s from a "
                 "file name (%s)",
                 i, printable(e.type, 4).c_str(), shown(join_path(dir, p.name)).c_str()));
    }
  } else {
    p.name = unique_name(&run->names, record_file_base(i, db.entries.size()));
    if (e.attributes != 0 || e.unique_id != i)
      notes->push_back(
          format("record %zu has attributes 0x%02x and unique ID %u; prcbuild "
                 "writes 0x00 and %zu",
                 i, e.attributes, e.unique_id, i));
  }
  if (e.size == 0) {
    p.command = false;
    notes->push_back(format("entry %zu is empty and left out: prcbuild refuses empty files", i));
  } else if (e.size > kFileReadSize) {
    notes->push_back(format("entry %zu has %u bytes; prcbuild reads only the first %zu of a file",
                            i, e.size, kFileReadSize));
  }
  return p;
}

}  // namespace

std::string stage_parts(Run* run, OutputGroup* group, FILE* from, const std::vector<Part>& parts) {
  if (run->buffer.empty()) run->buffer.resize(1 << 18);
  for (const Part& p : parts) {
    std::string problem = stage_file(run, group, run->options.extract, p.name);
    if (!problem.empty()) return problem;
    uint64_t offset = p.offset;
    for (uint32_t left = p.size; left > 0;) {
      size_t n = left < run->buffer.size() ? left : run->buffer.size();
      if (!read_at(from, offset, run->buffer.data(), n)) return "read error: " + error_text(errno);
      if (fwrite(run->buffer.data(), 1, n, group->stream) != n) break;  // told by group_staged
      offset += n;
      left -= static_cast<uint32_t>(n);
    }
    FileError error = group_staged(group);
    if (!error.ok()) return write_error(error);
  }
  return "";
}

void plan_parts(Run* run, FILE* file, const PalmDatabase& db, std::vector<Part>* parts,
                std::vector<std::string>* notes) {
  header_notes(db, notes);
  std::string dir = run->options.extract;
  auto add_block = [&](const char* label, const char* base, const PalmBlock& block) {
    if (!block.offset) return;
    Part p{unique_name(&run->names, base), block.offset, block.size, false};
    notes->push_back(format("%s (%u bytes) is in %s; prcbuild writes none", label, block.size,
                            shown(join_path(dir, p.name)).c_str()));
    parts->push_back(p);
  };
  add_block("AppInfo", "appinfo", db.app_info);
  add_block("SortInfo", "sortinfo", db.sort_info);
  if (!db.app_info.offset && !db.sort_info.offset) layout_notes(file, db, notes);
  for (size_t i = 0; i < db.entries.size(); ++i) parts->push_back(entry_part(run, db, i, notes));
}

void print_command(FILE* out, const std::string& path, const std::string& dir,
                   const PalmDatabase& db, const std::vector<Part>& parts,
                   const std::vector<std::string>& notes) {
  const DatabaseHeader& h = db.header;
  auto field = [](const uint8_t* p, size_t n) {
    return shell_word(std::string(reinterpret_cast<const char*>(p), zero_terminated_length(p, n)));
  };
  std::string line = "prcbuild";
  size_t inputs = 0;
  for (const Part& p : parts) inputs += p.command;
  if (!db.resources)
    line += " -d";
  else if (inputs == 0)
    line += " -x";  // an option lets prcbuild run without inputs
  line += " " + path_argument(path) + " " + field(bytes_of(h.name), 32) + " " +
          field(bytes_of(h.type), 4) + " " + field(bytes_of(h.creator), 4);
  for (const Part& p : parts)
    if (p.command) line += " " + path_argument(join_path(dir, p.name));
  fprintf(out, "%s\n", line.c_str());
  for (const std::string& note : notes) fprintf(out, "note: %s\n", note.c_str());
}

