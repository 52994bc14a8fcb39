#include "fail.h"

#include <cstdarg>
#include <cstdio>

int fail(FILE* err, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(err, format, args);
  va_end(args);
  fputc('\n', err);
  return 1;
}
