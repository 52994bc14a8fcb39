// The two databases of a replacement set, as prcbuild's writer lays them
// out: the fonts, and the remap resources that show them in place of the
// Palm's own. Both carry the version and name resources a package has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "write_files.h"

// One of the four fonts: the Palm fonts it stands in for at 72 and 144 dpi.
struct SetRole {
  const char* name;
  bool bold;
  bool large;
  const char* palm_font;  // names from font_remap's table
  const char* hr_font;
};

inline constexpr SetRole kRoles[4] = {
    {"std", false, false, "stdFont", "hrStdFont"},
    {"bold", true, false, "boldFont", "hrBoldFont"},
    {"large", false, true, "largeFont", "hrLargeFont"},
    {"largeBold", true, true, "largeBoldFont", "hrLargeBoldFont"},
};

// One built font of the set.
struct SetFont {
  const SetRole* role = nullptr;
  double size = 0;
  int weight = 400;
  uint16_t id = 0;
  int height = 0;      // 72-dpi pixels
  std::string family;  // as the platform opened it
  std::vector<uint8_t> v1, v2;
};

// The fonts' NFNT and nfnt resources, in the order of `fonts`, into
// file->bytes. Returns "" or why not.
std::string font_package(const std::string& name, const std::vector<SetFont>& fonts,
                         PendingFile* file);

// Rmap entries in ID order: the four 72-dpi fonts, then the four hr ones.
std::string remap_package(const std::string& name, const std::vector<SetFont>& fonts,
                          PendingFile* file);
