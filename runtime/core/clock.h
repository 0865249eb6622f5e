// The runtime clock and the frame times derived from it.
#pragma once

namespace quillon {

// Milliseconds of the high-resolution counter (fractions included), from an arbitrary origin.
double NowMilliseconds();
// Milliseconds since start-up.
double ElapsedMilliseconds();
// Milliseconds since the frame before the last ShowScreen began; 1 when that is not positive.
double LastFrameTime();

}  // namespace quillon
