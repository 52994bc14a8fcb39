#pragma once

// The signals after which a program leaves no temporary file behind, and a
// guard that holds them back while the list of temporaries changes, so that
// a handler never reads it half made. POSIX only.

#include <signal.h>

namespace palm {

inline constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct HoldSignals {
  sigset_t saved;
  HoldSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kCleanupSignals) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &saved);
  }
  ~HoldSignals() { sigprocmask(SIG_SETMASK, &saved, nullptr); }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;
};

}  // namespace palm
