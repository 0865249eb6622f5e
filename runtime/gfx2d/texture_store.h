// Loading images into the numbered sprite slots, and what a slot holds.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Slots are 0 to 65519; other numbers do nothing (or give 0).
// Loads a BMP (8, 24, 32 bit) or PNG file into the slot; red 255, green 0, blue 128 becomes
// transparent. A file that is missing or does not decode leaves the slot empty.
// Example:
//   LoadSprite("ship.png", 1);  // pixels of red 255, green 0, blue 128 are see-through
//   DrawSprite(1, 320, 400);
void LoadSprite(const StringValue& file, double slot);
// As LoadSprite, for a normal map used by 3D bump mapping.
// Example:
//   LoadSprite("wall.png", 1);
//   LoadBumpSprite("wall-normals.png", 2);
//   SetObjectTexture(1, 2, 1);  // the wall's picture and its bumps for the next object drawn
void LoadBumpSprite(const StringValue& file, double slot);
// The image's width and height in pixels; 0 and 0 for an empty slot.
// Example:
//   double width = 0, height = 0;
//   GetSpriteSize(1, width, height);
//   DrawSprite(1, (640 - width) / 2, 480 - height);  // centred at the bottom
void GetSpriteSize(double slot, double& width, double& height);
// The GL texture name of the slot's image, for programs that draw with GL; 0 when empty.
// Example:
//   double texture = SpriteTextureName(1);  // for a program's own GL drawing; 0 when empty
double SpriteTextureName(double slot);

}  // namespace quillon
