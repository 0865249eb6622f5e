// Commands for the window, the display mode and the frame rate.
#pragma once

namespace quillon {

// Changes the client size (0 keeps a side; sides are kept within 1..16384) and switches to
// fullscreen (non-zero) or windowed; sprites and surfaces survive. Then shows five frames.
void SetScreen(double width, double height, double fullscreen);
// 1 while the display mode is fullscreen, else 0.
double IsFullscreen();
// Non-zero: losing the focus pauses the game and marks the caption " <pause>" (the default).
void SetAutoPause(double flag);
// The window system's id of the game window; 0 without a window.
double GetWindowHandle();
// Frames per second of the frame grid (truncated); 0 or less runs at 500 (2 ms frames).
void SetFrameRate(double framesPerSecond);

}  // namespace quillon
