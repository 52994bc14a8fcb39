#include "iconv_byte.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>

uint32_t iconv_unicode(const char* page, uint8_t byte) {
  iconv_t cd = iconv_open("UTF-32LE", page);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "iconv has no code page %s\n", page);
    std::abort();
  }
  char in[1] = {static_cast<char>(byte)}, out[8];
  char *ip = in, *op = out;
  size_t il = 1, ol = sizeof out;
  bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) &&
            iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1) && ol == 4;
  iconv_close(cd);
  if (!ok) return 0;
  return static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
         static_cast<uint8_t>(out[2]) << 16;
}
