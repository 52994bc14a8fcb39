// What a bitmap font's header and tables tell without its bit images: enough
// to describe the font in a listing, read from the few bytes they take, so
// that an entry of any size is never read whole just to be described.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FontSummary {
  bool v2 = false;
  int first_char = 0;
  int last_char = 0;
  int present = 0;  // characters in first..last the font has
  int rect_height = 0;
  int ascent = 0;
  std::vector<int> densities;  // one per image, in the file's order
};

// Reads n bytes at offset from the start of the font; false when it can't.
using FontBytesReader = std::function<bool(uint64_t offset, void* buffer, size_t n)>;

// Summarises the font of `size` bytes that read gives: its header, a version
// 2 font's density records and the offset/width table, having checked as
// decode_font does that the tables and the images the header promises lie
// within the size. Returns "" or what is wrong in decode_font's words; a
// read that fails is "read error".
std::string summarize_font(const FontBytesReader& read, uint64_t size, FontSummary* summary);
