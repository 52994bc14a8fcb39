#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "output.h"

namespace {

// The mode a plain fopen would give a new file: 0666 less the umask.
mode_t new_file_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool output_open(OutputFile* out, const char* path) {
  out->path = path;
  out->temp_path.clear();
  if (!*path) return false;
  // Through a symbolic link, the file it points to is the one replaced.
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path, nullptr)) {
      out->path = real;
      free(real);
    }
  }
  bool exists = stat(out->path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    out->stream = fopen(out->path.c_str(), "wb");
    return out->stream != nullptr;
  }

  size_t slash = out->path.rfind('/');
  std::string dir = slash == std::string::npos ? "" : out->path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? out->path : out->path.substr(slash + 1);
  std::string temp = dir + "." + base + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    // A file we may write in a folder we may not: rewrite it in place, as a
    // plain open would.
    out->stream = fopen(out->path.c_str(), "wb");
    return out->stream != nullptr;
  }
  out->temp_path = temp;
  mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();
  if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
    // Not ours to give away: the new file keeps our ownership, as a rewrite
    // by another user would.
  }
  out->stream = fdopen(fd, "wb");
  if (!out->stream || fchmod(fd, mode) != 0) {
    if (!out->stream) close(fd);
    output_discard(out);
    return false;
  }
  return true;
}

bool output_commit(OutputFile* out) {
  FILE* stream = out->stream;
  out->stream = nullptr;
  bool ok = fflush(stream) == 0 && !ferror(stream);
  ok = fclose(stream) == 0 && ok;
  if (ok && !out->temp_path.empty()) {
    ok = rename(out->temp_path.c_str(), out->path.c_str()) == 0;
    if (ok) out->temp_path.clear();
  }
  return ok;
}

void output_discard(OutputFile* out) {
  if (out->stream) fclose(out->stream);
  out->stream = nullptr;
  if (!out->temp_path.empty()) unlink(out->temp_path.c_str());
  out->temp_path.clear();
}

CopyResult output_copy(OutputFile* out, FILE* from, uint64_t offset, size_t size) {
  if (fflush(out->stream) != 0) return CopyResult::write_error;
  int in_fd = fileno(from), out_fd = fileno(out->stream);
  off_t position = static_cast<off_t>(offset);
  // The kernel copies between files without the bytes passing through here.
  while (size > 0) {
    ssize_t n = copy_file_range(in_fd, &position, out_fd, nullptr, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;  // not between these two: copy by hand below
    if (n == 0) return CopyResult::read_error;
    size -= static_cast<size_t>(n);
  }
  static unsigned char buffer[1 << 16];
  while (size > 0) {
    ssize_t n = pread(in_fd, buffer, size < sizeof buffer ? size : sizeof buffer, position);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return CopyResult::read_error;
    if (fwrite(buffer, 1, static_cast<size_t>(n), out->stream) != static_cast<size_t>(n))
      return CopyResult::write_error;
    position += n;
    size -= static_cast<size_t>(n);
  }
  return CopyResult::ok;
}

bool regular_file_size(FILE* file, uint64_t* size) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

size_t input_file_budget() {
  // Room for every entry's file, and some to spare for the output and stdio.
  constexpr rlim_t wanted = 8192;
  constexpr rlim_t spare = 64;
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < wanted && limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max < wanted ? limit.rlim_max : wanted;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur > spare ? static_cast<size_t>(limit.rlim_cur - spare) : 0;
}
