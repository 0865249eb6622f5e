#include <SDL.h>

#include "runtime/platform/clock.h"

namespace quillon::platform {

double CounterFrequency() { return static_cast<double>(SDL_GetPerformanceFrequency()); }
uint64_t CounterValue() { return SDL_GetPerformanceCounter(); }
uint32_t TickMilliseconds() { return SDL_GetTicks(); }
void SleepMilliseconds(int ms) { SDL_Delay(ms > 0 ? static_cast<Uint32>(ms) : 0); }

}  // namespace quillon::platform
