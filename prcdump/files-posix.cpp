#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files.h"

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

bool make_folder(const std::string& path, bool* created) {
  *created = mkdir(path.c_str(), 0777) == 0;
  if (*created) return true;
  int error = errno;
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  errno = error == EEXIST ? ENOTDIR : error;
  return false;
}

void remove_folder(const std::string& path) {
  rmdir(path.c_str());
}

FILE* create_temp_file(const std::string& folder, std::string* path) {
  std::string name = folder + "/.prcdump-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  // The mode a plain fopen would give, not mkstemp's private one.
  mode_t mask = umask(0);
  umask(mask);
  FILE* file = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
  if (!file) {
    int error = errno;
    close(fd);
    unlink(name.c_str());
    errno = error;
    return nullptr;
  }
  *path = name;
  return file;
}

bool replace_file(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

void remove_file(const std::string& path) {
  unlink(path.c_str());
}
