// Saving the screen or a sprite as a 24-bit BMP file, or as a PNG file when the name asks for it.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands: 1 when the file was written, else 0. File names are used as they are.
double SaveScreen(const StringValue& file);
double SaveSprite(double slot, const StringValue& file);

// pixels: height rows of rowLength pixels, bottom row first, three bytes each (blue, green, red);
// the leftmost width pixels of each row are written. A name longer than 4 characters ending in
// ".png" (any case) gives a PNG file with pixels of blue 128 and green 0 transparent, any other
// name a BMP file. False when the file cannot be written or the sizes make no image.
bool SaveImage(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t rowLength);

// True for the names SaveImage writes as PNG.
bool IsPngFileName(const char* path);

}  // namespace quillon
