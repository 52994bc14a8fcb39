#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "files.h"

bool read_at(FILE* file, uint64_t offset, void* buffer, size_t size) {
  if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
  if (fread(buffer, 1, size, file) == size) return true;
  if (!ferror(file)) errno = EIO;  // the file has become shorter
  return false;
}

bool make_folder(const std::string& path, bool* created) {
  *created = _mkdir(path.c_str()) == 0;
  if (*created) return true;
  int error = errno;
  struct _stat64 st;
  if (_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFDIR)) return true;
  errno = error == EEXIST ? ENOTDIR : error;
  return false;
}

void remove_folder(const std::string& path) {
  _rmdir(path.c_str());
}

FILE* create_temp_file(const std::string& folder, std::string* path) {
  // A name no one has taken, created exclusively: try a few.
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    char name[32];
    snprintf(name, sizeof name, "/.prcdump-%lu-%lu",
             static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long>((GetTickCount() + attempt * 7919u) % 1000000u));
    std::string candidate = folder + name;
    int fd =
        _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    FILE* file = _fdopen(fd, "wb");
    if (!file) {
      _close(fd);
      _unlink(candidate.c_str());
      return nullptr;
    }
    *path = candidate;
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

// A console's Ctrl+C ends the process from another thread, with no safe
// moment to remove files; the temporary files' names start with a dot.
void remove_temporaries_on_signals() {}

bool replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = EACCES;
  return false;
}

void remove_file(const std::string& path) {
  _unlink(path.c_str());
}
