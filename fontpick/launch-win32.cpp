#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "launch.h"

const char* const generator_path = "bin\\_glyphsmith";

// system() hands the line to cmd.exe, which starts the generator with the
// rest of the line for the C runtime to split into arguments. Outside double
// quotes a caret makes cmd.exe take the next character literally and drop the
// caret. A double quote must reach the C runtime as a literal one: a
// backslash before it, the backslashes in front of that doubled, and a caret
// so that cmd.exe doesn't take it as the start of a quoted part.
// Carets don't protect a percent sign reliably (command interpreters differ
// in whether variables are expanded before or after carets are looked at),
// but %NAME% only expands when NAME is defined: with every run of percent
// signs put between double quotes, each name that could be tried begins with
// a quote or is empty, and no variable is called that.
std::string quote_word(const std::string& word) {
  if (word.empty()) return "\"\"";
  std::string quoted;
  size_t backslashes = 0;  // directly before the current character
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    switch (c) {
      case '&':
      case '|':
      case '<':
      case '>':
      case '^':
      case '\n':  // would end the command; escaped, only the break is lost
        quoted += '^';
        quoted += c;
        break;
      case '"':
        quoted.append(backslashes + 1, '\\');
        quoted += "^\"";
        break;
      case '%':
        quoted.append(backslashes, '\\');
        quoted += '"';
        for (; i < word.size() && word[i] == '%'; ++i) quoted += '%';
        --i;
        quoted += '"';
        break;
      default:
        quoted += c;
        break;
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
  }
  return quoted;
}

int run_command_line(const std::string& command) {
  fflush(nullptr);
  errno = 0;
  int result = system(command.c_str());
  // Here system() already returns the command's exit code; -1 with errno
  // set means cmd.exe could not be started.
  if (result == -1 && errno != 0) return 127;
  return result;
}
