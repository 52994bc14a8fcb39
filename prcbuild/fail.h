#pragma once

// The one failure path: prints the formatted message and a newline on
// standard error and ends the process with status 1.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
