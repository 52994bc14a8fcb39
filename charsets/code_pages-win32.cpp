#include <windows.h>

#include "code_pages.h"

namespace charsets {

CodePageTable code_page_table(int code_page) {
  CodePageTable table{};
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    wchar_t out[2] = {};
    if (MultiByteToWideChar(static_cast<UINT>(code_page), MB_ERR_INVALID_CHARS, &in, 1, out, 2) !=
        1)
      continue;
    // Windows gives the pages' unassigned bytes as C1 controls or private-use
    // characters rather than as errors: neither is a character to draw.
    if ((out[0] >= 0x80 && out[0] <= 0x9F) || (out[0] >= 0xE000 && out[0] <= 0xF8FF)) continue;
    table[size_t(b)] = out[0];
  }
  return table;
}

}  // namespace charsets
