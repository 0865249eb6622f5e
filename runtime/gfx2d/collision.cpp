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

// Two sprites whose boxes overlap: slots, top-left corners and the overlap in screen pixels,
// right and bottom exclusive.
struct Pair {
  TextureSlot* storeA;
  TextureSlot* storeB;
  int64_t xA, yA, xB, yB;
  int64_t left, top, right, bottom;
};

// Packs the alpha mask into rows of bits, top image row first (mask row 0 is the image's last
// row). Null when the texture cannot be read back. The bytes are not kept: the bits are an
// eighth of their size and all that collision reads.
const uint64_t* SolidBits(TextureSlot& slot) {
  if (slot.solidBits != nullptr) return slot.solidBits.get();
  if (slot.width > slot.paddedWidth || slot.height > slot.paddedHeight) return nullptr;
  std::unique_ptr<uint8_t[]> read;
  const uint8_t* alpha = slot.alphaMask.get();
  if (alpha == nullptr) {
    read = ReadAlphaMask(slot);
    alpha = read.get();
  }
  if (alpha == nullptr) return nullptr;
  const int64_t words = SolidWords(slot.width);
  auto bits = std::make_unique<uint64_t[]>(words * slot.height);
  for (int64_t row = 0; row < slot.height; ++row) {
    const uint8_t* bytes = alpha + (slot.height - 1 - row) * int64_t{slot.paddedWidth};
    uint64_t* out = bits.get() + row * words;
    for (int64_t i = 0; i < slot.width; ++i) {
      out[i >> 6] |= uint64_t{bytes[i] != 0} << (i & 63);
    }
  }
  slot.solidBits = std::move(bits);
  return slot.solidBits.get();
}

// 64 pixels of a row from pixel `offset` on; the row's spare word makes the second read safe.
inline uint64_t BitsAt(const uint64_t* row, int64_t offset) {
  const uint64_t* w = row + (offset >> 6);
  unsigned shift = static_cast<unsigned>(offset & 63);
  return (w[0] >> shift) | ((w[1] << 1) << (63 - shift));
}

// Rows of the overlap, top to bottom, 64 columns a step.
bool SolidOverlap(const Pair& p, const uint64_t* bitsA, const uint64_t* bitsB) {
  const int64_t columns = p.right - p.left, lastWord = (columns - 1) & ~int64_t{63};
  const uint64_t lastMask = ~uint64_t{0} >> (63 - ((columns - 1) & 63));
  const int64_t strideA = SolidWords(p.storeA->width), strideB = SolidWords(p.storeB->width);
  const int64_t startA = p.left - p.xA, startB = p.left - p.xB;
  const uint64_t* rowA = bitsA + (p.top - p.yA) * strideA;
  const uint64_t* rowB = bitsB + (p.top - p.yB) * strideB;
  for (int64_t y = p.top; y < p.bottom; ++y, rowA += strideA, rowB += strideB) {
    for (int64_t i = 0; i < lastWord; i += 64) {
      if ((BitsAt(rowA, startA + i) & BitsAt(rowB, startB + i)) != 0) return true;
    }
    if ((BitsAt(rowA, startA + lastWord) & BitsAt(rowB, startB + lastWord) & lastMask) != 0) {
      return true;
    }
  }
  return false;
}

// Out of line, so that the box test before it stays a short leaf.
[[gnu::noinline]] bool MasksOverlap(const Pair& p) {
  const uint64_t* bitsA = SolidBits(*p.storeA);
  const uint64_t* bitsB = SolidBits(*p.storeB);
  return bitsA != nullptr && bitsB != nullptr && SolidOverlap(p, bitsA, bitsB);
}

}  // namespace

double SpriteCollision(double slotA, double xA, double yA, double slotB, double xB, double yB) {
  // Called for every bullet every frame, so the boxes come first and cheaply: truncation toward
  // zero keeps -0.9 as slot 0, and NaN or a number out of range gives INT32_MIN, which as an
  // unsigned number is no sprite slot. An empty slot has width 0 and overlaps nothing.
  const uint32_t slotNumberA = static_cast<uint32_t>(TruncateToInt32(slotA));
  const uint32_t slotNumberB = static_cast<uint32_t>(TruncateToInt32(slotB));
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || slotNumberA >= FontSlotBase || slotNumberB >= FontSlotBase) return 0;
  const int64_t ax = TruncateToInt32(xA), ay = TruncateToInt32(yA);
  const int64_t bx = TruncateToInt32(xB), by = TruncateToInt32(yB);
  TextureSlot& a = device->textures.slots[static_cast<int32_t>(slotNumberA)];
  TextureSlot& b = device->textures.slots[static_cast<int32_t>(slotNumberB)];
  // 64-bit sums: positions near the 32-bit limit must not wrap into an overlap.
  const int64_t left = std::max(ax, bx), right = std::min(ax + a.width, bx + b.width);
  const int64_t top = std::max(ay, by), bottom = std::min(ay + a.height, by + b.height);
  if (left >= right || top >= bottom) return 0;
  const Pair pair{&a, &b, ax, ay, bx, by, left, top, right, bottom};
  return MasksOverlap(pair) ? 1 : 0;
}

}  // namespace quillon
