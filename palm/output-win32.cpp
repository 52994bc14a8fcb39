#include "output.h"

#define WIN32_LEAN_AND_MEAN
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What a signal handler removes: the temporary files of outputs not yet
// committed, then the folders groups made for them. A handler may only use
// what is already in memory, so their names are copied here, process-wide,
// when they are made: the one piece of run state in this library.
struct NameList {
  char** names = nullptr;
  size_t count = 0;
  size_t room = 0;
};
NameList temporaries, new_folders;
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

void remember(NameList* list, const std::string& path) {
  if (list->count == list->room) {
    size_t room = list->room ? list->room * 2 : 64;
    char** grown = static_cast<char**>(realloc(list->names, room * sizeof(char*)));
    if (!grown) return;
    list->names = grown;
    list->room = room;
  }
  if (char* copy = _strdup(path.c_str())) list->names[list->count++] = copy;
}

void forget(NameList* list, const std::string& path) {
  for (size_t i = list->count; i-- > 0;)
    if (path == list->names[i]) {
      free(list->names[i]);
      list->names[i] = list->names[--list->count];
      return;
    }
}

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

FileError win32_error(const std::string& path) {
  return {last_error_code(), path};
}

FileError errno_error(const std::string& path) {
  return {errno ? errno : EIO, path};
}

bool close_stream(FILE* stream) {
  bool ok = fflush(stream) == 0 && !ferror(stream);
  int error = errno;
  ok = fclose(stream) == 0 && ok;
  if (!ok && !errno) errno = error;
  return ok;
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
  if (!make_temporary(out->path, &out->temp_path)) return win32_error(path);
  remember(&temporaries, out->temp_path);
  out->stream = fopen(out->temp_path.c_str(), "wb");
  if (!out->stream) {
    FileError error = errno_error(path);
    output_discard(out);
    return error;
  }
  return {};
}

namespace {

// Puts the file at temp in place of path, with the attributes (hidden,
// archive, ...) of the file it replaces; they are set only now, as a hidden
// file can't be opened for writing by fopen. rename() won't replace an
// existing file on Windows.
bool move_into_place(const std::string& temp, const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(temp.c_str(), attributes);
  return MoveFileExA(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

FileError output_commit(OutputFile* out) {
  FILE* stream = out->stream;
  out->stream = nullptr;
  if (!close_stream(stream)) return errno_error(out->path);
  if (out->temp_path.empty()) return {};
  HoldSignals hold;
  if (!move_into_place(out->temp_path, out->path)) return win32_error(out->path);
  forget(&temporaries, out->temp_path);
  out->temp_path.clear();
  return {};
}

void output_discard(OutputFile* out) {
  if (out->stream) fclose(out->stream);
  out->stream = nullptr;
  if (!out->temp_path.empty()) {
    HoldSignals hold;
    DeleteFileA(out->temp_path.c_str());
    forget(&temporaries, out->temp_path);
  }
  out->temp_path.clear();
}

FileError group_folder(OutputGroup* group, const std::string& folder) {
  {
    HoldSignals hold;
    if (CreateDirectoryA(folder.c_str(), nullptr)) {
      group->made_folders.push_back(folder);
      remember(&new_folders, folder);
      return {};
    }
  }
  FileError error = win32_error(folder);
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  if (error.code == EEXIST) error.code = ENOTDIR;
  return error;
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
  if (!make_temporary(path, &file.temp)) return win32_error(path);
  remember(&temporaries, file.temp);
  group->files.push_back(file);
  group->stream = fopen(file.temp.c_str(), "wb");
  return group->stream ? FileError{} : errno_error(path);
}

FileError group_staged(OutputGroup* group) {
  FILE* stream = group->stream;
  group->stream = nullptr;
  if (!stream || !close_stream(stream)) return errno_error(group->files.back().path);
  return {};
}

namespace {

void roll_back(OutputGroup* group, size_t done) {
  for (size_t i = done; i-- > 0;) {
    GroupFile& f = group->files[i];
    if (!f.backup.empty())
      MoveFileExA(f.backup.c_str(), f.path.c_str(), MOVEFILE_REPLACE_EXISTING);
    else
      DeleteFileA(f.path.c_str());
    f.backup.clear();
    forget(&temporaries, f.temp);  // its name is the file's now
    f.temp.clear();
  }
}

// Moves the file at path aside, under a new name beside it, until the group
// is whole.
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

}  // namespace

FileError group_commit(OutputGroup* group) {
  FileError error;
  if (group->stream) error = group_staged(group);
  {
    HoldSignals hold;
    size_t i = 0;
    for (; error.ok() && i < group->files.size(); ++i) {
      GroupFile& f = group->files[i];
      bool exists = GetFileAttributesA(f.path.c_str()) != INVALID_FILE_ATTRIBUTES;
      if ((exists && !keep_aside(&f)) || !move_into_place(f.temp, f.path)) {
        error = win32_error(f.path);
        if (!f.backup.empty())
          MoveFileExA(f.backup.c_str(), f.path.c_str(), MOVEFILE_REPLACE_EXISTING);
        f.backup.clear();
        break;
      }
    }
    if (!error.ok()) {
      roll_back(group, i);
    } else {
      for (GroupFile& f : group->files) {
        if (!f.backup.empty()) DeleteFileA(f.backup.c_str());
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
    if (!f.temp.empty()) {
      DeleteFileA(f.temp.c_str());
      forget(&temporaries, f.temp);
    }
  group->files.clear();
  for (size_t i = group->made_folders.size(); i-- > 0;) {
    RemoveDirectoryA(group->made_folders[i].c_str());
    forget(&new_folders, group->made_folders[i]);
  }
  group->made_folders.clear();
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

FileError standard_output_status() {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) return errno_error("standard output");
  return {};
}

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

std::string FileError::reason() const {
  return strerror(code);
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
