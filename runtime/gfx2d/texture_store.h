// The image slot store of the graphics device: every image the runtime draws lives in one of
// its numbered slots, as a power-of-two texture plus the image's true size.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/gfx2d/rgba_image.h"
#include "runtime/values/string_value.h"

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
  int32_t paddedWidth = -1;
  int32_t paddedHeight = -1;
  int32_t width = 0;
  int32_t height = 0;
  // Alpha of the texture, read back on the first collision test that needs it.
  std::unique_ptr<uint8_t[]> alphaMask;
};

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
  std::vector<TextureSlot> slots = std::vector<TextureSlot>(kTextureSlotCount);
  // What BindSlotTexture last bound.
  int32_t boundSlot = 0;
  int32_t boundSecondSlot = -1;
  bool boundMip = false;
  // Intensity of SetAlphaMode, also the GL colour sprites are modulated with.
  float globalAlpha = 0.0f;
  // 0 is the background drawn under every frame; 1 and 3 serve the fade and text entry.
  std::vector<Surface> surfaces = std::vector<Surface>(kSurfaceCount);
};

// Truncates a command's number toward zero; false for NaN or a value outside [low, high].
bool TruncateToRange(double value, int32_t low, int32_t high, int32_t& result);
// A command's sprite slot number: 0 to FontSlotBase - 1.
bool SpriteSlotNumber(double value, int32_t& slot);

// The slot, or null when there is no graphics device or the number is outside the store.
TextureSlot* FindSlot(int32_t slot);

// Empties the slot; its textures are deleted only while the device's context is live.
void FreeSlot(int32_t slot);
// Empties every slot and every surface of the device (at window destruction and program end).
void FreeAllSlots(OpenGLRainbows& device);
void FreeAllSlots();

// Decodes a BMP file, else a PNG file; false (image empty) when neither works.
bool DecodeImageFile(const char* path, int32_t colourKey, RgbaImage& image);

// Frees the slot, then fills it from the file (BMP, else PNG). Sprite slots get linear
// filtering, colour bleeding and a mipmapped copy; font slots point filtering only.
bool LoadImageIntoSlot(int32_t slot, const char* path, int32_t colourKey, bool bump);

// Makes the slot's texture current (a negative slot switches texturing off). With a second slot
// and multitexturing, unit 0 gets the second slot's texture and unit 1 the first's. names, when
// given, replaces the store's texture names (indexed by slot).
void BindSlotTexture(int32_t slot, int32_t secondSlot, bool useMip, const uint32_t* names);

// paddedWidth x paddedHeight alpha bytes of the slot's texture, row 0 its bottom row; read on
// first use and kept until the slot changes. Null for an empty or unknown slot.
const uint8_t* AlphaMask(int32_t slot);

// Commands.
void LoadSprite(const StringValue& file, double slot);
void LoadBumpSprite(const StringValue& file, double slot);
void GetSpriteSize(double slot, double& width, double& height);
double SpriteTextureName(double slot);

}  // namespace quillon
