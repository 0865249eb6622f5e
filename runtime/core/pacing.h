// The runtime clock, the message pump and the one heartbeat of a game: ShowScreen.
#pragma once

namespace quillon {

class OpenGLRainbows;

double NowMilliseconds();
double PumpMessages();
void PresentFrame(OpenGLRainbows& device);
void ShowScreen();
void SetFrameRate(double framesPerSecond);
double ElapsedMilliseconds();
double LastFrameTime();

// The spin of PresentFrame after the swap: dispatches events until the clock passes
// nextFrameTime, then moves nextFrameTime to the first grid point after now.
void WaitForFrameGrid(OpenGLRainbows& device);

// Number of ShowScreen calls so far (start-up's included); scripted input counts frames by it.
long ShowScreenCount();

// Tests replace the clock; null restores the real one.
void SetClockForTesting(double (*clock)());

}  // namespace quillon
