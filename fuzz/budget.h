// A run's resource budget, part of the targets' oracle: one input may take
// a fixed time and produce a fixed number of bytes per input byte (over a
// floor for the smallest inputs); memory is held by libFuzzer's
// -malloc_limit_mb and -rss_limit_mb, which fuzz/run.sh sets.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

struct FuzzBudget {
  const char* target;
  double seconds;          // per input
  size_t bytes_per_byte;   // output per input byte
  size_t floor_bytes;      // allowed whatever the input's size
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

[[noreturn]] inline void fuzz_finding(const char* target, const std::string& what) {
  std::fprintf(stderr, "\n==== %s finding: %s\n", target, what.c_str());
  std::abort();
}

// Fails the input when it has taken longer, or made more, than the budget.
inline void check_budget(const FuzzBudget& b, size_t input_bytes, size_t output_bytes) {
  double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - b.start).count();
  if (took > b.seconds)
    fuzz_finding(b.target, "took " + std::to_string(took) + " s, over the budget of " +
                               std::to_string(b.seconds) + " s");
  if (output_bytes > b.floor_bytes + b.bytes_per_byte * input_bytes)
    fuzz_finding(b.target, std::to_string(output_bytes) + " bytes made from " +
                               std::to_string(input_bytes) + ", over the budget");
}
