#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "input.h"

namespace palm {

bool read_at(FILE* file, uint64_t offset, void* buffer, size_t size) {
  if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
  if (fread(buffer, 1, size, file) == size) return true;
  if (!ferror(file)) errno = EIO;  // the file has become shorter
  return false;
}

bool regular_file_size(FILE* file, uint64_t* size) {
  struct _stati64 st;
  if (_fstati64(_fileno(file), &st) != 0 || !(st.st_mode & _S_IFREG)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

size_t input_file_budget() {
  // The C runtime holds 512 streams unless asked for more.
  int most = _setmaxstdio(2048);
  if (most < 0) most = _getmaxstdio();
  return most > 64 ? static_cast<size_t>(most - 64) : 0;
}

}  // namespace palm
