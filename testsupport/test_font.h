// A tiny font drawn by hand, shared by the tests of palm/ and the programs:
// characters 'A'..'C' with 'B' missing, 4 rows at 72 dpi, and a 144-dpi image
// of its own design (not a doubling), so that a reader picking the wrong
// image shows.
#pragma once

#include <string>
#include <vector>

#include "bitmap_font.h"

// Rows of '#' (ink) and '.' packed into `row_words` words per row.
inline std::vector<uint8_t> pack_rows(const std::vector<std::string>& rows, int row_words) {
  std::vector<uint8_t> bits(rows.size() * row_words * 2);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      if (rows[y][x] == '#') bits[y * row_words * 2 + x / 8] |= 0x80 >> (x % 8);
  return bits;
}

// 'A', 'C' and the missing symbol side by side: columns 0-2, 3-4 and 5-7 at
// 72 dpi, 0-5, 6-9 and 10-15 at 144 dpi.
// clang-format off
inline const std::vector<std::string> kTinyRows72 = {
    ".#.#####",
    "#.##.#.#",
    "####.#.#",
    "#.######"};
inline const std::vector<std::string> kTinyRows144 = {
    "..##...#########",
    ".#..#.#...#....#",
    "#....##...#....#",
    "#....##...#....#",
    "#######...#....#",
    "#....##...#....#",
    "#....##...#....#",
    "#....#.#########"};
// clang-format on

inline palm::BitmapFont tiny_font(bool v2) {
  palm::BitmapFont f;
  f.font_type = v2 ? palm::kFontTypeV2 : palm::kFontTypeV1;
  f.first_char = 'A';
  f.last_char = 'C';
  f.max_width = 4;
  f.n_descent = -1;
  f.rect_width = 4;
  f.rect_height = 4;
  f.ascent = 3;
  f.descent = 1;
  f.leading = 1;
  f.row_words = 1;
  f.locations = {0, 3, 3, 5, 8};
  f.widths = {{0, 4}, {-1, -1}, {0, 3}, {0, 4}};
  f.images.push_back({72, 1, 4, pack_rows(kTinyRows72, 1)});
  if (v2) {
    f.version = 1;
    f.images.push_back({144, 2, 8, pack_rows(kTinyRows144, 2)});
  }
  f.ow_t_loc = font_ow_t_loc(f);
  return f;
}
