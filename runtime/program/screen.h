// Commands for the window, the display mode and the frame rate.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Changes the client size (0 keeps a side; sides are kept within 1..16384) and switches to
// fullscreen (non-zero) or windowed; sprites and surfaces survive. Then shows five frames.
// Example:
//   if (KeyDown(33) != 0) SetScreen(1280, 720, 1);  // F: fullscreen at 1280 x 720
//   if (KeyDown(17) != 0) SetScreen(640, 480, 0);   // W: back to a 640 x 480 window
void SetScreen(double width, double height, double fullscreen);
// 1 while the display mode is fullscreen, else 0.
// Example:
//   SetScreen(0, 0, IsFullscreen() == 0);  // toggle, keeping the size
double IsFullscreen();
// Non-zero: losing the focus pauses the game and marks the caption " <pause>" (the default);
// 0 also ends a pause under way.
// Example:
//   SetAutoPause(0);  // a network game keeps running while the window is in the background
void SetAutoPause(double flag);
// The window's caption from now on (the " <pause>" mark is added to it).
// Example:
//   SetWindowTitle("Gravduel - you fly the blue ship");
void SetWindowTitle(const StringValue& title);
// Non-zero (the default): the close box and the desktop's request to end (SIGTERM too) end the
// program; 0: they are only noted for CloseRequested, so the program can end in its own way.
// Example:
//   SetCloseEnds(0);  // the close box is handled by the game (CloseRequested)
void SetCloseEnds(double on);
// 1 once for each close request noted since the last call (see SetCloseEnds), else 0.
// Example:
//   SetCloseEnds(0);  // first say goodbye, then end
//   if (CloseRequested() != 0) {
//     PrintText("Bye!", 300, 240);
//     ShowScreen();
//     EndProgram();
//   }
double CloseRequested();
// The window system's id of the game window; 0 without a window.
// Example:
//   std::printf("window id %.0f\n", GetWindowHandle());
double GetWindowHandle();
// Frames per second of the frame grid (truncated); 0 or less runs at 500 (2 ms frames).
// Example:
//   SetFrameRate(30);  // a slower menu screen
void SetFrameRate(double framesPerSecond);

}  // namespace quillon
