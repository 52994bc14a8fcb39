#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "output.h"
#include "output_platform.h"

NameList temporaries, new_folders;

void remember(NameList* list, const std::string& path) {
  if (list->count == list->room) {
    size_t room = list->room ? list->room * 2 : 64;
    char** grown = static_cast<char**>(realloc(list->names, room * sizeof(char*)));
    if (!grown) return;
    list->names = grown;
    list->room = room;
  }
  if (char* copy = static_cast<char*>(malloc(path.size() + 1))) {
    memcpy(copy, path.c_str(), path.size() + 1);
    list->names[list->count++] = copy;
  }
}

void forget(NameList* list, const std::string& path) {
  for (size_t i = list->count; i-- > 0;)
    if (path == list->names[i]) {
      free(list->names[i]);
      list->names[i] = list->names[--list->count];
      return;
    }
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

void remove_temporary(std::string* temp) {
  with_signals_held([&] {
    remove_file(*temp);
    forget(&temporaries, *temp);
  });
  temp->clear();
}

std::string FileError::reason() const {
  return strerror(code);
}

FileError standard_output_status() {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) return errno_error("standard output");
  return {};
}

FileError output_commit(OutputFile* out) {
  FILE* stream = out->stream;
  out->stream = nullptr;
  if (!close_stream(stream)) return errno_error(out->path);
  if (out->temp_path.empty()) return {};
  FileError error;
  with_signals_held([&] {
    if (!move_into_place(out->temp_path, out->path)) {
      error = system_error(out->path);
      return;
    }
    forget(&temporaries, out->temp_path);
    out->temp_path.clear();
  });
  return error;
}

void output_discard(OutputFile* out) {
  if (out->stream) fclose(out->stream);
  out->stream = nullptr;
  if (!out->temp_path.empty()) remove_temporary(&out->temp_path);
}

FileError group_folder(OutputGroup* group, const std::string& folder) {
  bool made = false;
  with_signals_held([&] {
    made = make_folder(folder);
    if (!made) return;
    group->made_folders.push_back(folder);
    remember(&new_folders, folder);
  });
  if (made) return {};
  FileError error = system_error(folder);
  if (is_folder(folder)) return {};
  if (error.code == EEXIST) error.code = ENOTDIR;
  return error;
}

FileError group_staged(OutputGroup* group) {
  FILE* stream = group->stream;
  group->stream = nullptr;
  if (!stream || !close_stream(stream)) return errno_error(group->files.back().path);
  return {};
}

namespace {

// Takes back what a commit did to files[0, done): each file replaced is put
// back, each file made is removed; the rest are still temporary.
void roll_back(OutputGroup* group, size_t done) {
  for (size_t i = done; i-- > 0;) {
    GroupFile& f = group->files[i];
    if (!f.backup.empty())
      put_back(f.backup, f.path);
    else
      remove_file(f.path);
    f.backup.clear();
    forget(&temporaries, f.temp);  // its name is the file's now
    f.temp.clear();
  }
}

// Puts files[0, ...) in place in turn, stopping at the first that fails;
// tells how many went in place, the failed one's error in *error.
size_t put_files_in_place(OutputGroup* group, FileError* error) {
  size_t i = 0;
  for (; error->ok() && i < group->files.size(); ++i) {
    GroupFile& f = group->files[i];
    if ((path_exists(f.path) && !keep_aside(&f)) || !move_into_place(f.temp, f.path)) {
      *error = system_error(f.path);
      undo_keep_aside(f);
      f.backup.clear();
      break;
    }
  }
  return i;
}

// The group is whole: what was kept aside goes, and its names are the files'.
void settle(OutputGroup* group) {
  for (GroupFile& f : group->files) {
    if (!f.backup.empty()) remove_file(f.backup);
    forget(&temporaries, f.temp);
  }
  for (const std::string& folder : group->made_folders) forget(&new_folders, folder);
  group->made_folders.clear();
  group->files.clear();
}

}  // namespace

FileError group_commit(OutputGroup* group) {
  FileError error;
  if (group->stream) error = group_staged(group);
  with_signals_held([&] {
    size_t done = put_files_in_place(group, &error);
    if (!error.ok())
      roll_back(group, done);
    else
      settle(group);
  });
  if (!error.ok()) group_discard(group);
  return error;
}

void group_discard(OutputGroup* group) {
  if (group->stream) fclose(group->stream);
  group->stream = nullptr;
  with_signals_held([&] {
    for (GroupFile& f : group->files)
      if (!f.temp.empty()) remove_temporary(&f.temp);
    group->files.clear();
    for (size_t i = group->made_folders.size(); i-- > 0;) {
      remove_folder(group->made_folders[i]);
      forget(&new_folders, group->made_folders[i]);
    }
    group->made_folders.clear();
  });
}
