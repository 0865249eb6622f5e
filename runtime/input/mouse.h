// Mouse commands. Movement is sampled once per frame (the first read after a ShowScreen); later
// reads in the same frame repeat it and refresh only the buttons.
#pragma once

namespace quillon {

// The pointer position in client pixels, kept inside the client area, and the left and right
// buttons (1 down, 0 up).
// Example:
//   double x = 0, y = 0, left = 0, right = 0;
//   MouseState(x, y, left, right);
//   DrawSprite(1, x - 8, y - 8);  // a crosshair centred on the pointer
//   if (left != 0) PlaySound(0, 0, 1);
void MouseState(double& x, double& y, double& left, double& right);
// Selector 0: x movement, 1: y movement (mickeys, this frame), 2: wheel direction (-1, 0, 1),
// 3, 4, 5: left, right, middle button (1 down); any other selector gives 0.
// Example:
//   double yaw = 0, zoom = 1;
//   yaw += MouseAxis(0) * 0.2;  // turn with the mouse's movement
//   zoom -= MouseAxis(2) * 0.1;  // the wheel zooms
double MouseAxis(double selector);
// 1 while any mouse button is down, else 0.
// Example:
//   PrintText("Click to start", 260, 240);
//   if (AnyMouseButton() != 0) PlaySound(0, 0, 1);
double AnyMouseButton();
// Moves the runtime's pointer position (client pixels, truncated); MouseState clamps it to the
// client area.
// Example:
//   SetMousePosition(320, 240);  // start the pointer in the centre
void SetMousePosition(double x, double y);
// Non-zero shows the system pointer and gives the mouse back to the desktop; 0 hides the pointer
// and takes the mouse for the game alone (relative movement).
// Example:
//   ShowSystemPointer(0);  // a first-person view: the mouse turns, no pointer
//   ShowSystemPointer(1);  // back in the menu
void ShowSystemPointer(double on);

}  // namespace quillon
