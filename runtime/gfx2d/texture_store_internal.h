// Plumbing of the image slot store: loading into slots, freeing, alpha masks.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/gfx2d/rgba_image.h"
#include "runtime/gl/texture_slots.h"

namespace quillon {

// Truncates a command's number toward zero; false for NaN or a value outside [low, high].
bool TruncateToRange(double value, int32_t low, int32_t high, int32_t& result);
// A command's sprite slot number: 0 to FontSlotBase - 1.
bool SpriteSlotNumber(double value, int32_t& slot);

// Empties the slot; its textures are deleted only while the device's context is live.
void FreeSlot(int32_t slot);
// Empties every slot and every surface of the device (at window destruction and program end).
void FreeAllSlots(OpenGLRainbows& device);
void FreeAllSlots();

// Decodes a BMP file, else a PNG file; false (image empty) when neither works.
bool DecodeImageFile(const char* path, int32_t colourKey, RgbaImage& image);

// Frees the slot, then fills it from the file (BMP, else PNG). Sprite slots get linear
// filtering, colour bleeding and a pending mipmapped copy; font slots point filtering only.
bool LoadImageIntoSlot(int32_t slot, const char* path, int32_t colourKey, bool bump);

// paddedWidth x paddedHeight alpha bytes of the slot's texture, row 0 its bottom row; read on
// first use and kept until the slot changes. Null for an empty or unknown slot.
const uint8_t* AlphaMask(int32_t slot);
// The same bytes read afresh and kept by the caller (collision keeps only their packed bits).
std::unique_ptr<uint8_t[]> ReadAlphaMask(const TextureSlot& slot);

}  // namespace quillon
