// Families as fontconfig lists them.
#include <fontconfig/fontconfig.h>

#include <cmath>

#include "family_list.h"
#include "rasterizer.h"

std::string list_families(const std::string& pattern, std::string* text) {
  FcConfig* config = FcConfigGetCurrent();
  if (!config) return "cannot read the font configuration";
  FcPattern* all = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_OUTLINE, FC_PIXEL_SIZE, nullptr);
  FcFontSet* set = FcFontList(config, all, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(all);
  FamilySizes families;
  std::set<std::string> outline;
  for (int i = 0; set && i < set->nfont; ++i) {
    FcChar8* name = nullptr;
    // The first name is the one fontconfig reports: another may be local.
    if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) != FcResultMatch) continue;
    std::string family = reinterpret_cast<const char*>(name);
    if (!family_matches(family, pattern)) continue;
    std::set<int>& sizes = families[family];
    FcBool scalable = FcFalse;
    double pixels = 0;
    if (FcPatternGetBool(set->fonts[i], FC_OUTLINE, 0, &scalable) == FcResultMatch && scalable)
      outline.insert(family);
    for (int n = 0; FcPatternGetDouble(set->fonts[i], FC_PIXEL_SIZE, n, &pixels) == FcResultMatch;
         ++n)
      sizes.insert(static_cast<int>(std::lround(pixels)));
  }
  if (set) FcFontSetDestroy(set);
  // A family with an outline is drawn at any size.
  for (const std::string& family : outline) families[family].clear();
  return family_lines(families, pattern, text);
}
