#include "write_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "messages.h"
#include "output.h"

using namespace palm;

namespace fs = std::filesystem;

namespace {

std::string name(const std::string& path) {
  return fs::path(path).filename().string();
}

// With a line more for each file a failed commit could not take back.
std::string written_error(const std::string& folder, const FileError& error) {
  std::string message = base::write_failure(folder, name(error.path), error.reason());
  for (const LeftFile& f : error.left) {
    std::string why = FileError{f.code, f.path}.reason();
    message += "\nglyphsmith: '" + name(f.path) + "' in '" + folder + "'" +
               (f.kept.empty() ? ", written by this run, could not be removed (" + why + ")"
                               : " could not be put back (" + why +
                                     "); the earlier file is kept as '" + name(f.kept) + "'");
  }
  return message;
}

std::string folder_error(const std::string& folder, const FileError& error) {
  return base::write_failure(folder, "", error.reason());
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
  }
  FileError error = group_commit(&group);
  return error.ok() ? "" : written_error(folder, error);
}
