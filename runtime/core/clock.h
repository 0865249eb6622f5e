// The runtime clock and the frame times derived from it.
#pragma once

namespace quillon {

// Milliseconds of the high-resolution counter (fractions included), from an arbitrary origin.
// Example:
//   double started = NowMilliseconds();
//   SaveScreen("shot.png");
//   std::printf("saving took %.1f ms\n", NowMilliseconds() - started);
double NowMilliseconds();
// Milliseconds since start-up.
// Example:
//   double secondsLeft = 90 - ElapsedMilliseconds() / 1000;  // a 90-second round
//   PrintText(StringValue("Time: ") + std::floor(secondsLeft), 8, 8);
double ElapsedMilliseconds();
// Milliseconds since the frame before the last ShowScreen began; 1 when that is not positive.
// Example:
//   double x = 0, speed = 120;  // pixels per second, whatever the frame rate
//   x += speed * LastFrameTime() / 1000;
double LastFrameTime();

}  // namespace quillon
