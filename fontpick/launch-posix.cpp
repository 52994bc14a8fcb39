#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "launch.h"

// /bin/sh reads a backslash as an escape, so POSIX systems get a slash.
const char* const generator_path = "bin/_glyphsmith";

namespace {

// Bytes /bin/sh never treats specially inside an argument word. Bytes from
// 0x80 up (UTF-8 names) mean nothing to it either.
bool is_plain(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '_': case '.': case ',': case '+': case ':': case '@': case '%': case '/':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string quote_word(const std::string& word) {
  bool plain = !word.empty();
  for (char c : word) plain = plain && is_plain(static_cast<unsigned char>(c));
  if (plain) return word;
  // Inside single quotes only the quote itself is special: close, escape, reopen.
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int run_command_line(const std::string& command) {
  // An ignored SIGCHLD inherited from our parent would let the child be reaped
  // before system() can collect its status.
  signal(SIGCHLD, SIG_DFL);
  std::fflush(nullptr);
  int status = std::system(command.c_str());
  if (status == -1) return 127;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}
