#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files.h"

namespace {

// The temporary files not yet in place, and the folders this run made. A
// signal handler may only use what is already in memory, so their names
// are kept here, process-wide.
char** temporaries = nullptr;
size_t temporary_count = 0;
char* made_folders[2];
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGBREAK};

void remember(const std::string& path) {
  char** grown = static_cast<char**>(realloc(temporaries, (temporary_count + 1) * sizeof(char*)));
  if (!grown) return;
  temporaries = grown;
  if (char* copy = _strdup(path.c_str())) temporaries[temporary_count++] = copy;
}

void forget(const std::string& path) {
  for (size_t i = 0; i < temporary_count; ++i)
    if (path == temporaries[i]) {
      free(temporaries[i]);
      temporaries[i] = temporaries[--temporary_count];
      return;
    }
}

// Windows runs the handler on a thread of its own while a file may still
// be open, and an open file can't be deleted: close them first, as the
// process is ending anyway.
void remove_temporaries_and_die(int signal_number) {
  _fcloseall();
  for (size_t i = 0; i < temporary_count; ++i) DeleteFileA(temporaries[i]);
  for (char* folder : made_folders)
    if (folder) RemoveDirectoryA(folder);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void remove_temporaries_on_signals() {
  // A signal the caller chose to ignore stays ignored.
  for (int s : kCleanupSignals)
    if (signal(s, remove_temporaries_and_die) == SIG_IGN) signal(s, SIG_IGN);
}

bool make_folder(const std::string& path, bool* created) {
  *created = _mkdir(path.c_str()) == 0;
  for (char*& slot : made_folders)
    if (*created && !slot) {
      slot = _strdup(path.c_str());
      break;
    }
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
    remember(candidate);
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

bool replace_file(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    errno = EACCES;
    return false;
  }
  forget(from);
  return true;
}

void remove_file(const std::string& path) {
  _unlink(path.c_str());
  forget(path);
}
