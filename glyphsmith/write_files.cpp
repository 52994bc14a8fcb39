#include "write_files.h"

#include <cerrno>
#include <cstring>
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

struct Outputs {
  std::vector<OutputFile> files;
  ~Outputs() {
    for (OutputFile& f : files) output_discard(&f);
  }
};

}  // namespace

std::string write_files(const std::string& folder, const std::vector<PendingFile>& files) {
  Outputs outputs;
  outputs.files.resize(files.size());
  std::vector<bool> existed;
  std::error_code ec;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string path = (fs::path(folder) / files[i].name).string();
    existed.push_back(fs::exists(path, ec));
    OutputFile& out = outputs.files[i];
    errno = 0;
    if (!output_open(&out, path.c_str()))
      return "cannot write in '" + folder + "': " + std::strerror(errno ? errno : EACCES);
    if (std::fwrite(files[i].bytes.data(), 1, files[i].bytes.size(), out.stream) !=
        files[i].bytes.size())
      return "cannot write '" + path + "': " + std::strerror(errno);
    // Where names ignore letter case, NFNT0080.bin and nfnt0080.bin are one
    // file, and the second would silently replace the first.
    fs::path temp = out.temp_path;
    if (i == 0 && !out.temp_path.empty() && has_case_twin(files) &&
        fs::exists(temp.parent_path() / swap_case(temp.filename().string()), ec))
      return "the folder '" + folder + "' ignores letter case, so " + files[0].name + " and " +
             swap_case(files[0].name) + " would be one file";
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (output_commit(&outputs.files[i])) continue;
    std::string why = std::strerror(errno);
    // Take back the new files already in place: the folder is as it was,
    // but for files the run was asked to replace.
    for (size_t j = 0; j < i; ++j)
      if (!existed[j]) fs::remove(fs::path(folder) / files[j].name, ec);
    return "cannot write '" + files[i].name + "' in '" + folder + "': " + why;
  }
  return "";
}
