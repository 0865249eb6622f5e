// BMP files of 8, 24 and 32 bits per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/gfx2d/rgba_image.h"

namespace quillon {

// Decodes the file into out, top row first; pixels whose packed colour equals colourKey (unless
// it is kNoColourKey) become all zero. On failure out is empty and false is returned.
bool ReadBmpImage(const char* path, int32_t colourKey, RgbaImage& out);
// The same for a file already in memory.
bool DecodeBmpImage(const uint8_t* data, size_t size, int32_t colourKey, RgbaImage& out);

}  // namespace quillon
