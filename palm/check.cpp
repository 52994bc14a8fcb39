#include "check.h"

#include <cstring>
#include <map>
#include <utility>

#include "bitmap_font.h"
#include "database.h"
#include "font_remap.h"
#include "text.h"

namespace palm {

using base::hex_text, base::printable, base::format;

namespace {

std::string bytes_text(const std::vector<uint8_t>& bytes) {
  std::string s;
  for (uint8_t b : bytes) s += (s.empty() ? "" : " ") + hex_text(b, 2);
  return s;
}

bool is_type(const PalmEntry& e, const char* type) {
  return memcmp(e.type, type, 4) == 0;
}

// What is wrong with a font resource's bytes, or "".
std::string font_problem(const PalmEntry& e, const std::vector<uint8_t>& bytes) {
  BitmapFont font;
  // The listing decodes to the same depth: both say the same of a font.
  std::string problem = decode_font(
      [&](uint64_t offset, void* buffer, size_t n) {
        memcpy(buffer, bytes.data() + offset, n);
        return true;
      },
      bytes.size(), FontDepth::tables, &font);
  if (!problem.empty())
    return problem.rfind("not a font", 0) == 0 ? problem : "not a font: " + problem;
  // Palm OS reads an 'NFNT' as a version 1 font and an 'nfnt' as version 2.
  bool v2 = is_font_v2(font);
  if (is_type(e, "NFNT") && v2) return "a version 2 font, but NFNT holds version 1";
  if (is_type(e, "nfnt") && !v2) return "a version 1 font, but nfnt holds version 2";
  return "";
}

std::string remap_problem(const std::vector<uint8_t>& bytes) {
  if (bytes.size() != kFontRemapSize)
    return std::to_string(bytes.size()) + " bytes, not the 4 of a font remap (40 00 and the font ID)";
  if (bytes[0] != '@' || bytes[1] != 0)
    return "bytes " + bytes_text(bytes) + ", not a font remap (40 00 and the font ID)";
  return "";
}

std::string too_big(uint32_t size) {
  return std::to_string(size) + " bytes, more than a Palm holds in one entry (" +
         std::to_string(kMaxEntrySize) + ")";
}

}  // namespace

std::string check_entry_name(const PalmDatabase& db, size_t entry) {
  if (entry >= db.entries.size()) return "";
  if (!db.resources) return "record " + std::to_string(entry);
  const PalmEntry& e = db.entries[entry];
  return format("entry %zu (%s 0x%04x)", entry, printable(e.type, 4).c_str(), e.id);
}

std::string check_database(const PalmDatabase& db, const ReadEntryBytes& read,
                           std::vector<CheckFinding>* findings) {
  std::map<std::pair<uint32_t, uint16_t>, size_t> first_of;
  for (size_t i = 0; i < db.entries.size(); ++i) {
    const PalmEntry& e = db.entries[i];
    auto add = [&](const std::string& what) { findings->push_back({i, what}); };
    if (e.size > kMaxEntrySize) add(too_big(e.size));
    if (!db.resources) continue;
    uint32_t type = uint32_t{e.type[0]} << 24 | uint32_t{e.type[1]} << 16 |
                    uint32_t{e.type[2]} << 8 | e.type[3];
    auto [at, added] = first_of.emplace(std::make_pair(type, e.id), i);
    // The handheld finds a resource by type and ID: the later one is never seen.
    if (!added) add("the same type and ID as entry " + std::to_string(at->second));
    bool font = is_font_resource_type(e.type);
    // One too big for a Palm is told so already, and is not read whole.
    if ((!font && !is_type(e, kFontRemapType)) || e.size > kMaxEntrySize) continue;
    std::vector<uint8_t> bytes;
    if (!read(e.offset, e.size, &bytes)) return "read error in " + check_entry_name(db, i);
    std::string problem = font ? font_problem(e, bytes) : remap_problem(bytes);
    if (!problem.empty()) add(problem);
  }
  if (db.entries.size() > kMaxEntries)
    findings->push_back({CheckFinding::kDatabase,
                         std::to_string(db.entries.size()) +
                             " entries, more than a Palm database holds (" +
                             std::to_string(kMaxEntries) + ")"});
  if (db.app_info.size > kMaxEntrySize)
    findings->push_back({CheckFinding::kDatabase, "AppInfo of " + too_big(db.app_info.size)});
  if (db.sort_info.size > kMaxEntrySize)
    findings->push_back({CheckFinding::kDatabase, "SortInfo of " + too_big(db.sort_info.size)});
  return "";
}

}  // namespace palm
