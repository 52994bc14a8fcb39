// Inside the output library: what output.cpp does the same on every system,
// and the small steps each system's file (output-posix.cpp, output-win32.cpp)
// provides for it. Not for the programs; they use output.h.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>

#include "output.h"

// What a signal handler removes: the temporary files of outputs not yet
// committed, then the folders groups made for them. A handler may only use
// what is already in memory, so their names are copied here, process-wide,
// when they are made: the one piece of run state in this library. Signals
// that read the lists are held back while they change.
struct NameList {
  char** names = nullptr;
  size_t count = 0;
  size_t room = 0;
};
extern NameList temporaries, new_folders;

// Called with the signals held.
void remember(NameList* list, const std::string& path);
void forget(NameList* list, const std::string& path);

// The error errno tells of, EIO where it tells none.
FileError errno_error(const std::string& path);

// Flushes and closes a stream, telling whether every write went through.
bool close_stream(FILE* stream);

// Removes a temporary file and its name from the lists; clears *temp.
void remove_temporary(std::string* temp);

// ---- Each system's own ----

// Runs body with the cleanup signals held back; holds nest.
void run_with_signals_held(void (*body)(void*), void* context);

template <class Body>
void with_signals_held(Body&& body) {
  using Plain = std::remove_reference_t<Body>;
  run_with_signals_held([](void* b) { (*static_cast<Plain*>(b))(); }, &body);
}

// The error the last failed system call left, for path.
FileError system_error(const std::string& path);

// Whether anything, a link included, is at path.
bool path_exists(const std::string& path);

// Whether path is a folder.
bool is_folder(const std::string& path);

// Makes a folder, one level; false when it can't (or is there already).
bool make_folder(const std::string& folder);
void remove_folder(const std::string& folder);
bool remove_file(const std::string& path);

// Puts the file at temp in place of whatever is at path.
bool move_into_place(const std::string& temp, const std::string& path);

// Keeps the file at f->path under a new name, f->backup, until the group is
// whole.
bool keep_aside(GroupFile* f);

// Puts a file kept aside back at path, in place of whatever is there.
bool put_back(const std::string& backup, const std::string& path);

// After f's file failed to go in place: the file kept aside, if any, is at
// f->path again, and no copy of it remains aside.
void undo_keep_aside(const GroupFile& f);
