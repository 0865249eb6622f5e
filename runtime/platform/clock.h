// Time sources for the runtime clock.
#pragma once

#include <cstdint>

namespace quillon::platform {

// Ticks per second of the high-resolution counter; 0 when there is none.
double CounterFrequency();
uint64_t CounterValue();
// Milliseconds since the timer started, wrapping at 32 bits.
uint32_t TickMilliseconds();
void SleepMilliseconds(int ms);
// Sleeps until ms from now (fractions kept) on an absolute deadline of the monotonic clock, so a
// signal does not restart the whole sleep; ms <= 0 returns at once.
void SleepPrecisely(double ms);

}  // namespace quillon::platform
