// The output library's steps on POSIX systems (output_platform.h), and what
// of output.h differs from Windows.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "output.h"
#include "output_platform.h"
#include "signals-posix.h"

namespace palm {

namespace {

void (*cleanup_on_signal)() = nullptr;

void clean_up_and_die(int signal_number) {
  int saved_errno = errno;
  if (cleanup_on_signal) cleanup_on_signal();
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
bool creation_target(const std::string& path, std::string* target) {
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

int error_code() {
  return errno ? errno : EIO;
}

// A new, empty file beside path, first named after it, then shorter when
// that name is too long for the file system.
int make_temporary(const std::string& path, std::string* temp) {
  std::string folder = folder_of(path);
  std::string name = folder + "." + path.substr(folder.size()) + ".XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0 && errno == ENAMETOOLONG) {
    name = folder + ".tmp.XXXXXX";
    fd = mkstemp(name.data());
  }
  if (fd >= 0) *temp = name;
  return fd;
}

// A file a plain open for writing would refuse is not replaced either.
int writable(const std::string& path, int flags) {
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS | flags) == 0 ? 0 : error_code();
}

}  // namespace

int look_at(const std::string& path, bool follow, PathKind* kind, std::string* target) {
  *target = path;
  struct stat st;
  if ((follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) {
    if (errno != ENOENT) return error_code();
    *kind = PathKind::missing;
    if (!follow || creation_target(path, target)) return 0;
    return errno == ENOENT || errno == 0 ? EEXIST : errno;
  }
  if (S_ISDIR(st.st_mode)) return EISDIR;
  // Unfollowed, a link, a device or a pipe is replaced as a file is.
  *kind = S_ISREG(st.st_mode) || !follow ? PathKind::file : PathKind::device;
  if (!S_ISREG(st.st_mode)) return 0;
  if (follow) {
    // Through a symbolic link, the file it points to is the one replaced.
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return error_code();
    *target = real;
    free(real);
  }
  return writable(*target, follow ? 0 : AT_SYMLINK_NOFOLLOW);
}

int open_temporary(const std::string& path, std::string* temp, FILE** stream) {
  std::string name;
  int fd = make_temporary(path, &name);
  if (fd < 0) return error_code();
  // The mode of the file replaced, or the one a plain create would give.
  struct stat st;
  bool replaces = lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (replaces && fchown(fd, st.st_uid, st.st_gid) != 0) {
    // Not ours to give away: the new file keeps our ownership, as a rewrite
    // by another user would.
  }
  *stream = fchmod(fd, replaces ? st.st_mode & 07777 : new_file_mode()) == 0
                ? fdopen(fd, "wb")
                : nullptr;
  if (!*stream) {
    int code = error_code();
    close(fd);
    unlink(name.c_str());
    return code;
  }
  *temp = name;
  return 0;
}

int replace_file(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : error_code();
}

// A second link keeps the path whole throughout, but only for a file of our
// own: in a folder where others' files may only be replaced by their owners
// (the sticky bit), a link to someone else's file could be made and then
// neither removed nor moved. Moving the file itself asks the system whether
// it may be replaced at all.
int put_aside(const std::string& path, std::string* backup) {
  std::string name;
  int fd = make_temporary(path, &name);
  if (fd < 0) return error_code();
  close(fd);
  unlink(name.c_str());
  struct stat st;
  bool linked = lstat(path.c_str(), &st) == 0 && (st.st_uid == geteuid() || geteuid() == 0) &&
                link(path.c_str(), name.c_str()) == 0;
  if (!linked && rename(path.c_str(), name.c_str()) != 0) return error_code();
  *backup = name;
  return 0;
}

int create_new(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return error_code();
  close(fd);
  return 0;
}

int make_folder(const std::string& folder) {
  return mkdir(folder.c_str(), 0777) == 0 ? 0 : error_code();
}

int remove_file(const char* path) {
  return unlink(path) == 0 ? 0 : error_code();
}

int remove_folder(const char* folder) {
  return rmdir(folder) == 0 ? 0 : error_code();
}

bool path_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void run_with_signals_held(void (*body)(void*), void* context) {
  HoldSignals hold;
  body(context);
}

void catch_cleanup_signals(void (*cleanup)()) {
  cleanup_on_signal = cleanup;
  for (int s : kCleanupSignals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = clean_up_and_die;
    sigemptyset(&action.sa_mask);
    for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
    sigaction(s, &action, nullptr);
  }
}

void output_ignore_write_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

bool reserved_file_name(const std::string&) {
  return false;
}

CopyResult output_copy(FILE* to, FILE* from, uint64_t offset, size_t size) {
  if (fflush(to) != 0) return CopyResult::write_error;
  int in_fd = fileno(from), out_fd = fileno(to);
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
    if (fwrite(buffer, 1, static_cast<size_t>(n), to) != static_cast<size_t>(n))
      return CopyResult::write_error;
    position += n;
    size -= static_cast<size_t>(n);
  }
  return CopyResult::ok;
}

}  // namespace palm
