#include "listing.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "input.h"
#include "font_remap.h"
#include "output.h"
#include "staging.h"
#include "text.h"

using namespace palm;

using base::printable, base::format;

namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

std::string attributes_text(uint16_t attributes) {
  std::string s = format("0x%04x", attributes);
  for (int bit = 0; bit < 16; ++bit) {
    if (!(attributes & (1u << bit))) continue;
    const char* name = header_attribute_name(bit);
    s += ' ';
    s += name ? name : format("0x%04x", 1u << bit);
  }
  return s;
}

std::string record_flags(uint8_t attributes) {
  std::string s;
  for (int bit = 7; bit >= 4; --bit)
    if (attributes & (1u << bit)) s += std::string(s.empty() ? "" : " ") + record_flag_name(bit);
  if (attributes & 0x0f) s += format("%scategory %d", s.empty() ? "" : " ", attributes & 0x0f);
  return s;
}

// A broken-down time read as UTC, in seconds since 1970.
int64_t seconds_of(const tm& t) {
  sys_days day = std::chrono::year{t.tm_year + 1900} / (t.tm_mon + 1) / t.tm_mday;
  return day.time_since_epoch().count() * 86400 + t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec;
}

// How far local time is ahead of UTC at a moment. Before 1970 not every C
// library knows the local zone: those show in UTC.
int64_t zone_offset(int64_t unix_seconds) {
  if (unix_seconds < 0) return 0;
  time_t t = static_cast<time_t>(unix_seconds);
  const tm* local = localtime(&t);
  if (!local) return 0;
  tm local_copy = *local;
  const tm* utc = gmtime(&t);
  return utc ? seconds_of(local_copy) - seconds_of(*utc) : 0;
}

// A Palm date (seconds since 1904) in local time, with the zone as an offset
// from UTC; 0 means the event never happened.
std::string date_text(uint32_t palm) {
  if (palm == 0) return "never";
  int64_t unix_seconds = int64_t{palm} - kPalmEpochOffset;
  int64_t offset = zone_offset(unix_seconds);
  sys_seconds local{seconds{unix_seconds + offset}};
  sys_days day = std::chrono::floor<days>(local);
  std::chrono::year_month_day date{day};
  std::chrono::hh_mm_ss time{local - day};
  std::string zone = "UTC";
  if (offset != 0) {
    int64_t minutes = (offset < 0 ? -offset : offset) / 60;
    zone += offset < 0 ? '-' : '+';
    zone += std::to_string(minutes / 60);
    if (minutes % 60) zone += format(":%02d", static_cast<int>(minutes % 60));
  }
  return format("%04d-%02u-%02u %02d:%02d:%02d %s", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()), zone.c_str());
}

std::string remap_detail(FILE* file, const PalmEntry& e) {
  std::string bytes = peek(file, e.offset, kFontRemapSize);
  uint16_t font;
  if (!read_font_remap(bytes_of(bytes.data()), bytes.size(), &font)) return "";
  const char* name = font_id_name(font);
  return name ? format("remap to %s (0x%04x)", name, font) : format("remap to font 0x%04x", font);
}

void print_header(FILE* out, const std::string& path, const PalmDatabase& db) {
  const DatabaseHeader& h = db.header;
  fprintf(out, "file:         %s\n", shown(path).c_str());
  fprintf(out, "name:         %s\n",
          printable(bytes_of(h.name), zero_terminated_length(bytes_of(h.name), 32)).c_str());
  fprintf(out, "kind:         %s\n", db.resources ? "resource database" : "record database");
  fprintf(out, "type:         %s\n", printable(bytes_of(h.type), 4).c_str());
  fprintf(out, "creator:      %s\n", printable(bytes_of(h.creator), 4).c_str());
  fprintf(out, "attributes:   %s\n", attributes_text(h.attributes).c_str());
  fprintf(out, "version:      %u\n", h.version);
  fprintf(out, "created:      %s\n", date_text(h.creation_date).c_str());
  fprintf(out, "modified:     %s\n", date_text(h.modification_date).c_str());
  fprintf(out, "backed up:    %s\n", date_text(h.last_backup_date).c_str());
  fprintf(out, "modification: %u\n", h.modification_number);
  if (db.app_info.offset)
    fprintf(out, "AppInfo:      offset %u, %u bytes\n", db.app_info.offset, db.app_info.size);
  if (db.sort_info.offset)
    fprintf(out, "SortInfo:     offset %u, %u bytes\n", db.sort_info.offset, db.sort_info.size);
  if (h.unique_id_seed) fprintf(out, "unique seed:  0x%08x\n", h.unique_id_seed);
  if (h.next_record_list) fprintf(out, "next list:    0x%08x\n", h.next_record_list);
  fprintf(out, "entries:      %zu\n", db.entries.size());
}

}  // namespace

size_t zero_terminated_length(const uint8_t* p, size_t n) {
  const void* zero = memchr(p, 0, n);
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : n;
}

std::string peek(FILE* file, uint32_t offset, uint32_t size) {
  std::string bytes(size, '\0');
  if (!read_at(file, offset, bytes.data(), size)) return "";
  return bytes;
}

// A font is described from its header and tables; its images are not read.
std::string entry_detail(FILE* file, const PalmDatabase& db, size_t index,
                         std::vector<size_t>* fonts) {
  const PalmEntry& e = db.entries[index];
  if (db.resources && e.size == kFontRemapSize) {
    std::string remap = remap_detail(file, e);
    if (!remap.empty()) return remap;
  }
  bool resource_font = db.resources && is_font_resource_type(e.type);
  if (!resource_font && (db.resources || e.size < kFontHeaderSize)) return "";
  BitmapFont font;
  std::string problem = decode_font(
      [&](uint64_t offset, void* buffer, size_t n) {
        return read_at(file, e.offset + offset, buffer, n);
      },
      e.size, FontDepth::tables, &font);
  if (!problem.empty()) {
    if (!resource_font) return "";
    return problem.rfind("not a font", 0) == 0 ? problem : "not a font: " + problem;
  }
  if (fonts) fonts->push_back(index);
  int present = 0;
  for (int c = font.first_char; c <= font.last_char; ++c) present += font_has_char(font, c);
  std::string s = format("font v%d: characters %d-%d (%d present), height %d, ascent %d, dpi",
                         is_font_v2(font) ? 2 : 1, font.first_char, font.last_char, present,
                         font.rect_height, font.ascent);
  for (const FontImage& image : font.images) s += format(" %d", image.density);
  return s;
}

void print_listing(FILE* out, const std::string& path, const PalmDatabase& db,
                   const std::vector<std::string>& details,
                   const std::vector<CheckFinding>& findings) {
  print_header(out, path, db);
  // The findings of each entry, found at once however many there are.
  std::vector<std::vector<const CheckFinding*>> of_entry(db.entries.size());
  for (const CheckFinding& f : findings)
    if (f.entry < of_entry.size()) of_entry[f.entry].push_back(&f);
  if (!db.entries.empty())
    fprintf(out, db.resources ? "  index  type  id          offset        size\n"
                              : "  index  attr  unique id   offset        size\n");
  for (size_t i = 0; i < db.entries.size(); ++i) {
    const PalmEntry& e = db.entries[i];
    std::string line = db.resources ? format("  %5zu  %-4s  0x%04x  %10u  %10u", i,
                                             printable(e.type, 4).c_str(), e.id, e.offset, e.size)
                                    : format("  %5zu  0x%02x  0x%06x  %10u  %10u", i, e.attributes,
                                             e.unique_id, e.offset, e.size);
    std::string detail = db.resources ? details[i] : record_flags(e.attributes);
    if (!details[i].empty() && !db.resources) detail += (detail.empty() ? "" : ", ") + details[i];
    std::string marks;
    for (const CheckFinding* f : of_entry[i])
      if (f->what != details[i]) marks += (marks.empty() ? "" : "; ") + f->what;
    if (!of_entry[i].empty()) line[0] = '!';
    if (!marks.empty()) detail += (detail.empty() ? "! " : "  ! ") + marks;
    fprintf(out, "%s%s%s\n", line.c_str(), detail.empty() ? "" : "  ", detail.c_str());
  }
  for (const CheckFinding& f : findings)
    if (f.entry == CheckFinding::kDatabase) fprintf(out, "! %s\n", f.what.c_str());
}

void print_findings(FILE* out, const std::string& path, const PalmDatabase& db,
                    const std::vector<CheckFinding>& findings) {
  if (findings.empty())
    fprintf(out, "%s: ok, %zu entries\n", shown(path).c_str(), db.entries.size());
  for (const CheckFinding& f : findings) {
    std::string entry = check_entry_name(db, f.entry);
    fprintf(out, "%s: %s%s%s\n", shown(path).c_str(), entry.c_str(), entry.empty() ? "" : ": ",
            f.what.c_str());
  }
}
