#include <iconv.h>

#include <string>

#include "code_pages.h"

namespace charsets {

namespace {

std::string iconv_name(int code_page) {
  switch (code_page) {
    case 10000:
      return "MACINTOSH";
    case 437:
      return "CP437";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    // glibc's CP874 is Windows' page (with the euro sign at 0x80), not TIS-620.
    default:
      if (code_page > 28590 && code_page <= 28606)
        return "ISO-8859-" + std::to_string(code_page - 28590);
      return "CP" + std::to_string(code_page);
  }
}

// One byte alone, from the converter's initial state.
uint32_t byte_as_unicode(iconv_t cd, uint8_t byte) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[16];
  char* in_p = in;
  char* out_p = reinterpret_cast<char*>(out);
  size_t in_left = 1, out_left = sizeof out;
  bool ok = iconv(cd, &in_p, &in_left, &out_p, &out_left) != static_cast<size_t>(-1);
  // Pages that compose letters with marks (1255, 1258) hold a letter back
  // until they see what follows; the flush gives it up.
  ok = ok && iconv(cd, nullptr, nullptr, &out_p, &out_left) != static_cast<size_t>(-1);
  if (!ok || sizeof out - out_left != 4) return 0;
  return uint32_t{out[0]} << 24 | uint32_t{out[1]} << 16 | uint32_t{out[2]} << 8 | out[3];
}

}  // namespace

CodePageTable code_page_table(int code_page) {
  CodePageTable table{};
  iconv_t cd = iconv_open("UTF-32BE", iconv_name(code_page).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return table;
  for (int b = 0; b < 256; ++b) table[size_t(b)] = byte_as_unicode(cd, static_cast<uint8_t>(b));
  iconv_close(cd);
  return table;
}

}  // namespace charsets
