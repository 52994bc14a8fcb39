#include "output.h"

#define WIN32_LEAN_AND_MEAN
#include <sys/stat.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The temporary files of outputs still open. A signal handler may only use
// what is already in memory, so their names are copied here, process-wide,
// when they are made: the one piece of run state in this library.
constexpr size_t kMaxTemporaries = 256;
char* temporaries[kMaxTemporaries];
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGBREAK};

void remember(const std::string& path) {
  for (char*& slot : temporaries)
    if (!slot) {
      slot = _strdup(path.c_str());
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

// Windows runs the handler on a thread of its own while the program's
// streams are still open, and an open file can't be deleted: close them
// first, as the process is ending anyway.
void remove_temporaries_and_die(int signal_number) {
  _fcloseall();
  for (char* path : temporaries)
    if (path) DeleteFileA(path);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
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

bool open_directly(OutputFile* out) {
  out->stream = fopen(out->path.c_str(), "wb");
  return out->stream != nullptr;
}

}  // namespace

bool output_open(OutputFile* out, const char* path) {
  out->path = path;
  out->temp_path.clear();
  if (!*path) return false;
  switch (probe(path)) {
    case Target::directory:
    case Target::read_only:
      // A plain open for writing refuses these too.
      return false;
    case Target::device:
    case Target::unknown:
      // NUL, CON, pipes, or a file we may not look at: no file to replace.
      return open_directly(out);
    case Target::missing:
    case Target::disk_file:
      break;
  }
  char temp[MAX_PATH];
  // Where no temporary file can be made beside it, an existing file is left
  // as it is rather than rewritten in place.
  if (!GetTempFileNameA(folder_of(out->path).c_str(), "prc", 0, temp)) return false;
  out->temp_path = temp;
  remember(out->temp_path);
  out->stream = fopen(temp, "wb");
  if (!out->stream) {
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
    // The replacement keeps the attributes (hidden, archive, ...) of the file
    // it replaces; they are set only now, as a hidden file can't be opened
    // for writing by fopen.
    DWORD attributes = GetFileAttributesA(out->path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
      SetFileAttributesA(out->temp_path.c_str(), attributes);
    // rename() won't replace an existing file on Windows.
    ok = MoveFileExA(out->temp_path.c_str(), out->path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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
  if (!out->temp_path.empty()) {
    DeleteFileA(out->temp_path.c_str());
    forget(out->temp_path);
  }
  out->temp_path.clear();
}

void output_remove_temporaries_on_signals() {
  for (int s : kCleanupSignals) {
    // A signal the caller chose to ignore stays ignored.
    if (signal(s, remove_temporaries_and_die) == SIG_IGN) signal(s, SIG_IGN);
  }
}

// Windows has neither file size limit signals nor SIGPIPE: a failed write
// already reports an error.
void output_ignore_write_signals() {}

CopyResult output_copy(OutputFile* out, FILE* from, uint64_t offset, size_t size) {
  if (_fseeki64(from, static_cast<__int64>(offset), SEEK_SET) != 0) return CopyResult::read_error;
  static unsigned char buffer[1 << 16];
  while (size > 0) {
    size_t got = fread(buffer, 1, size < sizeof buffer ? size : sizeof buffer, from);
    if (got == 0) return CopyResult::read_error;
    if (fwrite(buffer, 1, got, out->stream) != got) return CopyResult::write_error;
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
