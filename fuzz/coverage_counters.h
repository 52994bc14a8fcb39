#pragma once

#include <cstddef>
#include <cstdint>

// The program's inline 8-bit coverage counters, the ones libFuzzer reads, or
// null when there are none. Kept in a source file of its own that is built
// without coverage: naming the linker's section bounds in an instrumented
// file makes the instrumentation lose its own reference to them.
uint8_t* coverage_counters(size_t* count);
