#include "runtime/gfx2d/texture_store.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx2d/bmp_reader.h"
#include "runtime/gfx2d/png_reader.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

bool ContextLive(const OpenGLRainbows& device) { return device.ready != 0; }

void EmptySlot(TextureSlot& slot, bool deleteTextures) {
  if (deleteTextures) {
    if (slot.texture != 0) glDeleteTextures(1, &slot.texture);
    if (slot.mipTexture != 0) glDeleteTextures(1, &slot.mipTexture);
  }
  slot.texture = 0;
  slot.mipTexture = 0;
  slot.mipPending = false;
  slot.paddedWidth = -1;
  slot.paddedHeight = -1;
  slot.width = 0;
  slot.height = 0;
  DiscardMasks(slot);
}

void MakeSlotMipCopy(TextureSlot& slot) {
  slot.mipPending = false;
  MakeMipmappedCopy(slot.texture, slot.mipTexture);
}

[[maybe_unused]] const bool mipCopyMakerInstalled = (InstallMipCopyMaker(MakeSlotMipCopy), true);

void LoadSpriteFile(const StringValue& file, double slotNumber, bool bump) {
  int32_t slot = 0;
  if (!SpriteSlotNumber(slotNumber, slot)) return;
  FreeSlot(slot);
  StringValue path;
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) == 0) return;
  LoadImageIntoSlot(slot, path.CStr(), SpriteColourKey, bump);
}

}  // namespace

bool DecodeImageFile(const char* path, int32_t colourKey, RgbaImage& image) {
  std::vector<uint8_t> bytes;
  if (!ReadImageFileBytes(path, bytes)) return false;
  return DecodeBmpImage(bytes.data(), bytes.size(), colourKey, image) ||
         DecodePngImage(bytes.data(), bytes.size(), path, colourKey, image);
}

bool TruncateToRange(double value, int32_t low, int32_t high, int32_t& result) {
  if (std::isnan(value)) return false;
  double t = std::trunc(value);
  if (t < low || t > high) return false;
  result = static_cast<int32_t>(t);
  return true;
}

bool SpriteSlotNumber(double value, int32_t& slot) {
  return TruncateToRange(value, 0, FontSlotBase - 1, slot);
}

void FreeSlot(int32_t slot) {
  TextureSlot* s = FindSlot(slot);
  if (s == nullptr) return;
  bool live = ContextLive(*runtimeState.graphics);
  // A pending draw may still name this texture.
  if (live) Flush2DBatch();
  EmptySlot(*s, live);
}

void FreeAllSlots(OpenGLRainbows& device) {
  bool live = ContextLive(device);
  if (live) {
    Flush2DBatch();
  } else {
    Discard2DBatch();
  }
  device.textures.slots.ForEach([live](TextureSlot& slot) { EmptySlot(slot, live); });
  device.textures.surfaces.ForEach([live](Surface& surface) { EmptySurface(surface, live); });
}

void FreeAllSlots() {
  if (runtimeState.graphics != nullptr) FreeAllSlots(*runtimeState.graphics);
}

bool LoadImageIntoSlot(int32_t slot, const char* path, int32_t colourKey, bool bump) {
  TextureSlot* s = FindSlot(slot);
  if (s == nullptr) return false;
  FreeSlot(slot);
  if (!ContextLive(*runtimeState.graphics)) return false;
  RgbaImage image;
  if (!DecodeImageFile(path, colourKey, image) || image.width == 0 || image.height == 0) {
    return false;
  }
  bool sprite = slot < FontSlotBase;
  uint32_t texture = 0;
  if (!UploadTexture(image, 0, 0, image.width, image.height, texture, bump, !sprite)) {
    return false;
  }
  s->texture = texture;
  s->mipPending = sprite;
  s->paddedWidth = PaddedSize(image.width);
  s->paddedHeight = PaddedSize(image.height);
  s->width = image.width;
  s->height = image.height;
  return true;
}

std::unique_ptr<uint8_t[]> ReadAlphaMask(const TextureSlot& s) {
  if (s.texture == 0 || s.paddedWidth <= 0 || s.paddedHeight <= 0) return nullptr;
  Flush2DBatch();
  glBindTexture(GL_TEXTURE_2D, s.texture);
  GLint textureWidth = 0, textureHeight = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
  size_t size = static_cast<size_t>(s.paddedWidth) * s.paddedHeight;
  // A texture clamped to the driver's maximum is smaller than the padded size, never larger;
  // the read must fit the buffer either way.
  if (textureWidth > s.paddedWidth || textureHeight > s.paddedHeight) return nullptr;
  auto mask = std::make_unique<uint8_t[]>(size);
  // Rows keep the padded pitch even when the driver cut the texture to its maximum size.
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, s.paddedWidth);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask.get());
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  return mask;
}

const uint8_t* AlphaMask(int32_t slot) {
  TextureSlot* s = FindSlot(slot);
  if (s == nullptr) return nullptr;
  if (s->alphaMask == nullptr) s->alphaMask = ReadAlphaMask(*s);
  return s->alphaMask.get();
}

void LoadSprite(const StringValue& file, double slot) { LoadSpriteFile(file, slot, false); }

void LoadBumpSprite(const StringValue& file, double slot) { LoadSpriteFile(file, slot, true); }

void GetSpriteSize(double slot, double& width, double& height) {
  int32_t n = 0;
  TextureSlot* s = SpriteSlotNumber(slot, n) ? FindSlot(n) : nullptr;
  width = s != nullptr ? s->width : 0;
  height = s != nullptr ? s->height : 0;
}

double SpriteTextureName(double slot) {
  int32_t n = 0;
  TextureSlot* s = SpriteSlotNumber(slot, n) ? FindSlot(n) : nullptr;
  return s != nullptr ? s->texture : 0;
}

}  // namespace quillon
