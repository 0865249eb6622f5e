#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "runtime/platform/clock.h"

namespace quillon::platform {

void SleepPrecisely(double ms) {
  if (!(ms > 0)) return;
  if (ms > 60000) ms = 60000;  // callers wait for frames, not minutes
  // The kernel may otherwise add 50 µs of slack to every wake; the frame wait only sleeps when
  // it means to be woken on time. Set once, for the thread that paces frames.
  static thread_local bool slackSet = prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
  (void)slackSet;
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  long long nanoseconds = deadline.tv_nsec + static_cast<long long>(ms * 1e6);
  deadline.tv_sec += static_cast<time_t>(nanoseconds / 1000000000);
  deadline.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace quillon::platform
