// Reading the files the programs are given, the same on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace palm {

// Reads exactly size bytes at offset; false on an error or a short file
// (errno EIO then).
bool read_at(FILE* file, uint64_t offset, void* buffer, size_t size);

// The size of an open regular file; false for anything else (a device, a
// pipe, a folder) or when it can't be told.
bool regular_file_size(FILE* file, uint64_t* size);

// How many more files the process may hold open at once and still open the
// output and a few others, after raising its limit where that is allowed.
// Counts the descriptors already in use, inherited ones included.
size_t input_file_budget();

}  // namespace palm
