#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "output.h"
#include "signals-posix.h"

namespace {

// The temporary files of outputs still open. A signal handler may only use
// what is already in memory, so their names are copied here, process-wide,
// when they are made: the one piece of run state in this library. Signals
// that read the list are held back while it changes.
constexpr size_t kMaxTemporaries = 256;
char* temporaries[kMaxTemporaries];

// Called with the signals held.
void remember(const std::string& path) {
  for (char*& slot : temporaries)
    if (!slot) {
      slot = strdup(path.c_str());
      return;
    }
}

void forget(const std::string& path) {
  for (char*& slot : temporaries)
    if (slot && path == slot) {
      free(slot);
      slot = nullptr;
      return;
    }
}

void remove_temporaries_and_die(int signal_number) {
  int saved_errno = errno;
  for (char* path : temporaries)
    if (path) unlink(path);
  struct sigaction plain = {};
  plain.sa_handler = SIG_DFL;
  sigaction(signal_number, &plain, nullptr);
  // Delivered, now with its usual effect, as soon as the handler returns.
  raise(signal_number);
  errno = saved_errno;
}

// The mode a plain fopen would give a new file: 0666 less the umask.
mode_t new_file_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file a missing path would be created as, following symbolic links
// that point nowhere (yet), as a plain create does; false where a create
// would fail too.
bool creation_target(const char* path, std::string* target) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0) {
      *target = current;
      return errno == ENOENT;
    }
    if (!S_ISLNK(st.st_mode)) return false;  // it came into being meanwhile
    std::string link(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096, '\0');
    ssize_t n = readlink(current.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return false;
    link.resize(static_cast<size_t>(n));
    current = link[0] == '/' ? link : folder_of(current) + link;
  }
  return false;
}

// Makes the temporary file beside out->path, first named after it, then
// shorter when that name is too long for the file system.
int make_temporary(OutputFile* out) {
  std::string folder = folder_of(out->path);
  std::string temp = folder + "." + out->path.substr(folder.size()) + ".XXXXXX";
  HoldSignals hold;
  int fd = mkstemp(temp.data());
  if (fd < 0 && errno == ENAMETOOLONG) {
    temp = folder + ".tmp.XXXXXX";
    fd = mkstemp(temp.data());
  }
  if (fd < 0) return -1;
  out->temp_path = temp;
  remember(temp);
  return fd;
}

void remove_temporary(OutputFile* out) {
  HoldSignals hold;
  unlink(out->temp_path.c_str());
  forget(out->temp_path);
  out->temp_path.clear();
}

}  // namespace

bool output_open(OutputFile* out, const char* path) {
  out->stream = nullptr;
  out->path = path;
  out->temp_path.clear();
  if (!*path) return false;
  struct stat st;
  bool exists = stat(path, &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe has no file to replace; a folder is refused here.
    out->stream = fopen(path, "wb");
    return out->stream != nullptr;
  }
  if (exists) {
    // Through a symbolic link, the file it points to is the one replaced.
    char* real = realpath(path, nullptr);
    if (!real) return false;
    out->path = real;
    free(real);
    // A file a plain open for writing would refuse is not replaced either.
    if (faccessat(AT_FDCWD, out->path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  } else if (errno != ENOENT || !creation_target(path, &out->path)) {
    return false;
  }

  int fd = make_temporary(out);
  if (fd < 0) return false;
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
    HoldSignals hold;
    ok = rename(out->temp_path.c_str(), out->path.c_str()) == 0;
    if (ok) {
      forget(out->temp_path);
      out->temp_path.clear();
    }
  }
  return ok;
}

void output_discard(OutputFile* out) {
  if (out->stream) fclose(out->stream);
  out->stream = nullptr;
  if (!out->temp_path.empty()) remove_temporary(out);
}

void output_remove_temporaries_on_signals() {
  for (int s : kCleanupSignals) {
    struct sigaction old;
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = remove_temporaries_and_die;
    sigemptyset(&action.sa_mask);
    for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
    sigaction(s, &action, nullptr);
  }
}

void output_ignore_write_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

CopyResult output_copy(OutputFile* out, FILE* from, uint64_t offset, size_t size) {
  if (fflush(out->stream) != 0) return CopyResult::write_error;
  int in_fd = fileno(from), out_fd = fileno(out->stream);
  off_t position = static_cast<off_t>(offset);
  // The kernel copies between files without the bytes passing through here.
  while (size > 0) {
    ssize_t n = copy_file_range(in_fd, &position, out_fd, nullptr, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;  // not between these two, or failing: by hand below says which
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
