#pragma once

#include <cstdio>
#include <string>

// The database file while it is being written. Where the output is a regular
// file (or does not exist yet), the bytes go to a temporary file beside it
// that replaces it only once complete, so a failed run never leaves a
// truncated or half-written database behind. Devices and pipes are written
// directly.
struct OutputFile {
  FILE* stream = nullptr;
  std::string path;       // where the database ends up
  std::string temp_path;  // empty when writing straight to path
};

// Opens the stream; false when the output can't be created.
bool output_open(OutputFile* out, const char* path);

// Flushes and closes the stream, then puts the file in place; false when any
// of that fails, in which case output_discard is still to be called.
bool output_commit(OutputFile* out);

// Closes the stream if open and removes the temporary file.
void output_discard(OutputFile* out);
