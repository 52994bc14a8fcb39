#include "family_list.h"

#include "text.h"

bool family_matches(const std::string& name, const std::string& pattern) {
  return base::lower_ascii(name).find(base::lower_ascii(pattern)) != std::string::npos;
}

std::string family_lines(const FamilySizes& families, const std::string& pattern,
                         std::string* text) {
  if (families.empty())
    return pattern.empty() ? "no font families are installed"
                           : "no installed font family name holds '" + pattern + "'";
  for (const auto& [name, sizes] : families) {
    *text += name;
    if (!sizes.empty()) {
      *text += ":";
      for (int pixels : sizes) *text += " " + std::to_string(pixels);
      *text += " pixels";
    }
    *text += "\n";
  }
  return "";
}
