#include "fail.h"

#include <cstdarg>
#include <cstdio>

int fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fputc('\n', stderr);
  return 1;
}
