// Every file the programs write goes through here, one file at a time or as a
// group, so that a failed or interrupted run never leaves a truncated,
// half-written or half-replaced set of files, nor a temporary one, behind.
//
// One file (OutputFile): where the target is a regular file (or does not
// exist yet) the bytes go to a temporary file beside it that replaces it
// only on commit; an existing file is never rewritten in place. Through a
// symbolic link, the file it points to is the one replaced. Devices and
// pipes are written directly.
//
// A group (OutputGroup): every file is staged as a temporary file in its
// final folder; the commit puts all of them in place, or, when any fails,
// puts back every file it replaced and removes every file and folder the
// group made. A link where a file goes is replaced itself, never written
// through. Interrupt, termination and hangup are held back for the whole
// commit and end the run right after it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace palm {

// A file of a group whose commit failed and then could not be taken back:
// path holds what the run wrote, or nothing where the file it replaced had
// been moved aside; that file is kept at kept ("" when there was none).
struct LeftFile {
  std::string path;
  std::string kept;
  int code = 0;  // why it could not be taken back
};

// What went wrong with a file: the system's reason (errno) and the file or
// folder it concerns. No error when code is 0.
struct FileError {
  int code = 0;
  std::string path;
  std::vector<LeftFile> left = {};  // only from group_commit; usually none
  bool ok() const { return code == 0; }
  std::string reason() const;  // the system's text for code
};

struct OutputFile {
  FILE* stream = nullptr;
  std::string path;       // where the file ends up (a symbolic link's target)
  std::string temp_path;  // empty when writing straight to path
};

// Opens the stream; fails when the file can't be created or replaced: a
// folder, a missing folder, a read-only file, or no temporary file can be
// made beside it (an existing file is then left as it is).
FileError output_open(OutputFile* out, const char* path);

// Flushes and closes the stream, then puts the file in place; on failure
// output_discard is still to be called.
FileError output_commit(OutputFile* out);

// Closes the stream if open and removes the temporary file.
void output_discard(OutputFile* out);

struct GroupFile {
  std::string path;    // where it ends up
  std::string temp;    // the staged bytes; empty once in place
  std::string backup;  // during the commit: the file it replaces
};

struct OutputGroup {
  std::vector<GroupFile> files;
  std::vector<std::string> made_folders;  // in the order they were made
  FILE* stream = nullptr;                 // the file being staged
};

// Makes the folder, one level, unless it is one already; a folder made here
// goes again when the group is discarded or a signal ends the run.
FileError group_folder(OutputGroup* group, const std::string& folder);

// Starts staging the file that will be at path: its bytes go to
// group->stream until group_staged. Refuses a folder or a read-only file at
// path, as a plain open for writing would.
FileError group_stage(OutputGroup* group, const std::string& path);

// Flushes and closes the staged file's stream.
FileError group_staged(OutputGroup* group);

// Puts every staged file in place, all or none; the group is empty after,
// its folders kept only on success. Where a failure is followed by another
// while files are put back, the error lists each file left otherwise than
// it was.
FileError group_commit(OutputGroup* group);

// Removes the staged files and the folders the group made.
void group_discard(OutputGroup* group);

// A name that one run at a time holds, to keep runs in one folder from
// choosing the same files: made by an exclusive create, gone again on
// release or when a signal ends the run.
struct OutputReservation {
  std::string path;  // empty when none is held
};

// EEXIST when another run holds the name (or anything else is there).
FileError output_reserve(OutputReservation* reservation, const std::string& path);
void output_release(OutputReservation* reservation);

// For a program to call once at its start: an interrupt, termination or
// hangup removes the temporary files, reservations and new folders of
// outputs not yet committed, then ends the process as the signal would have.
void output_remove_temporaries_on_signals();

// For a program to call once at its start: a file size limit or a pipe whose
// reader has gone makes a write fail, for the program to report, instead of
// killing the process without a word.
void output_ignore_write_signals();

// Flushes standard output and tells whether every write to it went through;
// EIO where an earlier failure's reason is gone.
FileError standard_output_status();

// Whether the system takes the name as a device rather than a file (NUL,
// CON.txt on Windows); such a name can't be written as a file.
bool reserved_file_name(const std::string& name);

enum class CopyResult { ok, read_error, write_error };

// Appends size bytes of from, starting at offset, to the stream; a read
// error also covers a file that has become shorter than that.
CopyResult output_copy(FILE* to, FILE* from, uint64_t offset, size_t size);

}  // namespace palm
