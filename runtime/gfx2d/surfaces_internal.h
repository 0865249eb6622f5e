// Surfaces for the other graphics code: loading, grabbing, drawing and freeing by number.
#pragma once

#include <cstdint>

#include "runtime/gl/texture_slots.h"

namespace quillon {

// Surface n (0 to 15; other numbers do nothing) from an image file, in tiles of at most 512;
// false, the surface left as it was, when the file does not decode.
bool LoadSurface(int32_t n, const char* path);

// The drawing area into surface n, in tiles as large as the hardware allows (one texture of the
// area's own size where the driver takes any size and one tile holds the area); tiles of the
// same size are refilled in place.
void GrabSurface(int32_t n);

// Draws surface n from the top-left corner, with the blend mode and alpha in force.
void DrawSurface(int32_t n);

void FreeSurface(int32_t n);

// Clears the record; its textures are deleted only while the context is live.
void EmptySurface(Surface& surface, bool deleteTextures);

// The largest texture side in use: the driver's, or a smaller limit set for tests (0 lifts it).
int32_t MaxTextureSize();

void SetTextureSizeLimitForTesting(int32_t limit);

// Green bits of the framebuffer as GrabSprite sees them (0: ask the driver, once).
void SetGreenBitsForTesting(int32_t bits);

}  // namespace quillon
