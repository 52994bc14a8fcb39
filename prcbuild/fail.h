#pragma once

#include <cstdio>

#include "text.h"

// The one failure path, at the edge of the run: prints the formatted message
// and a newline on err (standard error) and returns 1, the status of a
// failed run.
int fail(FILE* err, const char* format, ...) BASE_PRINTF_FORMAT(2, 3);
