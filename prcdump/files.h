// The few file operations prcdump needs that differ between systems.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Makes the folder unless it is one already; *created tells which.
bool make_folder(const std::string& path, bool* created);
void remove_folder(const std::string& path);

// A new, empty file in folder, opened for writing, that no one else can have
// made; its name goes to *path.
FILE* create_temp_file(const std::string& folder, std::string* path);

// For the program to call once at its start: an interrupt, termination or
// hangup removes the temporary files not yet in place, then ends the process
// as the signal would have.
void remove_temporaries_on_signals();

// Puts the file at from in place of to: a link at to is replaced, not followed.
bool replace_file(const std::string& from, const std::string& to);
void remove_file(const std::string& path);
