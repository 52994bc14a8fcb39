// The single files and groups, once for every system, from the steps in
// output_platform.h.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "output.h"
#include "output_platform.h"

namespace palm {

namespace {

// What a signal handler removes: the temporary files (and reservations) of
// outputs not yet committed, then the folders groups made for them. A
// handler may only use what is already in memory, so their names are copied
// here, process-wide, when they are made: the one piece of run state in this
// library. Signals that read the lists are held back while they change.
struct NameList {
  char** names = nullptr;
  size_t count = 0;
  size_t room = 0;
};
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

void remove_temporaries() {
  for (size_t i = 0; i < temporaries.count; ++i) remove_file(temporaries.names[i]);
  for (size_t i = new_folders.count; i-- > 0;) remove_folder(new_folders.names[i]);
}

FileError errno_error(const std::string& path) {
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

// Removes a temporary file and its name from the list; clears *temp.
void remove_temporary(std::string* temp) {
  with_signals_held([&] {
    remove_file(temp->c_str());
    forget(&temporaries, *temp);
  });
  temp->clear();
}

// The temporary file that will be at path, listed for the signal handler
// from the moment it exists.
FileError open_listed_temporary(const std::string& path, std::string* temp, FILE** stream) {
  int code = 0;
  with_signals_held([&] {
    code = open_temporary(path, temp, stream);
    if (!code) remember(&temporaries, *temp);
  });
  return {code, path};
}

}  // namespace

std::string FileError::reason() const {
  return strerror(code);
}

FileError standard_output_status() {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) return errno_error("standard output");
  return {};
}

FileError output_open(OutputFile* out, const char* path) {
  out->stream = nullptr;
  out->path = path;
  out->temp_path.clear();
  if (!*path) return {ENOENT, path};
  PathKind kind;
  if (int code = look_at(path, true, &kind, &out->path)) return {code, path};
  if (kind == PathKind::device) {
    out->stream = fopen(path, "wb");
    return out->stream ? FileError{} : errno_error(path);
  }
  // Where no temporary file can be made beside it, an existing file is left
  // as it is rather than rewritten in place.
  FileError error = open_listed_temporary(out->path, &out->temp_path, &out->stream);
  error.path = path;
  return error;
}

FileError output_commit(OutputFile* out) {
  FILE* stream = out->stream;
  out->stream = nullptr;
  if (!close_stream(stream)) return errno_error(out->path);
  if (out->temp_path.empty()) return {};
  FileError error;
  with_signals_held([&] {
    error.code = replace_file(out->temp_path, out->path);
    if (error.code) {
      error.path = out->path;
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
  int code = 0;
  with_signals_held([&] {
    code = make_folder(folder);
    if (code) return;
    group->made_folders.push_back(folder);
    remember(&new_folders, folder);
  });
  if (!code || is_folder(folder)) return {};
  return {code == EEXIST ? ENOTDIR : code, folder};
}

FileError group_stage(OutputGroup* group, const std::string& path) {
  PathKind kind;
  std::string target;
  if (int code = look_at(path, false, &kind, &target)) return {code, path};
  if (kind == PathKind::device) return {EINVAL, path};  // no file can be put in its place
  GroupFile file{path, "", ""};
  FileError error = open_listed_temporary(path, &file.temp, &group->stream);
  if (error.ok()) group->files.push_back(file);
  return error;
}

FileError group_staged(OutputGroup* group) {
  FILE* stream = group->stream;
  group->stream = nullptr;
  if (!stream || !close_stream(stream)) return errno_error(group->files.back().path);
  return {};
}

namespace {

// After f's file failed to go in place: a file moved aside goes back, a
// second link is only let go.
void undo_put_aside(GroupFile* f, FileError* error) {
  if (f->backup.empty()) return;
  if (path_exists(f->path))
    remove_file(f->backup.c_str());
  else if (int code = replace_file(f->backup, f->path))
    error->left.push_back({f->path, f->backup, code});
  f->backup.clear();
}

// Takes back what a commit did to files[0, done): each file replaced is put
// back, each file made is removed; the rest are still temporary. What can't
// be taken back is told in error->left.
void roll_back(OutputGroup* group, size_t done, FileError* error) {
  for (size_t i = done; i-- > 0;) {
    GroupFile& f = group->files[i];
    int code = f.backup.empty() ? remove_file(f.path.c_str()) : replace_file(f.backup, f.path);
    if (code) error->left.push_back({f.path, f.backup, code});
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
    int code = path_exists(f.path) ? put_aside(f.path, &f.backup) : 0;
    if (!code) code = replace_file(f.temp, f.path);
    if (code) {
      *error = {code, f.path};
      undo_put_aside(&f, error);
      break;
    }
  }
  return i;
}

// The group is whole: what was kept aside goes, and its names are the files'.
void settle(OutputGroup* group) {
  for (GroupFile& f : group->files) {
    if (!f.backup.empty()) remove_file(f.backup.c_str());
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
      roll_back(group, done, &error);
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
      remove_folder(group->made_folders[i].c_str());
      forget(&new_folders, group->made_folders[i]);
    }
    group->made_folders.clear();
  });
}

FileError output_reserve(OutputReservation* reservation, const std::string& path) {
  int code = 0;
  with_signals_held([&] {
    code = create_new(path);
    if (code) return;
    reservation->path = path;
    remember(&temporaries, path);
  });
  return {code, path};
}

void output_release(OutputReservation* reservation) {
  if (!reservation->path.empty()) remove_temporary(&reservation->path);
}

void output_remove_temporaries_on_signals() {
  catch_cleanup_signals(remove_temporaries);
}

}  // namespace palm
