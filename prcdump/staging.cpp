#include "staging.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "messages.h"
#include "text.h"

using namespace palm;

using base::format, base::lower_ascii, base::shell_word;

std::string error_text(int error) {
  return error ? strerror(error) : "unknown error";
}

std::string shown(const std::string& text) {
  std::string s;
  for (unsigned char c : text)
    s += c < 0x20 || c == 0x7f || c == '\\' ? format("\\x%02x", c) : std::string(1, char(c));
  return s;
}

// prcbuild and glyphsmith would take an argument that starts with '-' for an
// option.
std::string path_argument(const std::string& path) {
  return shell_word(!path.empty() && path[0] == '-' ? "./" + path : path);
}

std::string join_path(const std::string& dir, const std::string& name) {
#ifdef _WIN32
  if (!dir.empty() && dir.back() == '\\') return dir + name;
#endif
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string unique_name(FileNames* names, const std::string& base, const char* extension) {
  std::string name = base + extension;
  if (names->used.insert(lower_ascii(name)).second) return name;
  // Another base may have taken base-N already (a density's file, say): the
  // set still has the last word.
  unsigned& n = names->next.try_emplace(lower_ascii(base + extension), 2).first->second;
  do name = base + "-" + std::to_string(n++) + extension;
  while (!names->used.insert(lower_ascii(name)).second);
  return name;
}

bool file_identity(const std::string& path, bool follow, FileIdentity* id) {
#ifdef _WIN32
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!known) return false;
  *id = {info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
  return true;
#else
  struct stat st;
  if ((follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return false;
  *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
#endif
}

std::string write_error(const FileError& error) {
  return base::write_failure(shown(error.path), error.reason());
}

std::string commit_error(const FileError& error, const std::string& path) {
  std::string message = write_error(error);
  for (const LeftFile& f : error.left) {
    message += "\nprcdump: " + shown(path) + ": " + shown(f.path);
    if (f.kept.empty())
      message += ", written by this run, could not be removed (" + error_text(f.code) + ")";
    else
      message += " could not be put back (" + error_text(f.code) +
                 "); the earlier file is kept as " + shown(f.kept);
  }
  return message;
}

std::string stage_file(Run* run, OutputGroup* group, const std::string& folder,
                       const std::string& name) {
  std::string path = join_path(folder, name);
  // The group replaces a link itself, so the link's own identity counts.
  FileIdentity id;
  auto input = file_identity(path, false, &id) ? run->inputs.find(id) : run->inputs.end();
  if (input != run->inputs.end())
    return "won't write " + shown(path) + ": it is the input " + shown(input->second) +
           "; nothing of this database is written";
  FileError error = group_folder(group, folder);
  if (!error.ok()) error.path = path;
  if (error.ok()) error = group_stage(group, path);
  return error.ok() ? "" : write_error(error);
}

std::string stage_made_file(Run* run, OutputGroup* group, const std::string& folder,
                            const std::string& name, const void* bytes, size_t size) {
  run->made_bytes += size;
  if (run->made_bytes > run->made_budget)
    return format(
        "its pictures and BDF files would take more than %llu bytes; a file of its size "
        "may make %llu",
        static_cast<unsigned long long>(run->made_bytes),
        static_cast<unsigned long long>(run->made_budget));
  std::string problem = stage_file(run, group, folder, name);
  if (!problem.empty()) return problem;
  fwrite(bytes, 1, size, group->stream);  // a failure is told by group_staged
  FileError error = group_staged(group);
  return error.ok() ? "" : write_error(error);
}
