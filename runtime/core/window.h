// The game window: creation with its GL context, windowed and fullscreen display, and the
// window procedure that turns the window system's events into pause, caption and program end.
#pragma once

#include "runtime/platform/events.h"

namespace quillon {

class OpenGLRainbows;

bool CreateGameWindow(OpenGLRainbows& device, void* module, int width, int height, int colourBits,
                      int frameRate, int sampleCount);
double EnterWindowed(OpenGLRainbows& device);
double EnterFullscreen(OpenGLRainbows& device);
double SuspendDisplay(OpenGLRainbows& device);
void DestroyGameWindow(OpenGLRainbows& device);

// Commands.
void SetScreen(double width, double height, double fullscreen);
double IsFullscreen();
void SetAutoPause(double flag);
double GetWindowHandle();

// Handles one event of the game window; input events go on to the input layer.
void WindowProcedure(const platform::Event& event);
// Where key, wheel and text events go once an input layer is open (null: dropped).
extern void (*inputEventSink)(const platform::Event& event);

}  // namespace quillon
