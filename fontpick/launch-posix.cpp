#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "launch.h"
#include "text.h"

// /bin/sh reads a backslash as an escape, so POSIX systems get a slash.
const char* const generator_path = "bin/_glyphsmith";

std::string quote_word(const std::string& word) {
  return base::shell_word(word);
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
