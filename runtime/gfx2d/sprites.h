// Drawing a slot's image: plain, rotated and zoomed, stretched, zoomed about its centre, and as
// a camera-facing billboard in 3D space.
#pragma once

namespace quillon {

// Commands. Sprite slots are 0 to 65519; other numbers and empty slots draw nothing, and so do
// non-finite positions, angles, sizes and zooms (or any too large for a float).
void DrawSprite(double slot, double x, double y);
void DrawSpriteRotated(double slot, double x, double y, double angle);
void DrawSpriteRotoZoom(double slot, double x, double y, double angle, double zoom);
void DrawSpriteStretched(double slot, double x, double y, double width, double height);
void DrawSpriteZoomed(double slot, double x, double y, double zoomX, double zoomY);

// The image standing on (x, y, z), facing the camera of the current modelview matrix; used by
// the 3D renderer. The binding current before is restored afterwards.
void DrawBillboard(double slot, double x, double y, double z, double scale);

}  // namespace quillon
