// The 2D coordinate system and render state shared by every 2D command.
#pragma once

namespace quillon {

// Commands.
// 0: opaque drawing; below 0: alpha blending at intensity min(-mode, 1); above 0: additive at
// min(mode, 1); a non-finite mode changes nothing. Lasts until the next ShowScreen, which sets 0.
// Example:
//   LoadSprite("ghost.png", 1);
//   SetAlphaMode(-0.5);  // half transparent
//   DrawSprite(1, 200, 150);
//   SetAlphaMode(0);
void SetAlphaMode(double mode);
// Draws into the rectangle (x, y, width, height) of the client area with (0, 0) at its top-left;
// a width or height of 0 or less means the whole area. Lasts until the next ShowScreen.
// Example:
//   SetViewport(0, 0, 320, 480);    // left player's half
//   DrawSprite(1, 100, 200);
//   SetViewport(320, 0, 320, 480);  // right player's half
//   DrawSprite(2, 100, 200);
void SetViewport(double x, double y, double width, double height);
// The client area in pixels; 0 and 0 without a window.
// Example:
//   double width = 0, height = 0;
//   GetScreenSize(width, height);
//   PrintText("READY", width / 2 - 20, height / 2);
void GetScreenSize(double& width, double& height);

}  // namespace quillon
