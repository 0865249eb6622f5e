// Drawing a slot's image: plain, rotated and zoomed, stretched, zoomed about its centre, and as
// a camera-facing billboard in 3D space.
#pragma once

namespace quillon {

// Commands. Sprite slots are 0 to 65519; other numbers and empty slots draw nothing, and so do
// non-finite positions, angles, sizes and zooms (or any too large for a float).
// Draws the slot's image at its own size with its top-left pixel at (x, y), rounded up.
// Example:
//   LoadSprite("ship.png", 1);
//   DrawSprite(1, 304, 400);  // the image's top-left pixel at (304, 400)
void DrawSprite(double slot, double x, double y);
// As DrawSprite, turned by angle degrees about the image's centre.
// Example:
//   double heading = 30;  // degrees
//   DrawSpriteRotated(1, 304, 400, heading);
void DrawSpriteRotated(double slot, double x, double y, double angle);
// As DrawSprite, turned by angle degrees and scaled by zoom about the image's centre.
// Example:
//   double spin = 0;
//   DrawSpriteRotoZoom(1, 304, 200, spin, 2);  // twice the size, turned about its centre
//   spin += 3;
void DrawSpriteRotoZoom(double slot, double x, double y, double angle, double zoom);
// Draws the image stretched to width x height pixels, its top-left at (x, y).
// Example:
//   LoadSprite("healthbar.png", 2);
//   double health = 0.6;  // 0 to 1
//   DrawSpriteStretched(2, 8, 460, 200 * health, 12);
void DrawSpriteStretched(double slot, double x, double y, double width, double height);
// As DrawSprite, scaled by zoomX across and zoomY down about the image's centre.
// Example:
//   double pulse = 1 + 0.1 * SinDeg(ElapsedMilliseconds() / 4);
//   DrawSpriteZoomed(1, 304, 224, pulse, pulse);  // grows and shrinks about its centre
void DrawSpriteZoomed(double slot, double x, double y, double zoomX, double zoomY);

// The image standing on (x, y, z), facing the camera of the current modelview matrix; used by
// the 3D renderer. The binding current before is restored afterwards.
// Example:
//   LoadSprite("tree.png", 3);
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 20, -60, 0, 0, 0);
//   DrawBillboard(3, 10, 0, 5, 0.5);  // a tree standing on the ground at (10, 0, 5)
void DrawBillboard(double slot, double x, double y, double z, double scale);

}  // namespace quillon
