#include "write_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "output.h"

namespace fs = std::filesystem;

namespace {

std::string swap_case(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Whether another file's name is the first's but for letter case.
bool has_case_twin(const std::vector<PendingFile>& files) {
  for (size_t i = 1; i < files.size(); ++i)
    if (lower(files[i].name) == lower(files[0].name)) return true;
  return false;
}

// Whether a file whose name is the staged one's but for letter case is there:
// then the folder ignores case.
bool twin_seen(const std::string& temp) {
  fs::path path = temp;
  std::error_code ec;
  return fs::exists(path.parent_path() / swap_case(path.filename().string()), ec);
}

std::string written_error(const std::string& folder, const FileError& error) {
  return "cannot write '" + fs::path(error.path).filename().string() + "' in '" + folder +
         "': " + error.reason();
}

std::string folder_error(const std::string& folder, const FileError& error) {
  return "cannot write in '" + folder + "': " + error.reason();
}

}  // namespace

std::string write_files(const std::string& folder, const std::vector<PendingFile>& files) {
  OutputGroup group;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string path = (fs::path(folder) / files[i].name).string();
    FileError error = group_stage(&group, path);
    if (!error.ok()) {
      group_discard(&group);
      return folder_error(folder, error);
    }
    if (std::fwrite(files[i].bytes.data(), 1, files[i].bytes.size(), group.stream) !=
                          files[i].bytes.size())
      error = {errno ? errno : EIO, path};
    if (error.ok()) error = group_staged(&group);
    if (!error.ok()) {
      group_discard(&group);
      return written_error(folder, error);
    }
    // Where names ignore letter case, NFNT0080.bin and nfnt0080.bin are one
    // file, and the second would silently replace the first.
    if (i == 0 && has_case_twin(files) && twin_seen(group.files[0].temp)) {
      group_discard(&group);
      return "the folder '" + folder + "' ignores letter case, so " + files[0].name + " and " +
             swap_case(files[0].name) + " would be one file";
    }
  }
  FileError error = group_commit(&group);
  return error.ok() ? "" : written_error(folder, error);
}

bool folder_ignores_case(const std::string& folder) {
  OutputGroup probe;
  bool ignores = group_stage(&probe, (fs::path(folder) / "Case-Probe").string()).ok() &&
                 twin_seen(probe.files[0].temp);
  group_discard(&probe);
  return ignores;
}
