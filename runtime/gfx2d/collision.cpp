#include "runtime/gfx2d/collision.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// A sprite as the test places it: screen box and, once needed, its mask.
struct PlacedSprite {
  int32_t slot = 0;
  const TextureSlot* store = nullptr;
  int64_t x = 0, y = 0, w = 0, h = 0;
  const uint8_t* mask = nullptr;
  int64_t pitch = 0;
};

// The overlap in screen pixels, right and bottom exclusive.
struct Overlap {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// Called for every bullet every frame: the slot number is checked with two comparisons
// (truncation toward zero keeps -0.9 as slot 0) instead of a library call.
bool PlaceSprite(double slot, double x, double y, PlacedSprite& sprite) {
  if (!(slot > -1.0 && slot < FontSlotBase)) return false;
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr) return false;
  sprite.slot = static_cast<int32_t>(slot);
  sprite.store = &device->textures.slots[sprite.slot];
  if (sprite.store->width <= 0 || sprite.store->height <= 0) return false;
  sprite.x = TruncateToInt32(x);
  sprite.y = TruncateToInt32(y);
  sprite.w = sprite.store->width;
  sprite.h = sprite.store->height;
  return true;
}

// 64-bit sums: positions near the 32-bit limit must not wrap into an overlap.
bool FindOverlap(const PlacedSprite& a, const PlacedSprite& b, Overlap& o) {
  o.left = std::max(a.x, b.x);
  o.right = std::min(a.x + a.w, b.x + b.w);
  o.top = std::max(a.y, b.y);
  o.bottom = std::min(a.y + a.h, b.y + b.h);
  return o.left < o.right && o.top < o.bottom;
}

bool LoadMask(PlacedSprite& sprite) {
  const std::unique_ptr<uint8_t[]>& cached = sprite.store->alphaMask;
  sprite.mask = cached != nullptr ? cached.get() : AlphaMask(sprite.slot);
  sprite.pitch = sprite.store->paddedWidth;
  return sprite.mask != nullptr;
}

// Mask row of a screen row: row 0 holds the image's last row.
const uint8_t* MaskRow(const PlacedSprite& s, int64_t screenY, int64_t left) {
  return s.mask + (s.y + s.h - 1 - screenY) * s.pitch + (left - s.x);
}

// Every second row from top + rowPhase, every second column from left + columnPhase.
bool ScanPass(const PlacedSprite& a, const PlacedSprite& b, const Overlap& o, int rowPhase,
              int columnPhase) {
  int64_t columns = o.right - o.left;
  for (int64_t y = o.top + rowPhase; y < o.bottom; y += 2) {
    const uint8_t* rowA = MaskRow(a, y, o.left);
    const uint8_t* rowB = MaskRow(b, y, o.left);
    for (int64_t i = columnPhase; i < columns; i += 2) {
      if (rowA[i] != 0 && rowB[i] != 0) return true;
    }
  }
  return false;
}

}  // namespace

double SpriteCollision(double slotA, double xA, double yA, double slotB, double xB, double yB) {
  PlacedSprite a, b;
  Overlap o;
  // Boxes first: most pairs end here without touching a mask.
  if (!PlaceSprite(slotA, xA, yA, a) || !PlaceSprite(slotB, xB, yB, b) || !FindOverlap(a, b, o)) {
    return 0;
  }
  if (!LoadMask(a) || !LoadMask(b)) return 0;
  // A coarse 2 x 2 grid over the whole overlap first: overlapping sprites are usually found
  // after a quarter of the probes. The answer is that of a full scan.
  bool hit = ScanPass(a, b, o, 0, 0) || ScanPass(a, b, o, 0, 1) || ScanPass(a, b, o, 1, 0) ||
             ScanPass(a, b, o, 1, 1);
  return hit ? 1 : 0;
}

}  // namespace quillon
