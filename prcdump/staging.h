// Where prcdump's files go: their names, the folders they go in, and the
// checks each passes before it is staged in a database's group of files.
#pragma once

#include <string>

#include "options.h"
#include "output.h"

std::string error_text(int error);

// A path or name as it can be shown on a terminal: control bytes and the
// backslash as \xNN, the rest as it is.
std::string shown(const std::string& text);

// A path as one shell word that no program takes for an option.
std::string path_argument(const std::string& path);

// The file `name` in the folder; only Windows takes '\' for a separator.
std::string join_path(const std::string& dir, const std::string& name);

// A name not yet used in this run: base.bin, then base-2.bin, base-3.bin...
// prcbuild reads a type and ID from the first eight characters, so the
// suffix changes neither.
std::string unique_name(FileNames* names, const std::string& base, const char* extension = ".bin");

// The identity of the file at path, through a symbolic link when `follow`;
// false when there is no file to tell.
bool file_identity(const std::string& path, bool follow, FileIdentity* id);

// Stages one more file of the group in the folder, made if missing; the
// message when it can't be, else "". A file that is one of the run's
// inputs is never replaced.
std::string stage_file(Run* run, palm::OutputGroup* group, const std::string& folder,
                       const std::string& name);

// Stages a whole file that the run makes (a picture, a BDF file), counted
// against the output the database may make.
std::string stage_made_file(Run* run, palm::OutputGroup* group, const std::string& folder,
                            const std::string& name, const void* bytes, size_t size);

// The message for a file of the group that can't be written.
std::string write_error(const palm::FileError& error);

// The message for a commit of the group that failed, with a line more, for
// the database at path, for each file it could not take back.
std::string commit_error(const palm::FileError& error, const std::string& path);
