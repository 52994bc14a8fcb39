#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files.h"
#include "signals-posix.h"

namespace {

// The temporary files not yet in place. A signal handler may only use what
// is already in memory, so their names are kept here, process-wide, and
// the signals that read the list are held back while it changes.
char** temporaries = nullptr;
size_t temporary_count = 0;
// Folders this run made, taken away too when still empty.
char* made_folders[2];

void remember(const std::string& path) {
  HoldSignals hold;
  char** grown = static_cast<char**>(realloc(temporaries, (temporary_count + 1) * sizeof(char*)));
  if (!grown) return;
  temporaries = grown;
  if (char* copy = strdup(path.c_str())) temporaries[temporary_count++] = copy;
}

void forget(const std::string& path) {
  HoldSignals hold;
  for (size_t i = 0; i < temporary_count; ++i)
    if (path == temporaries[i]) {
      free(temporaries[i]);
      temporaries[i] = temporaries[--temporary_count];
      return;
    }
}

void remove_temporaries_and_die(int signal_number) {
  for (size_t i = 0; i < temporary_count; ++i) unlink(temporaries[i]);
  for (char* folder : made_folders)
    if (folder) rmdir(folder);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void remove_temporaries_on_signals() {
  for (int s : kCleanupSignals) {
    struct sigaction action = {};
    sigaction(s, nullptr, &action);
    if (action.sa_handler == SIG_IGN) continue;  // ignored by whoever started us: stays so
    action.sa_handler = remove_temporaries_and_die;
    sigemptyset(&action.sa_mask);
    for (int t : kCleanupSignals) sigaddset(&action.sa_mask, t);
    action.sa_flags = 0;
    sigaction(s, &action, nullptr);
  }
}

bool make_folder(const std::string& path, bool* created) {
  {
    HoldSignals hold;
    *created = mkdir(path.c_str(), 0777) == 0;
    for (char*& slot : made_folders)
      if (*created && !slot) {
        slot = strdup(path.c_str());
        break;
      }
  }
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
  int fd;
  {
    // Made and listed at once, so that no signal comes between.
    HoldSignals hold;
    fd = mkstemp(name.data());
    if (fd >= 0) remember(name);
  }
  if (fd < 0) return nullptr;
  // The mode a plain fopen would give, not mkstemp's private one.
  mode_t mask = umask(0);
  umask(mask);
  FILE* file = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
  if (!file) {
    int error = errno;
    close(fd);
    unlink(name.c_str());
    forget(name);
    errno = error;
    return nullptr;
  }
  *path = name;
  return file;
}

bool replace_file(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  forget(from);
  return true;
}

void remove_file(const std::string& path) {
  unlink(path.c_str());
  forget(path);
}
