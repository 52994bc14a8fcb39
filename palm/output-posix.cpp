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

// What a signal handler removes: the temporary files of outputs not yet
// committed, then the folders groups made for them. A handler may only use
// what is already in memory, so their names are copied here, process-wide,
// when they are made: the one piece of run state in this library. Signals
// that read the lists are held back while they change.
struct NameList {
  char** names = nullptr;
  size_t count = 0;
  size_t room = 0;
};
NameList temporaries, new_folders;

// Called with the signals held.
void remember(NameList* list, const std::string& path) {
  if (list->count == list->room) {
    size_t room = list->room ? list->room * 2 : 64;
    char** grown = static_cast<char**>(realloc(list->names, room * sizeof(char*)));
    if (!grown) return;
    list->names = grown;
    list->room = room;
  }
  if (char* copy = strdup(path.c_str())) list->names[list->count++] = copy;
}

void forget(NameList* list, const std::string& path) {
  for (size_t i = list->count; i-- > 0;)
    if (path == list->names[i]) {
      free(list->names[i]);
      list->names[i] = list->names[--list->count];
      return;
    }
}

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

void remove_temporary(std::string* temp) {
  HoldSignals hold;
  unlink(temp->c_str());
  forget(&temporaries, *temp);
  temp->clear();
}

FileError error_of(const std::string& path) {
  return {errno ? errno : EIO, path};
}

// Flushes and closes a stream, telling whether every write went through.
bool close_stream(FILE* stream) {
  bool ok = fflush(stream) == 0 && !ferror(stream);
  int error = errno;
  ok = fclose(stream) == 0 && ok;
  if (!ok && !errno) errno = error;
  return ok;
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
    return out->stream ? FileError{} : error_of(path);
  }
  if (exists) {
    // Through a symbolic link, the file it points to is the one replaced.
    char* real = realpath(path, nullptr);
    if (!real) return error_of(path);
    out->path = real;
    free(real);
    // A file a plain open for writing would refuse is not replaced either.
    if (faccessat(AT_FDCWD, out->path.c_str(), W_OK, AT_EACCESS) != 0) return error_of(path);
  } else if (errno != ENOENT) {
    return error_of(path);
  } else if (!creation_target(path, &out->path)) {
    return {errno == ENOENT || errno == 0 ? EEXIST : errno, path};
  }

  int fd = make_temporary(out->path, &out->temp_path);
  if (fd < 0) return error_of(path);
  mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();
  if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
    // Not ours to give away: the new file keeps our ownership, as a rewrite
    // by another user would.
  }
  out->stream = fdopen(fd, "wb");
  if (!out->stream || fchmod(fd, mode) != 0) {
    FileError error = error_of(path);
    if (!out->stream) close(fd);
    output_discard(out);
    return error;
  }
  return {};
}

FileError output_commit(OutputFile* out) {
  FILE* stream = out->stream;
  out->stream = nullptr;
  if (!close_stream(stream)) return error_of(out->path);
  if (out->temp_path.empty()) return {};
  HoldSignals hold;
  if (rename(out->temp_path.c_str(), out->path.c_str()) != 0) return error_of(out->path);
  forget(&temporaries, out->temp_path);
  out->temp_path.clear();
  return {};
}

void output_discard(OutputFile* out) {
  if (out->stream) fclose(out->stream);
  out->stream = nullptr;
  if (!out->temp_path.empty()) remove_temporary(&out->temp_path);
}

FileError group_folder(OutputGroup* group, const std::string& folder) {
  {
    HoldSignals hold;
    if (mkdir(folder.c_str(), 0777) == 0) {
      group->made_folders.push_back(folder);
      remember(&new_folders, folder);
      return {};
    }
  }
  int error = errno;
  struct stat st;
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {};
  return {error == EEXIST ? ENOTDIR : error, folder};
}

FileError group_stage(OutputGroup* group, const std::string& path) {
  struct stat st;
  bool exists = lstat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return {EISDIR, path};
  if (exists && S_ISREG(st.st_mode) &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
    return error_of(path);
  GroupFile file{path, "", ""};
  int fd = make_temporary(path, &file.temp);
  if (fd < 0) return error_of(path);
  // The mode of the file replaced, or the one a plain create would give.
  mode_t mode = exists && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : new_file_mode();
  group->files.push_back(file);
  group->stream = fdopen(fd, "wb");
  if (!group->stream || fchmod(fd, mode) != 0) {
    FileError error = error_of(path);
    if (!group->stream) close(fd);
    return error;
  }
  return {};
}

FileError group_staged(OutputGroup* group) {
  FILE* stream = group->stream;
  group->stream = nullptr;
  if (!stream || !close_stream(stream)) return error_of(group->files.back().path);
  return {};
}

namespace {

// Takes back what a commit did to files[0, done): each file replaced is put
// back, each file made is removed; the rest are still temporary.
void roll_back(OutputGroup* group, size_t done) {
  for (size_t i = done; i-- > 0;) {
    GroupFile& f = group->files[i];
    if (!f.backup.empty())
      rename(f.backup.c_str(), f.path.c_str());
    else
      unlink(f.path.c_str());
    f.backup.clear();
    forget(&temporaries, f.temp);  // its name is the file's now
    f.temp.clear();
  }
}

// Keeps the file at path under a new name beside it until the group is
// whole: a second link where the file system has them, so the path is never
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

}  // namespace

FileError group_commit(OutputGroup* group) {
  FileError error;
  if (group->stream) error = group_staged(group);
  {
    HoldSignals hold;
    size_t i = 0;
    for (; error.ok() && i < group->files.size(); ++i) {
      GroupFile& f = group->files[i];
      struct stat st;
      if ((lstat(f.path.c_str(), &st) == 0 && !keep_aside(&f)) ||
          rename(f.temp.c_str(), f.path.c_str()) != 0) {
        error = error_of(f.path);
        // Where the file was moved aside rather than linked, it goes back.
        if (!f.backup.empty() && lstat(f.path.c_str(), &st) != 0)
          rename(f.backup.c_str(), f.path.c_str());
        else if (!f.backup.empty())
          unlink(f.backup.c_str());
        f.backup.clear();
        break;
      }
    }
    if (!error.ok()) {
      roll_back(group, i);
    } else {
      for (GroupFile& f : group->files) {
        if (!f.backup.empty()) unlink(f.backup.c_str());
        forget(&temporaries, f.temp);
      }
      for (const std::string& folder : group->made_folders) forget(&new_folders, folder);
      group->made_folders.clear();
      group->files.clear();
    }
  }
  if (!error.ok()) group_discard(group);
  return error;
}

void group_discard(OutputGroup* group) {
  if (group->stream) fclose(group->stream);
  group->stream = nullptr;
  HoldSignals hold;
  for (GroupFile& f : group->files)
    if (!f.temp.empty()) remove_temporary(&f.temp);
  group->files.clear();
  for (size_t i = group->made_folders.size(); i-- > 0;) {
    rmdir(group->made_folders[i].c_str());
    forget(&new_folders, group->made_folders[i]);
  }
  group->made_folders.clear();
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

FileError standard_output_status() {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) return error_of("standard output");
  return {};
}

bool reserved_file_name(const std::string&) {
  return false;
}

std::string FileError::reason() const {
  return strerror(code);
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
