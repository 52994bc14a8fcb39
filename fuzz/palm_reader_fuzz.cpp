// read_database and decode_font over any bytes. Besides the sanitizers, a
// database that is accepted must be consistent: every entry inside the file,
// each one ending where the next begins, the last at the file's end; and
// reading only the leading bytes the reader asks for must give the same
// answer as reading the whole file. Every entry of an accepted database, and
// the input itself, then go through the font decoder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bitmap_font.h"
#include "reader.h"

using namespace palm;

namespace {

[[noreturn]] void finding(const std::string& what) {
  fprintf(stderr, "\n==== palm_reader finding: %s\n", what.c_str());
  abort();
}

std::string summary(const PalmDatabase& db) {
  std::string s = std::to_string(db.app_info.offset) + "+" + std::to_string(db.app_info.size) +
                  " " + std::to_string(db.sort_info.offset) + "+" +
                  std::to_string(db.sort_info.size);
  for (const PalmEntry& e : db.entries)
    s += " " + std::to_string(e.offset) + "+" + std::to_string(e.size);
  return s;
}

void check(const PalmDatabase& db, size_t size) {
  for (const PalmEntry& e : db.entries) {
    if (e.offset < db.directory_end) finding("entry inside the entry list");
    if (uint64_t{e.offset} + e.size > size) finding("entry past the end of the file");
  }
  for (size_t i = 0; i + 1 < db.entries.size(); ++i)
    if (db.entries[i].offset + db.entries[i].size != db.entries[i + 1].offset)
      finding("entry does not end where the next begins");
  if (!db.entries.empty() && db.entries.back().offset + db.entries.back().size != size)
    finding("last entry does not end at the end of the file");
  if (db.app_info.offset && uint64_t{db.app_info.offset} + db.app_info.size > size)
    finding("AppInfo past the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PalmDatabase whole;
  std::string error = read_database(data, size, size, &whole);
  size_t need = palm_directory_size(data, size);
  if (need <= size) {
    PalmDatabase head;
    std::string head_error = read_database(data, need, size, &head);
    if (head_error != error)
      finding("the leading bytes give \"" + head_error + "\", the whole file \"" + error + "\"");
    if (error.empty() && summary(head) != summary(whole))
      finding("the leading bytes read differently");
  }
  if (error.empty()) {
    check(whole, size);
    for (const PalmEntry& e : whole.entries) {
      BitmapFont font;
      decode_font(data + e.offset, e.size, &font);
    }
  }
  BitmapFont font;
  if (decode_font(data, size, &font).empty()) {
    for (const FontImage& image : font.images)
      for (int c = font.first_char; c <= font.last_char + 1; ++c) glyph_columns(font, image, c);
  }
  return 0;
}
