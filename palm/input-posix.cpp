#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "input.h"

namespace palm {

bool read_at(FILE* file, uint64_t offset, void* buffer, size_t size) {
  char* p = static_cast<char*>(buffer);
  while (size > 0) {
    ssize_t n = pread(fileno(file), p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // the file has become shorter
      return false;
    }
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool regular_file_size(FILE* file, uint64_t* size) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

namespace {

// Descriptors open now, inherited ones included.
size_t descriptors_in_use(rlim_t limit) {
  if (DIR* listing = opendir("/proc/self/fd")) {
    size_t n = 0;
    while (dirent* e = readdir(listing))
      if (e->d_name[0] != '.') ++n;
    closedir(listing);
    return n > 0 ? n - 1 : 0;  // less the listing's own
  }
  size_t n = 0;
  for (rlim_t fd = 0; fd < limit && fd < 65536; ++fd)
    if (fcntl(static_cast<int>(fd), F_GETFD) != -1) ++n;
  return n;
}

}  // namespace

size_t input_file_budget() {
  // Room for every entry's file, and some to spare for the output and stdio.
  constexpr rlim_t wanted = 8192;
  constexpr size_t spare = 32;
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < wanted && limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max < wanted ? limit.rlim_max : wanted;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  size_t cap = limit.rlim_cur > 1u << 20 ? 1u << 20 : static_cast<size_t>(limit.rlim_cur);
  size_t used = descriptors_in_use(limit.rlim_cur) + spare;
  return cap > used ? cap - used : 0;
}

}  // namespace palm
