#pragma once

// The one failure path, at the edge of the run: prints the formatted message
// and a newline on standard error and returns 1, the status of a failed run.
int fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
