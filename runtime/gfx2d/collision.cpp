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

// Two sprites whose boxes overlap: their slots, B's top-left corner in A's pixels (dx, dy), and
// the overlap in A's pixels, right and bottom exclusive.
struct Pair {
  TextureSlot* a;
  TextureSlot* b;
  int64_t dx, dy;
  int64_t left, top, right, bottom;
};

// False when the boxes do not overlap, without a call or an allocation: truncation toward zero
// keeps -0.9 as slot 0, and NaN or a number out of range gives INT32_MIN, which as an unsigned
// number is no sprite slot. An empty slot, or one in a block of the table never touched, has
// width 0 and overlaps nothing. 64-bit sums: positions near the 32-bit limit must not wrap into
// an overlap.
inline bool BoxesOverlap(double slotA, double xA, double yA, double slotB, double xB, double yB,
                         Pair& p) {
  const uint32_t slotNumberA = static_cast<uint32_t>(TruncateToInt32(slotA));
  const uint32_t slotNumberB = static_cast<uint32_t>(TruncateToInt32(slotB));
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || slotNumberA >= FontSlotBase || slotNumberB >= FontSlotBase) return false;
  p.a = device->textures.slots.Find(static_cast<int32_t>(slotNumberA));
  p.b = device->textures.slots.Find(static_cast<int32_t>(slotNumberB));
  if (p.a == nullptr || p.b == nullptr) return false;
  p.dx = int64_t{TruncateToInt32(xB)} - TruncateToInt32(xA);
  p.dy = int64_t{TruncateToInt32(yB)} - TruncateToInt32(yA);
  p.left = std::max(p.dx, int64_t{0});
  p.top = std::max(p.dy, int64_t{0});
  p.right = std::min(p.dx + p.b->width, int64_t{p.a->width});
  p.bottom = std::min(p.dy + p.b->height, int64_t{p.a->height});
  // One branch for both axes: which axis misses varies from pair to pair.
  return std::min(p.right - p.left, p.bottom - p.top) > 0;
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

// The overlap's top row in A and in B.
inline const uint64_t* TopRowA(const Pair& p, const uint64_t* bits) {
  return bits + p.top * SolidWords(p.a->width);
}
inline const uint64_t* TopRowB(const Pair& p, const uint64_t* bits) {
  return bits + (p.top - p.dy) * SolidWords(p.b->width);
}

// Every row of the overlap, top to bottom, 64 columns a step; builds the masks on first use.
// Takes the command's own arguments, still in their registers, so the caller reaches it by a
// jump and keeps no stack frame.
[[gnu::noinline]] double ScanMasks(double slotA, double xA, double yA, double slotB, double xB,
                                   double yB) {
  Pair p;
  if (!BoxesOverlap(slotA, xA, yA, slotB, xB, yB, p)) return 0;
  const uint64_t* bitsA = SolidBits(*p.a);
  const uint64_t* bitsB = SolidBits(*p.b);
  if (bitsA == nullptr || bitsB == nullptr) return 0;
  const int64_t strideA = SolidWords(p.a->width), strideB = SolidWords(p.b->width);
  const int64_t startA = p.left, startB = p.left - p.dx;
  const int64_t lastWord = (p.right - p.left - 1) & ~int64_t{63};
  const uint64_t lastMask = ~uint64_t{0} >> (63 - ((p.right - p.left - 1) & 63));
  const uint64_t* rowA = TopRowA(p, bitsA);
  const uint64_t* rowB = TopRowB(p, bitsB);
  for (int64_t y = p.top; y < p.bottom; ++y, rowA += strideA, rowB += strideB) {
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
  // Called for every bullet every frame: the boxes first, then, with both masks already built,
  // the overlap's first 64 pixels, where a full hit answers. The rest is out of line.
  Pair p;
  if (!BoxesOverlap(slotA, xA, yA, slotB, xB, yB, p)) return 0;
  const uint64_t* bitsA = p.a->solidBits.get();
  const uint64_t* bitsB = p.b->solidBits.get();
  if (bitsA != nullptr && bitsB != nullptr) {
    const uint64_t first = ~uint64_t{0} >> (64 - std::min(p.right - p.left, int64_t{64}));
    if ((BitsAt(TopRowA(p, bitsA), p.left) & BitsAt(TopRowB(p, bitsB), p.left - p.dx) & first) !=
        0) {
      return 1;
    }
  }
  return ScanMasks(slotA, xA, yA, slotB, xB, yB);
}

}  // namespace quillon
