#include "runtime/core/clock.h"

#include "runtime/core/flow_hooks.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/clock.h"

namespace quillon {

namespace {

double (*testClock)() = nullptr;

}  // namespace

void SetClockForTesting(double (*clock)()) { testClock = clock; }

double NowMilliseconds() {
  if (testClock != nullptr) return testClock();
  static const double frequency = platform::CounterFrequency();
  if (frequency > 0) return static_cast<double>(platform::CounterValue()) * 1000.0 / frequency;
  return static_cast<double>(platform::TickMilliseconds());
}

double ElapsedMilliseconds() { return NowMilliseconds() - runtimeState.startTime; }

// Games divide by it: a time that is not positive (right after start-up) reads as 1 ms.
double LastFrameTime() {
  double d = NowMilliseconds() - runtimeState.previousFrameStart;
  return d > 0 ? d : 1;
}

}  // namespace quillon
