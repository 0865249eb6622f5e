// The heartbeat behind ShowScreen: presenting a frame, pacing it to the frame grid, holding the
// game while the window is inactive. Top-layer plumbing; programs call ShowScreen.
#pragma once

namespace quillon {

class OpenGLRainbows;

// ShowScreen as the top layer runs it (installed into the program flow at start-up).
void RunShowScreen();
// Dispatches every waiting event to the window procedure.
void PumpWindowMessages();
// Flushes the 2D batch, swaps, clears and waits for the next grid point.
void PresentFrame(OpenGLRainbows& device);

// The wait of PresentFrame after the swap: dispatches events until the clock passes
// nextFrameTime, then moves nextFrameTime to the first grid point after now. It blocks on the
// event queue until about 2 ms before the grid point, sleeps on an absolute deadline until
// 0.15 ms before it and spins the rest (QUILLON_PACING=spin: spins throughout).
void WaitForFrameGrid(OpenGLRainbows& device);

}  // namespace quillon
