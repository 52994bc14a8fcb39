#include "prcdump.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "bdf.h"
#include "bitmap_font.h"
#include "files.h"
#include "font_picture.h"
#include "font_remap.h"
#include "output.h"
#include "reader.h"

namespace {

const char kUsage[] =
    "Usage: prcdump [-x DIR] [--png DIR] [--bdf DIR [--charset NAME]] FILE...\n"
    "Shows the header and the entries of each Palm OS database FILE (.prc or .pdb).\n"
    "\n"
    "  -x DIR      also write every entry to a file in DIR (made if missing) and\n"
    "              print the prcbuild command line that rebuilds the database\n"
    "  --png DIR   draw every font as a PNG glyph sheet in DIR (made if missing)\n"
    "  --bdf DIR   write every font as BDF, a file per density, in DIR (made if\n"
    "              missing) and print the glyphsmith command that builds it again\n"
    "  --charset NAME  the character set the BDF files name (default: Western)\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n";

// prcbuild reads at most this much of an input file.
constexpr uint32_t kPrcbuildReadLimit = 130000;
constexpr size_t kPrcbuildMaxEntries = 6552;

std::string format(const char* fmt, auto... args) {
  int n = snprintf(nullptr, 0, fmt, args...);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  snprintf(text.data(), text.size() + 1, fmt, args...);
  return text;
}

// Bytes as they can be shown on a terminal: printable ASCII as it is, the
// rest (and the backslash) as \xNN.
std::string printable(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7f && p[i] != '\\')
      s += static_cast<char>(p[i]);
    else
      s += format("\\x%02x", p[i]);
  }
  return s;
}

const uint8_t* bytes_of(const char* p) {
  return reinterpret_cast<const uint8_t*>(p);
}

size_t zero_terminated_length(const uint8_t* p, size_t n) {
  const void* zero = memchr(p, 0, n);
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : n;
}

std::string attributes_text(uint16_t attributes) {
  static const char* const kNames[16] = {"resource",        "read-only",
                                         "appinfo-dirty",   "backup",
                                         "install-newer",   "reset-after-install",
                                         "copy-prevention", "stream",
                                         "hidden",          "launchable-data",
                                         "recyclable",      "bundle",
                                         nullptr,           nullptr,
                                         nullptr,           "open"};
  std::string s = format("0x%04x", attributes);
  for (int bit = 0; bit < 16; ++bit) {
    if (!(attributes & (1u << bit))) continue;
    s += ' ';
    s += kNames[bit] ? kNames[bit] : format("0x%04x", 1u << bit);
  }
  return s;
}

std::string record_flags(uint8_t attributes) {
  static const char* const kNames[4] = {"secret", "busy", "dirty", "delete"};
  std::string s;
  for (int bit = 7; bit >= 4; --bit)
    if (attributes & (1u << bit)) s += std::string(s.empty() ? "" : " ") + kNames[bit - 4];
  if (attributes & 0x0f) s += format("%scategory %d", s.empty() ? "" : " ", attributes & 0x0f);
  return s;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back.
int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

int64_t seconds_of(const tm& t) {
  return days_from_civil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) * 86400 + t.tm_hour * 3600 +
         t.tm_min * 60 + t.tm_sec;
}

// A Palm date (seconds since 1904) in local time, with the zone as an offset
// from UTC; 0 means the event never happened.
std::string date_text(uint32_t palm) {
  if (palm == 0) return "never";
  int64_t unix_seconds = int64_t{palm} - kPalmEpochOffset;
  int64_t offset = 0;
  // Before 1970 not every C library knows the local zone: those show in UTC.
  if (unix_seconds >= 0) {
    time_t t = static_cast<time_t>(unix_seconds);
    const tm* local = localtime(&t);
    tm local_copy = local ? *local : tm{};
    const tm* utc = local ? gmtime(&t) : nullptr;
    if (utc) offset = seconds_of(local_copy) - seconds_of(*utc);
  }
  int64_t shown = unix_seconds + offset;
  int64_t days = (shown >= 0 ? shown : shown - 86399) / 86400;
  int64_t second_of_day = shown - days * 86400;
  int64_t year;
  int month, day;
  civil_from_days(days, &year, &month, &day);
  std::string zone = "UTC";
  if (offset != 0) {
    int64_t minutes = (offset < 0 ? -offset : offset) / 60;
    zone += offset < 0 ? '-' : '+';
    zone += std::to_string(minutes / 60);
    if (minutes % 60) zone += format(":%02d", static_cast<int>(minutes % 60));
  }
  return format("%04lld-%02d-%02d %02d:%02d:%02d %s", static_cast<long long>(year), month, day,
                static_cast<int>(second_of_day / 3600), static_cast<int>(second_of_day / 60 % 60),
                static_cast<int>(second_of_day % 60), zone.c_str());
}

// One word for a POSIX shell: as it is when it needs no quoting, else in
// single quotes, with control bytes as $'\xNN' so the line stays one line.
std::string shell_word(const std::string& word) {
  auto plain = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           strchr("_./:@%+=,-", c);
  };
  bool simple = !word.empty();
  for (unsigned char c : word) simple = simple && plain(c) && c;
  if (simple) return word;
  std::string s = "'";
  for (unsigned char c : word) {
    if (c == '\'')
      s += "'\\''";
    else if (c < 0x20 || c == 0x7f)
      s += format("'$'\\x%02x''", c);
    else
      s += static_cast<char>(c);
  }
  return s + "'";
}

// prcbuild would take an argument that starts with '-' for an option or a
// font remap group.
std::string path_argument(const std::string& path) {
  return shell_word(!path.empty() && path[0] == '-' ? "./" + path : path);
}

// A resource type as the first four bytes of a file name. Bytes that can't
// stand in a file name on every system, or that prcbuild would read
// differently ('/', '\', ':', NUL), become %XX, as does '%' itself, so the
// name can be turned back into the type; *escaped tells whether any did.
std::string type_file_name(const uint8_t* type, bool* escaped) {
  std::string s;
  *escaped = false;
  for (int i = 0; i < 4; ++i) {
    uint8_t c = type[i];
    if (c >= 0x20 && c < 0x7f && !strchr("/\\:*?\"<>|%", c)) {
      s += static_cast<char>(c);
    } else {
      s += format("%%%02X", c);
      *escaped = true;
    }
  }
  return s;
}

std::string lower_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string error_text(int error) {
  return error ? strerror(error) : "unknown error";
}

// One part of the file that -x writes: an entry, or AppInfo or SortInfo.
struct Part {
  std::string name;  // file name in DIR
  uint32_t offset = 0;
  uint32_t size = 0;
  bool command = true;         // given to prcbuild
  std::string temp;            // written, not yet in place
  std::vector<uint8_t> bytes;  // written from here instead of the file when set
};

// A font found in an entry, for --png.
struct FoundFont {
  size_t entry;
  BitmapFont font;
};

// A folder that files go to, made when missing and taken away again when
// nothing went in.
struct Folder {
  std::string path;
  bool created = false;
  bool used = false;
};

struct Run {
  FILE* out;
  FILE* err;
  Folder extract;
  Folder png;
  Folder bdf;
  int code_page = 1252;  // of the BDF files
  std::string charset = "Western";
  bool listed_any = false;           // listings are separated by an empty line
  std::set<std::string> used_names;  // lower case: some file systems ignore case
  std::vector<char> buffer;
};

// A name not yet used in this run: base.bin, then base-2.bin, base-3.bin...
// prcbuild reads a type and ID from the first eight characters, so the
// suffix changes neither.
std::string unique_name(Run* run, const std::string& base, const char* extension = ".bin") {
  std::string name = base + extension;
  for (int n = 2; !run->used_names.insert(lower_ascii(name)).second; ++n)
    name = base + "-" + std::to_string(n) + extension;
  return name;
}

std::string join_path(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) return dir + name;
  return dir + "/" + name;
}

void discard(std::vector<Part>* parts) {
  for (Part& p : *parts) {
    if (!p.temp.empty()) remove_file(p.temp);
    p.temp.clear();
  }
}

// Copies each part into a temporary file beside its final name, then puts
// them all in place; on any failure none is, and the temporary files go.
std::string write_parts(Run* run, Folder* folder, FILE* from, std::vector<Part>* parts) {
  if (run->buffer.empty()) run->buffer.resize(1 << 18);
  for (Part& p : *parts) {
    std::string target = join_path(folder->path, p.name);
    FILE* to = create_temp_file(folder->path, &p.temp);
    if (!to) {
      std::string message = "can't write in " + folder->path + ": " + error_text(errno);
      discard(parts);
      return message;
    }
    uint64_t offset = p.offset;
    uint32_t left = p.size;
    bool read_ok = true, write_ok = true;
    if (!p.bytes.empty()) {
      write_ok = fwrite(p.bytes.data(), 1, p.bytes.size(), to) == p.bytes.size();
      left = 0;
    }
    while (left > 0 && read_ok && write_ok) {
      size_t n = left < run->buffer.size() ? left : run->buffer.size();
      read_ok = read_at(from, offset, run->buffer.data(), n);
      write_ok = read_ok && fwrite(run->buffer.data(), 1, n, to) == n;
      offset += n;
      left -= static_cast<uint32_t>(n);
    }
    int error = errno;
    if (read_ok && write_ok) {
      write_ok = fflush(to) == 0 && !ferror(to);
      error = errno;
    }
    if (fclose(to) != 0 && read_ok && write_ok) {
      write_ok = false;
      error = errno;
    }
    if (!read_ok || !write_ok) {
      std::string message = !read_ok ? "read error: " + error_text(error)
                                     : "can't write " + target + ": " + error_text(error);
      discard(parts);
      return message;
    }
  }
  for (Part& p : *parts) {
    std::string target = join_path(folder->path, p.name);
    if (!replace_file(p.temp, target)) {
      std::string message = "can't write " + target + ": " + error_text(errno);
      discard(parts);
      return message;
    }
    p.temp.clear();
    folder->used = true;
  }
  return "";
}

// Reads a small entry's bytes for the listing; empty when it can't.
std::string peek(FILE* file, uint32_t offset, uint32_t size) {
  std::string bytes(size, '\0');
  if (!read_at(file, offset, bytes.data(), size)) return "";
  return bytes;
}

bool is_font_resource(const PalmDatabase& db, const PalmEntry& e) {
  return db.resources && (memcmp(e.type, "NFNT", 4) == 0 || memcmp(e.type, "nfnt", 4) == 0);
}

std::string font_detail(const BitmapFont& font) {
  int present = 0;
  for (int c = font.first_char; c <= font.last_char; ++c) present += font_has_char(font, c);
  std::string s = format("font v%d: characters %d-%d (%d present), height %d, ascent %d, dpi",
                         is_font_v2(font) ? 2 : 1, font.first_char, font.last_char, present,
                         font.rect_height, font.ascent);
  for (const FontImage& image : font.images) s += format(" %d", image.density);
  return s;
}

// What the listing says about an entry's contents, if anything: a remap
// resource's font, a font's metrics. A font's bytes are read whole only when
// its header says it is one.
std::string entry_detail(FILE* file, const PalmDatabase& db, size_t index,
                         std::vector<FoundFont>* fonts) {
  const PalmEntry& e = db.entries[index];
  if (db.resources && e.size == 4) {
    std::string bytes = peek(file, e.offset, 4);
    if (bytes.size() == 4 && bytes[0] == '@' && bytes[1] == 0) {
      unsigned font = static_cast<uint8_t>(bytes[2]) << 8 | static_cast<uint8_t>(bytes[3]);
      const char* name = font_id_name(static_cast<uint16_t>(font));
      return name ? format("remap to %s (0x%04x)", name, font)
                  : format("remap to font 0x%04x", font);
    }
  }
  bool resource_font = is_font_resource(db, e);
  if (!resource_font && (db.resources || e.size < 26)) return "";
  std::string head = peek(file, e.offset, std::min<uint32_t>(e.size, 26));
  if (head.size() != std::min<uint32_t>(e.size, 26)) return "";
  std::string bytes = head;
  if (e.size >= 26 && (palm_u16(reinterpret_cast<const uint8_t*>(head.data())) & 0xF000) == 0x9000)
    bytes = peek(file, e.offset, e.size);
  BitmapFont font;
  std::string problem =
      decode_font(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font);
  if (!problem.empty()) {
    if (!resource_font) return "";
    return problem.rfind("not a font", 0) == 0 ? problem : "not a font: " + problem;
  }
  std::string detail = font_detail(font);
  if (fonts) fonts->push_back({index, std::move(font)});
  return detail;
}

void print_listing(FILE* out, const std::string& path, const PalmDatabase& db,
                   const std::vector<std::string>& details) {
  const DatabaseHeader& h = db.header;
  fprintf(out, "file:         %s\n", path.c_str());
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
  if (db.entries.empty()) return;
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
    fprintf(out, "%s%s%s\n", line.c_str(), detail.empty() ? "" : "  ", detail.c_str());
  }
}

// The prcbuild command line that rebuilds the database from the extracted
// files, then one line for each thing it can't reproduce.
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

bool trailing_nonzero(const uint8_t* p, size_t n) {
  for (size_t i = zero_terminated_length(p, n); i < n; ++i)
    if (p[i]) return true;
  return false;
}

// Records' files are numbered with as many digits as the last one needs, at
// least four, so that their sorted order is the records' order.
std::string record_base(const PalmDatabase& db, size_t i) {
  size_t digits = 4;
  for (size_t n = db.entries.size(); n > 10000; n /= 10) ++digits;
  std::string number = std::to_string(i);
  number.insert(0, digits - std::min(digits, number.size()), '0');
  return "record" + number;
}

// An upper bound of the bytes of a font's glyph sheet, so that a font whose
// metrics promise a vast picture is refused before anything is drawn.
uint64_t sheet_bytes(const BitmapFont& font, const PictureOptions& options) {
  uint64_t code_rows = 0;
  int last_row = -1;
  for (int c = font.first_char; c <= font.last_char; ++c)
    if (font_has_char(font, c) && c / options.columns != last_row) {
      last_row = c / options.columns;
      ++code_rows;
    }
  uint64_t total = 0;
  for (const FontImage& image : font.images) {
    uint64_t scale = static_cast<uint64_t>(picture_scale(image, options.scale72));
    uint64_t widest = std::max<uint64_t>(static_cast<uint64_t>(image.row_words) * 16,
                                         128 * static_cast<uint64_t>(image.density) / 72) +
                      1;
    uint64_t width = options.columns * (widest * scale + 3) + 1;
    uint64_t height = code_rows * (static_cast<uint64_t>(image.rows) * scale + 3) + 1 +
                      static_cast<uint64_t>(options.gap);
    total += width * height * static_cast<uint64_t>(options.channels);
  }
  return total;
}

// Plans the files of -x and what prcbuild can't redo.
void plan_parts(Run* run, FILE* file, const PalmDatabase& db, std::vector<Part>* parts,
                std::vector<std::string>* notes) {
  const DatabaseHeader& h = db.header;
  uint16_t expected_attributes = db.resources ? 0x0009 : 0x0008;
  if (h.attributes != expected_attributes)
    notes->push_back(
        format("attributes are 0x%04x; prcbuild writes 0x%04x", h.attributes, expected_attributes));
  if (h.version != 1) notes->push_back(format("version is %u; prcbuild writes 1", h.version));
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
  if (db.entries.size() > kPrcbuildMaxEntries)
    notes->push_back(
        format("%zu entries; prcbuild takes at most %zu", db.entries.size(), kPrcbuildMaxEntries));

  std::string dir = run->extract.path;
  auto add_block = [&](const char* label, const char* base, const PalmBlock& block) {
    if (!block.offset) return;
    Part p{unique_name(run, base), block.offset, block.size, false, "", {}};
    notes->push_back(format("%s (%u bytes) is in %s; prcbuild writes none", label, block.size,
                            join_path(dir, p.name).c_str()));
    parts->push_back(p);
  };
  add_block("AppInfo", "appinfo", db.app_info);
  add_block("SortInfo", "sortinfo", db.sort_info);

  // Where prcbuild puts the first byte of data, and whether this file's
  // bytes before it are prcbuild's zeros.
  uint32_t first = db.entries.empty() ? static_cast<uint32_t>(db.file_size) : db.entries[0].offset;
  uint32_t aligned = (db.directory_end + 3) / 4 * 4;
  if (!db.app_info.offset && !db.sort_info.offset) {
    // Only a gap as small as prcbuild's pad is worth reading.
    std::string gap =
        first == aligned ? peek(file, db.directory_end, first - db.directory_end) : "";
    if (first != aligned && db.entries.empty())
      notes->push_back(format("the file has %u bytes; prcbuild writes %u", first, aligned));
    else if (first != aligned)
      notes->push_back(
          format("the data starts at byte %u; prcbuild puts it at byte %u", first, aligned));
    else if (gap.find_first_not_of('\0') != std::string::npos)
      notes->push_back("the bytes before the data are not zero; prcbuild writes zeros");
  }

  for (size_t i = 0; i < db.entries.size(); ++i) {
    const PalmEntry& e = db.entries[i];
    Part p;
    p.offset = e.offset;
    p.size = e.size;
    if (db.resources) {
      bool escaped;
      std::string base = type_file_name(e.type, &escaped) + format("%04x", e.id);
      p.name = unique_name(run, base);
      if (escaped) {
        p.command = false;
        notes->push_back(
            format("entry %zu is left out: prcbuild can't take its type %s from a "
                   "file name (%s)",
                   i, printable(e.type, 4).c_str(), join_path(dir, p.name).c_str()));
      }
    } else {
      p.name = unique_name(run, record_base(db, i));
      if (e.attributes != 0 || e.unique_id != i)
        notes->push_back(
            format("record %zu has attributes 0x%02x and unique ID %u; prcbuild "
                   "writes 0x00 and %zu",
                   i, e.attributes, e.unique_id, i));
    }
    if (e.size == 0) {
      p.command = false;
      notes->push_back(format("entry %zu is empty and left out: prcbuild refuses empty files", i));
    } else if (e.size > kPrcbuildReadLimit) {
      notes->push_back(format("entry %zu has %u bytes; prcbuild reads only the first %u of a file",
                              i, e.size, kPrcbuildReadLimit));
    }
    parts->push_back(p);
  }
}

// Lists one database and, with -x, extracts it. Returns what is wrong, or "".
std::string dump_file(Run* run, const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "can't open: " + error_text(errno);
  struct Closer {
    FILE* f;
    ~Closer() { fclose(f); }
  } closer{file};

  uint64_t size;
  if (!regular_file_size(file, &size)) return "not a regular file";
  // The header first, then as much more as its entry count calls for; a
  // count the file can't hold is refused before room is made for it.
  std::vector<uint8_t> start(size < kPalmHeaderSize ? size : kPalmHeaderSize);
  if (!read_at(file, 0, start.data(), start.size())) return "read error: " + error_text(errno);
  size_t need = palm_directory_size(start.data(), start.size());
  if (need > start.size() && need <= size) {
    start.resize(need);
    if (!read_at(file, 0, start.data(), need)) return "read error: " + error_text(errno);
  }
  PalmDatabase db;
  std::string problem = read_database(start.data(), start.size(), size, &db);
  if (!problem.empty()) return problem;

  std::vector<std::string> details(db.entries.size());
  std::vector<FoundFont> fonts;
  bool pictures = !run->png.path.empty() || !run->bdf.path.empty();
  for (size_t i = 0; i < db.entries.size(); ++i)
    details[i] = entry_detail(file, db, i, pictures ? &fonts : nullptr);

  std::vector<Part> parts;
  std::vector<std::string> notes;
  if (!run->extract.path.empty()) plan_parts(run, file, db, &parts, &notes);

  // Every font as a glyph sheet, and as BDF, named after its entry.
  std::vector<Part> sheets, bdfs;
  std::vector<std::string> rebuilds;
  PictureOptions options;
  for (const FoundFont& f : fonts) {
    const PalmEntry& e = db.entries[f.entry];
    bool escaped;
    std::string base = db.resources ? type_file_name(e.type, &escaped) + format("%04x", e.id)
                                    : record_base(db, f.entry);
    if (!run->bdf.path.empty()) {
      std::string name = printable(bytes_of(db.header.name),
                                   zero_terminated_length(bytes_of(db.header.name), 32));
      std::string command = db.resources && is_font_resource(db, e) ? format(" --id %04x", e.id)
                                                                    : "";
      command += format(" %d %d %s", f.font.rect_height, f.font.rect_height + f.font.leading,
                        run->charset.c_str());
      std::string paths[2];  // of the 72- and 144-dpi files
      for (size_t i = 0; i < f.font.images.size(); ++i) {
        int density = f.font.images[i].density;
        Part part;
        // A font of several densities names each: nfnt0080-72.bdf, nfnt0080-144.bdf.
        bool one = f.font.images.size() == 1;
        part.name = unique_name(run, one ? base : base + format("-%d", density), ".bdf");
        std::string text = encode_bdf(f.font, i, {name, run->code_page});
        part.bytes.assign(text.begin(), text.end());
        if ((density == 72 || density == 144) && paths[density / 144].empty())
          paths[density / 144] = " " + path_argument(join_path(run->bdf.path, part.name));
        bdfs.push_back(std::move(part));
      }
      // glyphsmith builds from the 72-dpi strike; a font without one has
      // no command.
      if (!paths[0].empty() && f.font.rect_height > 0)
        rebuilds.push_back("glyphsmith" + command + paths[0] + paths[1]);
    }
    if (run->png.path.empty()) continue;
    if (sheet_bytes(f.font, options) > (uint64_t{256} << 20))
      return format("entry %zu: the font's picture would be too large", f.entry);
    Part sheet;
    sheet.name = unique_name(run, base, ".png");
    sheet.bytes = encode_png(draw_glyph_sheet(f.font, options));
    if (sheet.bytes.empty()) return format("entry %zu: the font can't be drawn", f.entry);
    sheets.push_back(std::move(sheet));
  }
  fonts.clear();

  if (run->listed_any) fputc('\n', run->out);
  run->listed_any = true;
  print_listing(run->out, path, db, details);
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

}  // namespace

int run_prcdump(int argc, char** argv, FILE* out, FILE* err) {
  Run run{out, err, {}, {}, {}, 1252, "Western", false, {}, {}};
  std::vector<std::string> files;
  auto usage_error = [&](const std::string& message) {
    fprintf(err, "prcdump: %s\n%s", message.c_str(), kUsage);
    return 1;
  };
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      files.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "-h" || arg == "--help") {
      fputs(kUsage, out);
      return 0;
    } else if (arg == "--version") {
      fprintf(out, "prcdump %s\n", PRCDUMP_VERSION);
      return 0;
    } else if (arg == "--charset" || arg.rfind("--charset=", 0) == 0) {
      std::string name = arg.size() > 9 ? arg.substr(10) : i + 1 < argc ? argv[++i] : "";
      if (name.empty()) return usage_error("--charset needs a name");
      if (!bdf_find_charset(name, &run.code_page, &run.charset))
        return usage_error("unknown character set '" + name + "'");
    } else if (arg.rfind("-x", 0) == 0 || arg == "--png" || arg.rfind("--png=", 0) == 0 ||
               arg == "--bdf" || arg.rfind("--bdf=", 0) == 0) {
      bool long_option = arg.rfind("--", 0) == 0;
      std::string name = long_option ? arg.substr(0, 5) : "-x";
      std::string dir = arg.size() > name.size() ? arg.substr(name.size() + long_option)
                        : i + 1 < argc           ? argv[++i]
                                                 : "";
      Folder& folder = name == "--png" ? run.png : name == "--bdf" ? run.bdf : run.extract;
      if (dir.empty()) return usage_error(name + " needs a folder");
      if (!folder.path.empty()) return usage_error(name + " given twice");
      folder.path = dir;
    } else {
      return usage_error("unknown option " + arg);
    }
  }
  if (files.empty()) return usage_error("no FILE given");
  for (Folder* folder : {&run.extract, &run.png, &run.bdf}) {
    if (!folder->path.empty() && !make_folder(folder->path, &folder->created)) {
      fprintf(err, "prcdump: %s: %s\n", folder->path.c_str(), error_text(errno).c_str());
      for (Folder* made : {&run.extract, &run.png, &run.bdf})
        if (made->created) remove_folder(made->path);
      return 1;
    }
  }

  int status = 0;
  for (const std::string& file : files) {
    std::string problem = dump_file(&run, file);
    if (!problem.empty()) {
      fflush(out);
      fprintf(err, "prcdump: %s: %s\n", file.c_str(), problem.c_str());
      status = 1;
    }
  }
  // A folder made for nothing is not left behind.
  for (Folder* folder : {&run.extract, &run.png, &run.bdf})
    if (folder->created && !folder->used) remove_folder(folder->path);
  if (fflush(out) != 0 || ferror(out)) {
    fprintf(err, "prcdump: error writing the listing: %s\n", error_text(errno).c_str());
    return 1;
  }
  return status;
}
