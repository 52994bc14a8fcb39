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

// Whether names in the folder ignore letter case (Windows, FAT, macOS), so
// that NFNT0080.bin and nfnt0080.bin would be one file. Tried with a
// temporary file, removed at once; false when none can be made there, and
// the write then fails on its own.
bool folder_ignores_case(const std::string& folder);
