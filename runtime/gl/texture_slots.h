// The texture slot table of the graphics device, shared by 2D and 3D: every image the runtime
// draws lives in one of its numbered slots, as a power-of-two texture plus the image's true size.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/core/lazy_table.h"

namespace quillon {

class OpenGLRainbows;

constexpr int32_t kTextureSlotCount = 65536;
// Slots from here on hold the 16 fonts; sprite commands reach only the slots below.
constexpr int32_t FontSlotBase = 65520;
constexpr int32_t kFontCount = 16;
// Red 255, green 0, blue 128: the transparent colour of sprite images.
constexpr int32_t SpriteColourKey = 0x8000FF;

struct TextureSlot {
  uint32_t texture = 0;     // for 2D drawing and collision
  uint32_t mipTexture = 0;  // mipmapped copy for 3D use; 0 for fonts and grabs
  // A sprite loaded from a file whose mipmapped copy is not made yet: it is made from the
  // texture on the slot's first binding for 3D use, as most sprites are only ever drawn in 2D.
  bool mipPending = false;
  int32_t paddedWidth = -1;
  int32_t paddedHeight = -1;
  int32_t width = 0;
  int32_t height = 0;
  // Alpha of the texture, read back on the first collision test that needs it.
  std::unique_ptr<uint8_t[]> alphaMask;
  // The same mask as bits, 64 pixels a word, the image's top row first; each row has
  // SolidWords(width) words, the last always 0 so a shifted read may look one word past the image.
  std::unique_ptr<uint64_t[]> solidBits;
};

inline int64_t SolidWords(int32_t width) { return ((int64_t{width} + 63) >> 6) + 1; }

// Both masks go whenever the slot's picture changes.
inline void DiscardMasks(TextureSlot& slot) {
  slot.alphaMask.reset();
  slot.solidBits.reset();
}

// A full-screen picture kept as a grid of textures, because a whole screen does not fit one
// texture on all hardware. Tile (c, r) is tiles[c * kSurfaceGridSide + r]; all tiles of a
// surface share one padded size T and tile (c, r) covers screen pixels from (c * T, r * T).
constexpr int32_t kSurfaceCount = 16;
constexpr int32_t kSurfaceGridSide = 64;
constexpr int32_t kSurfaceTileCount = kSurfaceGridSide * kSurfaceGridSide;

struct SurfaceTile {
  uint32_t texture = 0;
  int32_t paddedWidth = 0;
  int32_t paddedHeight = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Empty: every field 0.
struct Surface {
  SurfaceTile tiles[kSurfaceTileCount];
  int32_t columns = 0;
  int32_t rows = 0;
};

struct TextureStore {
  LazyTable<TextureSlot, kTextureSlotCount, 256> slots;
  // What BindSlotTexture last bound.
  int32_t boundSlot = 0;
  int32_t boundSecondSlot = -1;
  bool boundMip = false;
  // Intensity of SetAlphaMode, also the GL colour sprites are modulated with.
  float globalAlpha = 0.0f;
  // 0 is the background drawn under every frame; 1 and 3 serve the fade and text entry.
  LazyTable<Surface, kSurfaceCount, 1> surfaces;
};

// The slot, or null when there is no graphics device or the number is outside the store.
TextureSlot* FindSlot(int32_t slot);

// Whether binding the slot for 3D use gives a mipmapped texture: it has one or makes one then.
inline bool HasMipmappedCopy(const TextureSlot& slot) {
  return slot.mipTexture != 0 || slot.mipPending;
}
// Installs what makes a pending mipmapped copy (the image loader does, as it leaves them pending).
void InstallMipCopyMaker(void (*maker)(TextureSlot& slot));

// Makes the slot's texture current (a negative slot switches texturing off). With a second slot
// and multitexturing, unit 0 gets the second slot's texture and unit 1 the first's. names, when
// given, replaces the store's texture names (indexed by slot). useMip binds the mipmapped copies,
// making pending ones first.
void BindSlotTexture(int32_t slot, int32_t secondSlot, bool useMip, const uint32_t* names);

// The device while its context is current, else null: GL calls are safe only then.
OpenGLRainbows* LiveDevice();

}  // namespace quillon
