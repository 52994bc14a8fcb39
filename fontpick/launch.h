// Running the generator through the command interpreter: the platform's path
// spelling, its quoting, and turning what system() returns into an exit code.
// One implementation per platform (launch-posix.cpp, launch-win32.cpp).
#pragma once

#include <string>

// The generator relative to the current directory: "bin/_glyphsmith" for
// /bin/sh, "bin\\_glyphsmith" for cmd.exe.
extern const char* const generator_path;

// One blank-free word as the command interpreter must see it to pass it on as
// that same single argument and run nothing else. Words without characters the
// interpreter treats specially come back unchanged.
std::string quote_word(const std::string& word);

// Runs command with system(), waits for it, and returns the status fontpick
// ends with: the command's own exit code, 128 + the signal number when it was
// killed by a signal, 127 when the interpreter could not be started.
int run_command_line(const std::string& command);
