// A private X server for the tests that drive a dialog: Xvfb on a display of
// its own, stopped with the object; or the one a test run shares between its
// dialog tests, when XSERVER_DISPLAY_FILE names the file that holds its
// display (testsupport/xserver.sh).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class XServer {
 public:
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool running() const { return (pid_ > 0 || shared_) && !display_.empty(); }
  // Why it is not running, for the test's message.
  const std::string& error() const { return error_; }

  // What a program needs to open its windows on this server, for RunOptions::env.
  std::vector<std::string> environment() const;

 private:
  void launch();
  bool answers() const;
  void stop();

  pid_t pid_ = -1;
  bool shared_ = false;
  std::string display_;
  std::string error_;
};
