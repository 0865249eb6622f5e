// Commands for the window, the display mode and the frame rate.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Changes the client size (0 keeps a side; sides are kept within 1..16384) and switches to
// fullscreen (non-zero) or windowed; sprites and surfaces survive. Then shows five frames.
void SetScreen(double width, double height, double fullscreen);
// 1 while the display mode is fullscreen, else 0.
double IsFullscreen();
// Non-zero: losing the focus pauses the game and marks the caption " <pause>" (the default);
// 0 also ends a pause under way.
void SetAutoPause(double flag);
// The window's caption from now on (the " <pause>" mark is added to it).
void SetWindowTitle(const StringValue& title);
// Non-zero (the default): the close box and the desktop's request to end (SIGTERM too) end the
// program; 0: they are only noted for CloseRequested, so the program can end in its own way.
void SetCloseEnds(double on);
// 1 once for each close request noted since the last call (see SetCloseEnds), else 0.
double CloseRequested();
// The window system's id of the game window; 0 without a window.
double GetWindowHandle();
// Frames per second of the frame grid (truncated); 0 or less runs at 500 (2 ms frames).
void SetFrameRate(double framesPerSecond);

}  // namespace quillon
