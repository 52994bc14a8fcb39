// The output library's steps on Windows (output_platform.h), and what of
// output.h differs from POSIX systems.
#include "output.h"
#include "output_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace palm {

namespace {

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGBREAK};

// Windows runs a handler on a thread of its own, and can't block a signal:
// while the lists change or a group is committed, the handler only notes the
// signal, for the end of the hold to act on.
volatile LONG holds = 0;
volatile LONG held_signal = 0;
void (*cleanup_on_signal)() = nullptr;

void clean_up_and_die(int signal_number);

struct HoldSignals {
  HoldSignals() { InterlockedIncrement(&holds); }
  ~HoldSignals() {
    if (InterlockedDecrement(&holds) == 0) {
      LONG held = InterlockedExchange(&held_signal, 0);
      if (held) clean_up_and_die(static_cast<int>(held));
    }
  }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;
};

// The streams are still open when a handler runs, and an open file can't be
// deleted: close them first, as the process is ending anyway.
void clean_up_and_die(int signal_number) {
  _fcloseall();
  if (cleanup_on_signal) cleanup_on_signal();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void on_signal(int signal_number) {
  if (holds > 0) {
    InterlockedExchange(&held_signal, signal_number);
    signal(signal_number, on_signal);
    return;
  }
  clean_up_and_die(signal_number);
}

// errno's counterpart of the last Win32 error.
int last_error_code() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_INVALID_NAME:
      return EINVAL;
    default:
      return EIO;
  }
}

enum class Target { missing, disk_file, directory, read_only, device, unknown };

// What the path names now, looked at without opening it for writing.
Target probe(const char* path) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Target::missing : Target::unknown;
  }
  Target target = Target::device;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info)) {
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      target = Target::directory;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      target = Target::read_only;
    else
      target = Target::disk_file;
  }
  CloseHandle(h);
  return target;
}

// The folder part of path, for a temporary file beside it.
std::string folder_of(const std::string& path) {
  size_t end = path.find_last_of("\\/:");
  if (end == std::string::npos) return ".";
  // "C:name" lives in drive C's current folder, "\name" in the root.
  return path.substr(0, end + 1);
}

// A new, empty file in the folder of path, under a name no one has taken.
int make_temporary(const std::string& path, std::string* temp) {
  char name[MAX_PATH];
  if (!GetTempFileNameA(folder_of(path).c_str(), "prc", 0, name)) return last_error_code();
  *temp = name;
  return 0;
}

int result(BOOL done) {
  return done ? 0 : last_error_code();
}

}  // namespace

int look_at(const std::string& path, bool follow, PathKind* kind, std::string* target) {
  *target = path;
  switch (probe(path.c_str())) {
    case Target::directory:
      return EISDIR;
    case Target::read_only:
      return EACCES;  // a plain open for writing refuses it too
    case Target::missing:
      *kind = PathKind::missing;
      return 0;
    case Target::device:
      // NUL, CON, pipes: no file to replace.
      *kind = PathKind::device;
      return 0;
    case Target::unknown:
      // A file we may not look at: written directly, or replaced in a group.
      *kind = follow ? PathKind::device : PathKind::file;
      return 0;
    case Target::disk_file:
      break;
  }
  *kind = PathKind::file;
  return 0;
}

int open_temporary(const std::string& path, std::string* temp, FILE** stream) {
  std::string name;
  if (int code = make_temporary(path, &name)) return code;
  *stream = fopen(name.c_str(), "wb");
  if (!*stream) {
    int code = errno ? errno : EIO;
    DeleteFileA(name.c_str());
    return code;
  }
  *temp = name;
  return 0;
}

// With the attributes (hidden, archive, ...) of the file it replaces; they
// are set only now, as a hidden file can't be opened for writing by fopen.
// rename() won't replace an existing file on Windows.
int replace_file(const std::string& from, const std::string& to) {
  DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(from.c_str(), attributes);
  return result(MoveFileExA(from.c_str(), to.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

// The file itself is moved, under a new name beside it.
int put_aside(const std::string& path, std::string* backup) {
  std::string name;
  if (int code = make_temporary(path, &name)) return code;
  if (!MoveFileExA(path.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    int code = last_error_code();
    DeleteFileA(name.c_str());
    return code;
  }
  *backup = name;
  return 0;
}

int create_new(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error_code();
  CloseHandle(h);
  return 0;
}

int make_folder(const std::string& folder) {
  return result(CreateDirectoryA(folder.c_str(), nullptr));
}

int remove_file(const char* path) {
  return result(DeleteFileA(path));
}

int remove_folder(const char* folder) {
  return result(RemoveDirectoryA(folder));
}

bool path_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void run_with_signals_held(void (*body)(void*), void* context) {
  HoldSignals hold;
  body(context);
}

void catch_cleanup_signals(void (*cleanup)()) {
  cleanup_on_signal = cleanup;
  for (int s : kCleanupSignals) {
    // A signal the caller chose to ignore stays ignored.
    if (signal(s, on_signal) == SIG_IGN) signal(s, SIG_IGN);
  }
}

// Windows has neither file size limit signals nor SIGPIPE: a failed write
// already reports an error.
void output_ignore_write_signals() {}

bool reserved_file_name(const std::string& name) {
  // The device names, which Windows takes as the device whatever follows a
  // dot and with spaces before it: "nul.txt", "CON .bin".
  static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3",
                                         "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1",
                                         "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8",
                                         "LPT9", "CONIN$", "CONOUT$"};
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : kDevices)
    if (_stricmp(stem.c_str(), device) == 0) return true;
  return false;
}

CopyResult output_copy(FILE* to, FILE* from, uint64_t offset, size_t size) {
  if (_fseeki64(from, static_cast<__int64>(offset), SEEK_SET) != 0) return CopyResult::read_error;
  static unsigned char buffer[1 << 16];
  while (size > 0) {
    size_t got = fread(buffer, 1, size < sizeof buffer ? size : sizeof buffer, from);
    if (got == 0) return CopyResult::read_error;
    if (fwrite(buffer, 1, got, to) != got) return CopyResult::write_error;
    size -= got;
  }
  return CopyResult::ok;
}

}  // namespace palm
