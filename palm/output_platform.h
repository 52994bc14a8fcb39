// Inside the output library: the small steps each system's file
// (output-posix.cpp, output-win32.cpp) provides, from which output.cpp builds
// the single files and groups once for every system. They keep no state of
// output.cpp's and call nothing of it. Those that can fail return 0 or the
// errno value that tells why.
#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

namespace palm {

// What a path names, for a file to be written there.
enum class PathKind {
  missing,  // nothing: the file is to be made
  file,     // a file (or, unfollowed, a link) the new one replaces
  device,   // a device or pipe, written directly; never replaced
};

// Looks at path as a plain open for writing would: a folder is EISDIR, a
// file that may not be written is refused with the reason. Followed, a
// symbolic link leads to the file it names (made where it points nowhere
// yet), and *target is that file; else *target is path.
int look_at(const std::string& path, bool follow, PathKind* kind, std::string* target);

// Makes a new file beside path, under a name no one has taken, and opens it
// for writing; it takes the mode (and, where it may, the owner) of the file
// at path, else a new file's. Nothing is left when it fails.
int open_temporary(const std::string& path, std::string* temp, FILE** stream);

// Puts the file at from in place of whatever is at to.
int replace_file(const std::string& from, const std::string& to);

// Keeps the file at path under a new name beside it, *backup, until the
// group it is replaced in is whole: a second link where that costs nothing,
// else the file itself moved. Only a file that can be put back is kept.
int put_aside(const std::string& path, std::string* backup);

// Makes an empty file at path unless anything is there (EEXIST).
int create_new(const std::string& path);

// Makes a folder, one level (EEXIST when anything is there).
int make_folder(const std::string& folder);

// Safe in a signal handler.
int remove_file(const char* path);
int remove_folder(const char* folder);

bool path_exists(const std::string& path);  // anything, a link included
bool is_folder(const std::string& path);

// Runs body with interrupt, termination and hangup held back; holds nest.
void run_with_signals_held(void (*body)(void*), void* context);

template <class Body>
void with_signals_held(Body&& body) {
  using Plain = std::remove_reference_t<Body>;
  run_with_signals_held([](void* b) { (*static_cast<Plain*>(b))(); }, &body);
}

// From now on those signals run cleanup, which may only use what is in
// memory already, and then end the process as they would have. A signal
// the caller chose to ignore stays ignored.
void catch_cleanup_signals(void (*cleanup)());

}  // namespace palm
