#include "xserver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "run.h"

// Xvfb picks a free display itself and tells us its number. Two servers
// starting at once can both claim a number, and the loser removes the
// winner's socket as it moves on: so the test processes start their servers
// one at a time (a lock on the test program), and a display that does not
// answer, taken by some other server, is tried again.
XServer::XServer() {
  if (const char* file = getenv("XSERVER_DISPLAY_FILE")) {
    std::string number = read_file(file);
    number = number.substr(0, number.find('\n'));
    display_ = ":" + number;
    shared_ = !number.empty() && answers();
    if (!shared_) {
      display_.clear();
      error_ = std::string("the shared X server in ") + file + " does not answer";
    }
    return;
  }
  int lock = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (lock < 0) {
    error_ = "cannot lock the test program: " + std::string(strerror(errno));
    return;
  }
  while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  for (int attempt = 0; attempt < 5; ++attempt) {
    launch();
    if (!display_.empty() && answers()) break;
    stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + 100 * attempt));
  }
  close(lock);
  if (!running()) error_ = "Xvfb did not start";
}

XServer::~XServer() {
  stop();
}

std::vector<std::string> XServer::environment() const {
  return {"DISPLAY=" + display_, "GDK_BACKEND=x11", "WAYLAND_DISPLAY",
          "NO_AT_BRIDGE=1",      "GTK_THEME",       "ASAN_OPTIONS=detect_leaks=0"};
}

bool XServer::answers() const {
  return run_command({"xdotool", "getdisplaygeometry"}, RunOptions{"", environment(), 30}).status ==
         0;
}

void XServer::launch() {
  display_.clear();
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
           "1024x768x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (pid_ > 0 && poll(&p, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

void XServer::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  display_.clear();
}
