// Saves killed at every step. A child process runs a save and kills itself
// (SIGKILL) when the safe-write layer reports its n-th step, for n = 1, 2, ...
// until a save runs to its end; after each run the parent looks at what is
// left on the disk. Every own file of the program is tested this way.
#pragma once

#include "safefile/SafeFile.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace killsave {

inline int& Target() {
  static int target = 0;
  return target;
}
inline int& Seen() {
  static int seen = 0;
  return seen;
}

inline void KillAtTarget(safefile::Step, int64_t, int64_t) {
  if (++Seen() == Target()) ::kill(::getpid(), SIGKILL);
}

// Runs `save` killed at each step in turn, the named fallback of the layer
// too when `noTmpfile`; `check(step, killed)` after each run. Returns the
// number of steps the whole save reports.
inline int AtEveryStep(const std::function<void()>& save, const std::function<void(int step, bool killed)>& check,
                       bool noTmpfile = false, int limit = 400) {
  for (int n = 1; n <= limit; ++n) {
    const pid_t child = ::fork();
    if (child == 0) {
      safefile::Hooks().noTmpfile = noTmpfile;
      safefile::Hooks().step = KillAtTarget;
      Target() = n;
      Seen() = 0;
      save();
      std::_Exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
      ADD_FAILURE() << "the child could not run";
      return n;
    }
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      ADD_FAILURE() << "the save's child ended with status " << status << " at step " << n;
      return n;
    }
    check(n, killed);
    if (!killed) return n - 1;
  }
  ADD_FAILURE() << "the save reported more than " << limit << " steps";
  return limit;
}

}  // namespace killsave
