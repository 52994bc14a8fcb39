// Preloaded into a program under test (LD_PRELOAD) to stop or fail it at a
// point the test names, so that a signal or a failure lands exactly there
// rather than wherever the timing puts it. PAUSE_CALL=rename:3 stops the
// process (SIGSTOP) on its third call of rename, before the call is made;
// FAIL_CALL=rename:3 makes that call fail with ENOSPC instead, and
// FAIL_CALL=rename:3+ that call and every later one. Calls counted:
// rename and mkstemp on a path in the current folder or beneath it, so that
// a library's own files (caches) don't count.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whether this is a call that the variable names: "name:count", or
// "name:count+" for that one and every later one.
bool is_the_call(const char* variable, const char* name, int count) {
  const char* spec = getenv(variable);
  size_t n = strlen(name);
  if (!spec || strncmp(spec, name, n) != 0 || spec[n] != ':') return false;
  char* end = nullptr;
  long first = strtol(spec + n + 1, &end, 10);
  return *end == '+' ? count >= first : count == first;
}

bool in_this_folder(const char* path) {
  char here[4096];
  if (path[0] != '/') return true;
  if (!getcwd(here, sizeof here)) return false;
  size_t n = strlen(here);
  return strncmp(path, here, n) == 0 && path[n] == '/';
}

// False when the call is to fail.
bool before_call(const char* name, const char* path, int* calls) {
  if (!in_this_folder(path)) return true;
  ++*calls;
  if (is_the_call("PAUSE_CALL", name, *calls)) raise(SIGSTOP);
  if (!is_the_call("FAIL_CALL", name, *calls)) return true;
  errno = ENOSPC;
  return false;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
  static int calls = 0;
  static auto real = next<int (*)(const char*, const char*)>("rename");
  return before_call("rename", to, &calls) ? real(from, to) : -1;
}

extern "C" int mkstemp(char* name) {
  static int calls = 0;
  static auto real = next<int (*)(char*)>("mkstemp");
  return before_call("mkstemp", name, &calls) ? real(name) : -1;
}
