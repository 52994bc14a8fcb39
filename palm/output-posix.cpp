#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "output.h"
#include "output_platform.h"
#include "signals-posix.h"

namespace {

void remove_temporaries_and_die(int signal_number) {
  int saved_errno = errno;
  for (size_t i = 0; i < temporaries.count; ++i) unlink(temporaries.names[i]);
  for (size_t i = new_folders.count; i-- > 0;) rmdir(new_folders.names[i]);
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

// Makes a temporary file beside path, first named after it, then shorter
// when that name is too long for the file system; listed for the signal
// handler unless it is only a name to be taken over.
int make_temporary(const std::string& path, std::string* temp, bool listed = true) {
  std::string folder = folder_of(path);
  std::string name = folder + "." + path.substr(folder.size()) + ".XXXXXX";
  HoldSignals hold;
  int fd = mkstemp(name.data());
  if (fd < 0 && errno == ENAMETOOLONG) {
    name = folder + ".tmp.XXXXXX";
    fd = mkstemp(name.data());
  }
  if (fd < 0) return -1;
  *temp = name;
  if (listed) remember(&temporaries, name);
  return fd;
}

}  // namespace

FileError output_open(OutputFile* out, const char* path) {
  out->stream = nullptr;
  out->path = path;
  out->temp_path.clear();
  if (!*path) return {ENOENT, path};
  struct stat st;
  bool exists = stat(path, &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe has no file to replace; a folder is refused here.
    out->stream = fopen(path, "wb");
    return out->stream ? FileError{} : errno_error(path);
  }
  if (exists) {
    // Through a symbolic link, the file it points to is the one replaced.
    char* real = realpath(path, nullptr);
    if (!real) return errno_error(path);
    out->path = real;
    free(real);
    // A file a plain open for writing would refuse is not replaced either.
    if (faccessat(AT_FDCWD, out->path.c_str(), W_OK, AT_EACCESS) != 0) return errno_error(path);
  } else if (errno != ENOENT) {
    return errno_error(path);
  } else if (!creation_target(path, &out->path)) {
    return {errno == ENOENT || errno == 0 ? EEXIST : errno, path};
  }

  int fd = make_temporary(out->path, &out->temp_path);
  if (fd < 0) return errno_error(path);
  mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();
  if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
    // Not ours to give away: the new file keeps our ownership, as a rewrite
    // by another user would.
  }
  out->stream = fdopen(fd, "wb");
  if (!out->stream || fchmod(fd, mode) != 0) {
    FileError error = errno_error(path);
    if (!out->stream) close(fd);
    output_discard(out);
    return error;
  }
  return {};
}

FileError group_stage(OutputGroup* group, const std::string& path) {
  struct stat st;
  bool exists = lstat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return {EISDIR, path};
  if (exists && S_ISREG(st.st_mode) &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
    return errno_error(path);
  GroupFile file{path, "", ""};
  int fd = make_temporary(path, &file.temp);
  if (fd < 0) return errno_error(path);
  // The mode of the file replaced, or the one a plain create would give.
  mode_t mode = exists && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : new_file_mode();
  group->files.push_back(file);
  group->stream = fdopen(fd, "wb");
  if (!group->stream || fchmod(fd, mode) != 0) {
    FileError error = errno_error(path);
    if (!group->stream) close(fd);
    return error;
  }
  return {};
}

void run_with_signals_held(void (*body)(void*), void* context) {
  HoldSignals hold;
  body(context);
}

FileError system_error(const std::string& path) {
  return errno_error(path);
}

bool path_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool make_folder(const std::string& folder) {
  return mkdir(folder.c_str(), 0777) == 0;
}

void remove_folder(const std::string& folder) {
  rmdir(folder.c_str());
}

bool remove_file(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool move_into_place(const std::string& temp, const std::string& path) {
  return rename(temp.c_str(), path.c_str()) == 0;
}

// A second link where the file system has them, so the path is never
// empty, else the file itself moved.
bool keep_aside(GroupFile* f) {
  std::string name;
  int fd = make_temporary(f->path, &name, false);
  if (fd < 0) return false;
  close(fd);
  unlink(name.c_str());
  if (link(f->path.c_str(), name.c_str()) != 0 && rename(f->path.c_str(), name.c_str()) != 0)
    return false;
  f->backup = name;
  return true;
}

bool put_back(const std::string& backup, const std::string& path) {
  return rename(backup.c_str(), path.c_str()) == 0;
}

// Where the file was moved aside rather than linked, it goes back; a second
// link is only let go.
void undo_keep_aside(const GroupFile& f) {
  if (f.backup.empty()) return;
  if (!path_exists(f.path))
    put_back(f.backup, f.path);
  else
    remove_file(f.backup);
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

bool reserved_file_name(const std::string&) {
  return false;
}

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
