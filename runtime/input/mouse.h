// Mouse commands. Movement is sampled once per frame (the first read after a ShowScreen); later
// reads in the same frame repeat it and refresh only the buttons.
#pragma once

namespace quillon {

// The pointer position in client pixels, kept inside the client area, and the left and right
// buttons (1 down, 0 up).
void MouseState(double& x, double& y, double& left, double& right);
// Selector 0: x movement, 1: y movement (mickeys, this frame), 2: wheel direction (-1, 0, 1),
// 3, 4, 5: left, right, middle button (1 down); any other selector gives 0.
double MouseAxis(double selector);
// 1 while any mouse button is down, else 0.
double AnyMouseButton();
// Moves the runtime's pointer position (client pixels, truncated); MouseState clamps it to the
// client area.
void SetMousePosition(double x, double y);
// Non-zero shows the system pointer and gives the mouse back to the desktop; 0 hides the pointer
// and takes the mouse for the game alone (relative movement).
void ShowSystemPointer(double on);

}  // namespace quillon
