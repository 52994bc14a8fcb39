#pragma once

// How far a face name the user typed is from an installed family, for the
// "closest" hint when no family matches. Both rasterizers need it, over
// their own string types.

#include <algorithm>
#include <string>
#include <vector>

// Edits (insert, delete, replace a character) that turn one name into the
// other, characters compared after `fold` (letter case aside, say).
template <typename Char, typename Fold>
size_t name_distance(const std::basic_string<Char>& a, const std::basic_string<Char>& b, Fold fold) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t replaced = diagonal + (fold(a[i - 1]) == fold(b[j - 1]) ? 0 : 1);
      diagonal = row[j];
      row[j] = std::min({replaced, row[j] + 1, row[j - 1] + 1});
    }
  }
  return row[b.size()];
}
