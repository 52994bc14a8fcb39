#include "layout.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace palm {

const char kHeaderLayout[] = "B32WWD6B8DDW";
const char kResourceLayout[] = "B4WWW";
const char kRecordLayout[] = "DB4";

size_t pack_fields(void* record, const char* layout, bool swap, LayoutError* error) {
  unsigned char* start = static_cast<unsigned char*>(record);
  unsigned char* cursor = start;
  const char* p = layout;
  while (*p) {
    char letter = *p++;
    unsigned long count = 1;
    if (isdigit(static_cast<unsigned char>(*p))) {
      char* end;
      count = strtoul(p, &end, 10);
      p = end;
    }
    for (unsigned long i = 0; i < count; ++i) {
      switch (letter) {
        case 'B':
          cursor += 1;
          break;
        case 'W':
          if (swap) std::swap(cursor[0], cursor[1]);
          cursor += 2;
          break;
        case 'D':
          if (swap) {
            std::swap(cursor[0], cursor[3]);
            std::swap(cursor[1], cursor[2]);
          }
          cursor += 4;
          break;
        default:
          error->letter = letter;
          return static_cast<size_t>(cursor - start);
      }
    }
  }
  return static_cast<size_t>(cursor - start);
}

}  // namespace palm
