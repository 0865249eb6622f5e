#include "runtime/gl/texture_slots.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "runtime/core/runtime_state.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

void (*mipCopyMaker)(TextureSlot&) = nullptr;

void MakePendingMipCopy(int32_t slot) {
  TextureSlot* s = slot >= 0 ? FindSlot(slot) : nullptr;
  if (s == nullptr || !s->mipPending || mipCopyMaker == nullptr || LiveDevice() == nullptr) return;
  mipCopyMaker(*s);
}

uint32_t SlotTextureName(int32_t slot, bool useMip, const uint32_t* names) {
  if (names != nullptr) return names[slot];
  TextureSlot* s = FindSlot(slot);
  if (s == nullptr) return 0;
  return useMip ? s->mipTexture : s->texture;
}

void SwitchTexturingOff() {
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_COLOR_MATERIAL);
}

void BindOnCurrentUnit(uint32_t name) {
  glBindTexture(GL_TEXTURE_2D, name);
  glEnable(GL_TEXTURE_2D);
}

}  // namespace

TextureSlot* FindSlot(int32_t slot) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || slot < 0 || slot >= kTextureSlotCount) return nullptr;
  return &device->textures.slots[slot];
}

void InstallMipCopyMaker(void (*maker)(TextureSlot& slot)) { mipCopyMaker = maker; }

OpenGLRainbows* LiveDevice() {
  OpenGLRainbows* device = runtimeState.graphics;
  return device != nullptr && device->ready != 0 ? device : nullptr;
}

void BindSlotTexture(int32_t slot, int32_t secondSlot, bool useMip, const uint32_t* names) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || slot >= kTextureSlotCount) return;
  if (secondSlot >= kTextureSlotCount) secondSlot = -1;
  Flush2DBatch();
  if (useMip && names == nullptr) {
    MakePendingMipCopy(slot);
    if (arb.glActiveTextureARB != nullptr) MakePendingMipCopy(secondSlot);
  }
  TextureStore& store = device->textures;
  store.boundSlot = slot;
  store.boundSecondSlot = secondSlot;
  store.boundMip = useMip;

  if (arb.glActiveTextureARB == nullptr) {
    if (slot < 0) {
      SwitchTexturingOff();
    } else {
      BindOnCurrentUnit(SlotTextureName(slot, useMip, names));
    }
    return;
  }
  arb.glActiveTextureARB(GL_TEXTURE1_ARB);
  if (slot < 0 || secondSlot < 0) {
    glDisable(GL_TEXTURE_2D);
  } else {
    BindOnCurrentUnit(SlotTextureName(slot, useMip, names));
  }
  arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  if (slot < 0) {
    SwitchTexturingOff();
  } else {
    BindOnCurrentUnit(SlotTextureName(secondSlot >= 0 ? secondSlot : slot, useMip, names));
  }
}

}  // namespace quillon
