// A file being written, which appears complete or not at all. Where the
// target is a regular file (or does not exist yet) the bytes go to a
// temporary file beside it that replaces it only on commit, so a failed or
// interrupted run never leaves a truncated or half-written file behind, and
// an existing file is never rewritten in place. Devices and pipes are written
// directly. Any kind of file: a program may hold several open and commit them
// one after the other.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct OutputFile {
  FILE* stream = nullptr;
  std::string path;       // where the file ends up (a symbolic link's target)
  std::string temp_path;  // empty when writing straight to path
};

// Opens the stream; false when the file can't be created or replaced: a
// folder, a missing folder, a read-only file, or no temporary file can be
// made beside it (an existing file is then left as it is).
bool output_open(OutputFile* out, const char* path);

// Flushes and closes the stream, then puts the file in place; false when any
// of that fails, in which case output_discard is still to be called.
bool output_commit(OutputFile* out);

// Closes the stream if open and removes the temporary file.
void output_discard(OutputFile* out);

// For a program to call once at its start: an interrupt, termination or
// hangup removes the temporary files of outputs still open, then ends the
// process as the signal would have.
void output_remove_temporaries_on_signals();

// For a program to call once at its start: a file size limit or a pipe whose
// reader has gone makes a write fail, for the program to report, instead of
// killing the process without a word.
void output_ignore_write_signals();

enum class CopyResult { ok, read_error, write_error };

// Appends size bytes of from, starting at offset, to the output; a read
// error also covers a file that has become shorter than that.
CopyResult output_copy(OutputFile* out, FILE* from, uint64_t offset, size_t size);

// The size of an open regular file; false for anything else (a device, a
// pipe, a folder) or when it can't be told.
bool regular_file_size(FILE* file, uint64_t* size);

// How many more files the process may hold open at once and still open the
// output and a few others, after raising its limit where that is allowed.
// Counts the descriptors already in use, inherited ones included.
size_t input_file_budget();
