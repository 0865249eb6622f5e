// Top-layer plumbing for the game window: creation with its GL context, windowed and fullscreen display, and the
// window procedure that turns the window system's events into pause, caption and program end.
#pragma once

#include "runtime/platform/events.h"

namespace quillon {

class OpenGLRainbows;

// Milliseconds between grid points for a frame rate; 0 or less runs at 500 (2 ms).
inline double FrameIntervalFor(int framesPerSecond) {
  return framesPerSecond > 0 ? 1000.0 / framesPerSecond : 2.0;
}

bool CreateGameWindow(OpenGLRainbows& device, void* module, int width, int height, int colourBits,
                      int frameRate, int sampleCount);
double EnterWindowed(OpenGLRainbows& device);
double EnterFullscreen(OpenGLRainbows& device);
double SuspendDisplay(OpenGLRainbows& device);
void DestroyGameWindow(OpenGLRainbows& device);

// Handles one event of the game window; input events go on to the input layer.
void WindowProcedure(const platform::Event& event);

}  // namespace quillon
