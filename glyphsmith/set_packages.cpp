#include "set_packages.h"

#include "database.h"
#include "font_remap.h"

using namespace palm;

namespace {

// The version and name resources the packages carry: "1.0" and the
// database's name, each NUL-terminated.
std::string add_package_resources(Database* db, const std::string& name) {
  static const char kVersion[] = "1.0";
  DatabaseError error = add_entry(db, "tver", 1, kVersion, sizeof kVersion);
  if (error.ok()) error = add_entry(db, "tAIN", 1000, name.c_str(), name.size() + 1);
  return error.ok() ? "" : "out of memory";
}

std::string package_image(Database* db, PendingFile* file) {
  DatabaseError error = database_image(db, &file->bytes);
  return error.ok() ? "" : "cannot lay out " + file->name;
}

}  // namespace

std::string font_package(const std::string& name, const std::vector<SetFont>& fonts,
                         PendingFile* file) {
  Database db;
  init_header(&db, name.c_str(), "Font", "PGwk");
  std::string error = add_package_resources(&db, name);
  for (const SetFont& f : fonts) {
    if (!error.empty()) break;
    bool ok = add_entry(&db, "NFNT", f.id, f.v1.data(), f.v1.size()).ok() &&
              add_entry(&db, "nfnt", f.id, f.v2.data(), f.v2.size()).ok();
    if (!ok) error = "out of memory";
  }
  return error.empty() ? package_image(&db, file) : error;
}

std::string remap_package(const std::string& name, const std::vector<SetFont>& fonts,
                          PendingFile* file) {
  Database db;
  init_header(&db, name.c_str(), kFontRemapType, "PGwk");
  std::string error = add_package_resources(&db, name);
  for (int hr = 0; hr < 2 && error.empty(); ++hr)
    for (const SetFont& f : fonts) {
      uint16_t palm = 0;
      lookup_font_id(hr ? f.role->hr_font : f.role->palm_font, &palm);
      unsigned char bytes[kFontRemapSize];
      font_remap_bytes(f.id, bytes);
      if (!add_entry(&db, kFontRemapType, palm, bytes, sizeof bytes).ok()) error = "out of memory";
    }
  return error.empty() ? package_image(&db, file) : error;
}
