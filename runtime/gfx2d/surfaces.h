// Off-screen surfaces (full-screen pictures as grids of tiles), the background drawn under every
// frame, and grabbing a screen rectangle into a sprite slot.
#pragma once

#include <cstdint>

#include "runtime/gfx2d/texture_store.h"
#include "runtime/values/string_value.h"

namespace quillon {

// Commands.
// The screen rectangle with top-left (x, y) into a sprite slot, which records the size asked for
// (its texture is cut at the driver's limit and 64 MiB); a side below 1, a size no image may
// have, or a slot outside 0 to 65519 does nothing.
// Example:
//   FillRect(0, 0, 15, 15, 0x00FFFF);   // paint a picture once...
//   GrabSprite(5, 0, 0, 16, 16);         // ...and keep it as sprite 5
//   DrawSprite(5, 200, 200);
void GrabSprite(double slot, double x, double y, double width, double height);
// The frame being drawn becomes the background under every later frame.
// Example:
//   for (int i = 0; i < 40; ++i) DrawSprite(10, 16 * i, 448);  // a floor of tiles, drawn once
//   GrabBackground();  // every later frame starts from this picture
void GrabBackground();
// An image file becomes the background (and is drawn now); one that does not decode leaves no
// background and a black frame.
// Example:
//   LoadBackground("level1.png");
void LoadBackground(const StringValue& file);
// No background: frames start black.
// Example:
//   ClearBackground();  // frames start black again
void ClearBackground();
// Cross-fades from the frame being drawn to the image file over 1.5 s of frames; the image then
// stays as the background. 1 when it did, 0 when the file is missing or does not decode.
// Example:
//   if (FadeToBackground("level2.png") == 0) LoadBackground("fallback.png");
double FadeToBackground(const StringValue& file);

}  // namespace quillon
