// Writing pixels to BMP and PNG files, shared by the save commands and the automation.
#pragma once

#include <cstdint>

namespace quillon {

// pixels: height rows of rowLength pixels, bottom row first, three bytes each (blue, green, red);
// the leftmost width pixels of each row are written. A name longer than 4 characters ending in
// ".png" (any case) gives a PNG file with pixels of blue 128 and green 0 transparent, any other
// name a BMP file. False when the file cannot be written or the sizes make no image.
bool SaveImage(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t rowLength);

// True for the names SaveImage writes as PNG.
bool IsPngFileName(const char* path);

}  // namespace quillon
