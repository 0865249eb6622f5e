// Saving the screen or a sprite as a 24-bit BMP file, or as a PNG file when the name asks for it.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands: 1 when the file was written, else 0. File names are used as they are.
// Saves the frame being drawn (SaveScreen) or the slot's image (SaveSprite): a PNG file when the
// name ends in .png (in any case), else a 24-bit BMP.
// Example:
//   if (KeyDown(88) != 0) SaveScreen("screenshot.png");  // F12
//   LoadSprite("ship.png", 1);
//   SaveSprite(1, "ship-copy.bmp");
double SaveScreen(const StringValue& file);
double SaveSprite(double slot, const StringValue& file);

}  // namespace quillon
