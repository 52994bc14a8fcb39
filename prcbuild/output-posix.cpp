#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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
