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

// Where the boxes of A and B overlap, in A's pixels, with B's top-left corner at (dx, dy) there;
// right and bottom exclusive, so empty when right <= left or bottom <= top. 64-bit sums:
// positions near the 32-bit limit must not wrap into an overlap.
struct Overlap {
  int64_t left, top, right, bottom;
};

inline Overlap OverlapOf(const TextureSlot& a, const TextureSlot& b, int64_t dx, int64_t dy) {
  return {std::max(dx, int64_t{0}), std::max(dy, int64_t{0}),
          std::min(dx + b.width, int64_t{a.width}), std::min(dy + b.height, int64_t{a.height})};
}

// Packs the alpha mask into rows of bits, top image row first (mask row 0 is the image's last
// row), once per picture. Null when the texture cannot be read back.
[[gnu::noinline, gnu::cold]] const uint64_t* BuildSolidBits(TextureSlot& slot) {
  if (slot.width > slot.paddedWidth || slot.height > slot.paddedHeight) return nullptr;
  const uint8_t* alpha = AlphaMask(slot);
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

inline const uint64_t* SolidBits(TextureSlot& slot) {
  const uint64_t* bits = slot.solidBits.get();
  return bits != nullptr ? bits : BuildSolidBits(slot);
}

// 64 pixels of a row from pixel `offset` on; the row's spare word makes the second read safe.
inline uint64_t BitsAt(const uint64_t* row, int64_t offset) {
  const uint64_t* w = row + (offset >> 6);
  unsigned shift = static_cast<unsigned>(offset & 63);
  return (w[0] >> shift) | ((w[1] << 1) << (63 - shift));
}

// Rows of the overlap, top to bottom, 64 columns a step. Out of line and reached by a jump, so
// that the box test before it needs no stack frame.
[[gnu::noinline]] double MasksOverlap(TextureSlot& a, TextureSlot& b, int64_t dx, int64_t dy) {
  const uint64_t* bitsA = SolidBits(a);
  const uint64_t* bitsB = SolidBits(b);
  if (bitsA == nullptr || bitsB == nullptr) return 0;
  const Overlap o = OverlapOf(a, b, dx, dy);
  const int64_t strideA = SolidWords(a.width), strideB = SolidWords(b.width);
  const int64_t startA = o.left, startB = o.left - dx;
  const uint64_t* rowA = bitsA + o.top * strideA;
  const uint64_t* rowB = bitsB + (o.top - dy) * strideB;
  const int64_t lastWord = (o.right - o.left - 1) & ~int64_t{63};
  const uint64_t lastMask = ~uint64_t{0} >> (63 - ((o.right - o.left - 1) & 63));
  for (int64_t y = o.top; y < o.bottom; ++y, rowA += strideA, rowB += strideB) {
    for (int64_t i = 0; i < lastWord; i += 64) {
      if ((BitsAt(rowA, startA + i) & BitsAt(rowB, startB + i)) != 0) return 1;
    }
    if ((BitsAt(rowA, startA + lastWord) & BitsAt(rowB, startB + lastWord) & lastMask) != 0) {
      return 1;
    }
  }
  return 0;
}

}  // namespace

double SpriteCollision(double slotA, double xA, double yA, double slotB, double xB, double yB) {
  // Called for every bullet every frame, so the boxes come first and cheaply, without a call or
  // an allocation: truncation toward zero keeps -0.9 as slot 0, and NaN or a number out of range
  // gives INT32_MIN, which as an unsigned number is no sprite slot. An empty slot, or one in a
  // block of the table never touched, has width 0 and overlaps nothing.
  const uint32_t slotNumberA = static_cast<uint32_t>(TruncateToInt32(slotA));
  const uint32_t slotNumberB = static_cast<uint32_t>(TruncateToInt32(slotB));
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || slotNumberA >= FontSlotBase || slotNumberB >= FontSlotBase) return 0;
  TextureSlot* a = device->textures.slots.Find(static_cast<int32_t>(slotNumberA));
  TextureSlot* b = device->textures.slots.Find(static_cast<int32_t>(slotNumberB));
  if (a == nullptr || b == nullptr) return 0;
  const int64_t dx = int64_t{TruncateToInt32(xB)} - TruncateToInt32(xA);
  const int64_t dy = int64_t{TruncateToInt32(yB)} - TruncateToInt32(yA);
  const Overlap o = OverlapOf(*a, *b, dx, dy);
  // One branch for both axes: which axis misses varies from pair to pair.
  if (std::min(o.right - o.left, o.bottom - o.top) <= 0) return 0;
  return MasksOverlap(*a, *b, dx, dy);
}

}  // namespace quillon
