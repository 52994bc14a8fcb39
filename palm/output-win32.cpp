#include "output.h"
#include "output_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGBREAK};

// Windows runs a handler on a thread of its own, and can't block a signal:
// while the lists change or a group is committed, the handler only notes the
// signal, for the end of the hold to act on.
volatile LONG holds = 0;
volatile LONG held_signal = 0;

void remove_temporaries_and_die(int signal_number);

struct HoldSignals {
  HoldSignals() { InterlockedIncrement(&holds); }
  ~HoldSignals() {
    if (InterlockedDecrement(&holds) == 0) {
      LONG held = InterlockedExchange(&held_signal, 0);
      if (held) remove_temporaries_and_die(static_cast<int>(held));
    }
  }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;
};

// The streams are still open when a handler runs, and an open file can't be
// deleted: close them first, as the process is ending anyway.
void remove_temporaries_and_die(int signal_number) {
  _fcloseall();
  for (size_t i = 0; i < temporaries.count; ++i) DeleteFileA(temporaries.names[i]);
  for (size_t i = new_folders.count; i-- > 0;) RemoveDirectoryA(new_folders.names[i]);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void on_signal(int signal_number) {
  if (holds > 0) {
    InterlockedExchange(&held_signal, signal_number);
    signal(signal_number, on_signal);
    return;
  }
  remove_temporaries_and_die(signal_number);
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
bool make_temporary(const std::string& path, std::string* temp) {
  char name[MAX_PATH];
  if (!GetTempFileNameA(folder_of(path).c_str(), "prc", 0, name)) return false;
  *temp = name;
  return true;
}

}  // namespace

FileError output_open(OutputFile* out, const char* path) {
  out->stream = nullptr;
  out->path = path;
  out->temp_path.clear();
  if (!*path) return {ENOENT, path};
  switch (probe(path)) {
    case Target::directory:
      return {EISDIR, path};
    case Target::read_only:
      // A plain open for writing refuses it too.
      return {EACCES, path};
    case Target::device:
    case Target::unknown:
      // NUL, CON, pipes, or a file we may not look at: no file to replace.
      out->stream = fopen(path, "wb");
      return out->stream ? FileError{} : errno_error(path);
    case Target::missing:
    case Target::disk_file:
      break;
  }
  // Where no temporary file can be made beside it, an existing file is left
  // as it is rather than rewritten in place.
  HoldSignals hold;
  if (!make_temporary(out->path, &out->temp_path)) return system_error(path);
  remember(&temporaries, out->temp_path);
  out->stream = fopen(out->temp_path.c_str(), "wb");
  if (!out->stream) {
    FileError error = errno_error(path);
    output_discard(out);
    return error;
  }
  return {};
}

FileError group_stage(OutputGroup* group, const std::string& path) {
  switch (probe(path.c_str())) {
    case Target::directory:
      return {EISDIR, path};
    case Target::read_only:
      return {EACCES, path};
    case Target::device:
      return {EINVAL, path};  // no file can be put in a device's place
    default:
      break;
  }
  GroupFile file{path, "", ""};
  HoldSignals hold;
  if (!make_temporary(path, &file.temp)) return system_error(path);
  remember(&temporaries, file.temp);
  group->files.push_back(file);
  group->stream = fopen(file.temp.c_str(), "wb");
  return group->stream ? FileError{} : errno_error(path);
}

void run_with_signals_held(void (*body)(void*), void* context) {
  HoldSignals hold;
  body(context);
}

FileError system_error(const std::string& path) {
  return {last_error_code(), path};
}

bool path_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool make_folder(const std::string& folder) {
  return CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

void remove_folder(const std::string& folder) {
  RemoveDirectoryA(folder.c_str());
}

bool remove_file(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

// With the attributes (hidden, archive, ...) of the file it replaces; they
// are set only now, as a hidden file can't be opened for writing by fopen.
// rename() won't replace an existing file on Windows.
bool move_into_place(const std::string& temp, const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(temp.c_str(), attributes);
  return MoveFileExA(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The file itself is moved, under a new name beside it.
bool keep_aside(GroupFile* f) {
  std::string name;
  if (!make_temporary(f->path, &name)) return false;
  if (!MoveFileExA(f->path.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(name.c_str());
    return false;
  }
  f->backup = name;
  return true;
}

bool put_back(const std::string& backup, const std::string& path) {
  return MoveFileExA(backup.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void undo_keep_aside(const GroupFile& f) {
  if (!f.backup.empty()) put_back(f.backup, f.path);
}

void output_remove_temporaries_on_signals() {
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

bool read_at(FILE* file, uint64_t offset, void* buffer, size_t size) {
  if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
  if (fread(buffer, 1, size, file) == size) return true;
  if (!ferror(file)) errno = EIO;  // the file has become shorter
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

bool regular_file_size(FILE* file, uint64_t* size) {
  struct _stati64 st;
  if (_fstati64(_fileno(file), &st) != 0 || !(st.st_mode & _S_IFREG)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

size_t input_file_budget() {
  // The C runtime holds 512 streams unless asked for more.
  int most = _setmaxstdio(2048);
  if (most < 0) most = _getmaxstdio();
  return most > 64 ? static_cast<size_t>(most - 64) : 0;
}
