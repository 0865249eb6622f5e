// PNG files reduced to 8-bit grey, RGB or RGBA.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/gfx2d/rgba_image.h"

namespace quillon {

// Decodes the file into out, top row first. The colour key applies to RGB results only (images
// with their own alpha keep every colour). On failure out is empty and false is returned; a
// wrong bit depth or colour type after the conversions is reported on standard output.
bool ReadPngImage(const char* path, int32_t colourKey, RgbaImage& out);
// The same for a file already in memory; path only names the file in the messages.
bool DecodePngImage(const uint8_t* data, size_t size, const char* path, int32_t colourKey,
                    RgbaImage& out);

// The format check after the conversions: true for 8-bit grey, RGB or RGBA. Other depths and
// colour types print their two-line message; other channel counts fail silently.
bool AcceptPngFormat(const char* path, int channels, int bitDepth, int colourType);

}  // namespace quillon
