#include "runtime/gfx2d/collision.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// Packs the alpha mask into rows of bits, top image row first (mask row 0 is the image's last
// row), once per picture. Null when the texture cannot be read back. The bytes are not kept: the
// bits are an eighth of their size and all that collision reads.
[[gnu::noinline, gnu::cold]] const uint64_t* BuildSolidBits(TextureSlot& slot) {
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

// At least kNarrow pixels from `offset` on, in one unaligned read from the byte that holds pixel
// `offset` (pixel i is bit i % 8 of byte i / 8 in a little-endian row), shifted. The row's spare
// word keeps the read inside the row.
constexpr int64_t kNarrow = 57;
static_assert(std::endian::native == std::endian::little, "the byte-wise read needs it");
inline uint64_t BitsFrom(const uint64_t* row, int64_t offset) {
  uint64_t bits;
  std::memcpy(&bits, reinterpret_cast<const unsigned char*>(row) + (offset >> 3), sizeof bits);
  return bits >> (offset & 7);
}

// Two sprites whose boxes overlap, B's top-left corner at (dx, dy) in A's pixels, the overlap
// columns x rows in size, are passed as these six numbers, in registers, so that each step below
// reaches the next by a jump and the box test needs no stack frame. Reads need no column mask:
// past the overlap's right edge one of the two rows is past its image, where its bits are 0.

// Every row of the overlap, top to bottom, 64 columns a step; builds the masks on first use.
[[gnu::noinline]] double ScanMasks(TextureSlot& a, TextureSlot& b, int64_t dx, int64_t dy,
                                   int64_t columns, int64_t rows) {
  const uint64_t* bitsA = SolidBits(a);
  const uint64_t* bitsB = SolidBits(b);
  if (bitsA == nullptr || bitsB == nullptr) return 0;
  const int64_t strideA = SolidWords(a.width), strideB = SolidWords(b.width);
  const int64_t left = std::max(dx, int64_t{0}), top = std::max(dy, int64_t{0});
  const uint64_t* rowA = bitsA + top * strideA;
  const uint64_t* rowB = bitsB + (top - dy) * strideB;
  for (; rows > 0; --rows, rowA += strideA, rowB += strideB) {
    for (int64_t i = 0; i < columns; i += 64) {
      if ((BitsAt(rowA, left + i) & BitsAt(rowB, left - dx + i)) != 0) return 1;
    }
  }
  return 0;
}

// An overlap up to kNarrow pixels wide row by row, one read per image and row, once both masks
// are built; wider ones go to the word-wide scan.
[[gnu::noinline]] double MasksOverlap(TextureSlot& a, TextureSlot& b, int64_t dx, int64_t dy,
                                      int64_t columns, int64_t rows) {
  const uint64_t* bitsA = a.solidBits.get();
  const uint64_t* bitsB = b.solidBits.get();
  if (bitsA == nullptr || bitsB == nullptr || columns > kNarrow) {
    return ScanMasks(a, b, dx, dy, columns, rows);
  }
  const int64_t strideA = SolidWords(a.width), strideB = SolidWords(b.width);
  const int64_t left = std::max(dx, int64_t{0}), top = std::max(dy, int64_t{0});
  const uint64_t* rowA = bitsA + top * strideA;
  const uint64_t* rowB = bitsB + (top - dy) * strideB;
  for (; rows > 0; --rows, rowA += strideA, rowB += strideB) {
    if ((BitsFrom(rowA, left) & BitsFrom(rowB, left - dx)) != 0) return 1;
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
  // B's corner in A's pixels, then the overlap there. 64-bit sums: positions near the 32-bit
  // limit must not wrap into an overlap.
  const int64_t dx = int64_t{TruncateToInt32(xB)} - TruncateToInt32(xA);
  const int64_t dy = int64_t{TruncateToInt32(yB)} - TruncateToInt32(yA);
  const int64_t columns = std::min(dx + b->width, int64_t{a->width}) - std::max(dx, int64_t{0});
  const int64_t rows = std::min(dy + b->height, int64_t{a->height}) - std::max(dy, int64_t{0});
  // One branch for both axes: which axis misses varies from pair to pair.
  if (std::min(columns, rows) <= 0) return 0;
  return MasksOverlap(*a, *b, dx, dy, columns, rows);
}

}  // namespace quillon
