// Files that appear together or not at all: each is written to a temporary
// file beside its place, and all are put in place only once every one is
// complete. A failure removes the temporary files; so does a signal, once the
// program has called output_remove_temporaries_on_signals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PendingFile {
  std::string name;  // in the folder
  std::vector<uint8_t> bytes;
};

// Returns "" when all are in place, else what went wrong.
std::string write_files(const std::string& folder, const std::vector<PendingFile>& files);
