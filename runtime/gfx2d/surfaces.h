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
void GrabSprite(double slot, double x, double y, double width, double height);
void GrabBackground();
void LoadBackground(const StringValue& file);
void ClearBackground();
double FadeToBackground(const StringValue& file);

// Surface n (0 to 15; other numbers do nothing) from an image file, in tiles of at most 512;
// false, the surface left as it was, when the file does not decode.
bool LoadSurface(int32_t n, const char* path);
// The drawing area into surface n, in tiles as large as the hardware allows; tiles of the same
// size are refilled in place.
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
