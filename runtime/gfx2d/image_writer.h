// Saving the screen or a sprite as a 24-bit BMP file, or as a PNG file when the name asks for it.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands: 1 when the file was written, else 0. File names are used as they are.
double SaveScreen(const StringValue& file);
double SaveSprite(double slot, const StringValue& file);

}  // namespace quillon
