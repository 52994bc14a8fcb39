#pragma once

#include <cstdint>
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

enum class CopyResult { ok, read_error, write_error };

// Appends size bytes of from, starting at offset, to the output; a read
// error also covers a file that has become shorter than that.
CopyResult output_copy(OutputFile* out, FILE* from, uint64_t offset, size_t size);

// The size of an open regular file; false for anything else (a device, a
// pipe, a folder) or when it can't be told.
bool regular_file_size(FILE* file, uint64_t* size);

// How many input files may stay open until the database is written, after
// raising the process's limit where that is allowed.
size_t input_file_budget();
