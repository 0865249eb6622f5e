#include "runtime/gfx2d/bmp_reader.h"
#include "runtime/core/bytes.h"

#include <cstdlib>

namespace quillon {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// The fields read from the information header end with the bit count at offset 14.
constexpr size_t kInfoFieldsEnd = 16;


struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;
  int bytesPerPixel = 0;
  size_t rowSize = 0;
  const uint8_t* pixels = nullptr;   // bottom file row first
  const uint8_t* palette = nullptr;  // 4-byte entries after the information header
  size_t paletteEntries = 0;
};

// Checks every size the file claims against what the file holds; nothing is allocated here.
bool ParseLayout(const uint8_t* data, size_t size, BmpLayout& layout) {
  if (data == nullptr || size < kFileHeaderSize || data[0] != 0x42 || data[1] != 0x4D) return false;
  uint64_t dataOffset = ReadLe32(data + 10);
  if (dataOffset < kFileHeaderSize + kInfoFieldsEnd || dataOffset > size) return false;
  const uint8_t* info = data + kFileHeaderSize;
  int32_t width = ReadLeI32(info + 4);
  int32_t height = ReadLeI32(info + 8);
  uint16_t bits = ReadLe16(info + 14);
  if (bits != 8 && bits != 24 && bits != 32) return false;
  // A top-down file (negative height) is read as if it were bottom-up.
  if (height == INT32_MIN) return false;
  height = std::abs(height);
  if (!ImageSizeAllowed(width, height)) return false;

  layout.width = width;
  layout.height = height;
  layout.bytesPerPixel = bits / 8;
  layout.rowSize = (static_cast<size_t>(layout.bytesPerPixel) * width + 3) / 4 * 4;
  uint64_t pixelBytes = static_cast<uint64_t>(layout.rowSize) * static_cast<uint64_t>(height);
  if (pixelBytes > size - dataOffset) return false;
  layout.pixels = data + dataOffset;
  if (bits == 8) {
    // Later headers (108 and 124 bytes) are longer, and the table follows whichever there is.
    uint64_t headerSize = ReadLe32(info);
    if (headerSize < kInfoHeaderSize) headerSize = kInfoHeaderSize;
    uint64_t tableStart = kFileHeaderSize + headerSize;
    uint64_t available = dataOffset > tableStart ? (dataOffset - tableStart) / 4 : 0;
    layout.palette = available > 0 ? data + tableStart : nullptr;
    layout.paletteEntries = static_cast<size_t>(available < 256 ? available : 256);
  }
  return true;
}

// Blue, green, red of file pixel (x, row); false for a palette index past the colour table.
bool FilePixel(const BmpLayout& layout, int32_t x, int32_t row, const uint8_t*& bgr) {
  const uint8_t* p =
      layout.pixels + layout.rowSize * row + static_cast<size_t>(layout.bytesPerPixel) * x;
  if (layout.bytesPerPixel != 1) {
    bgr = p;
    return true;
  }
  if (*p >= layout.paletteEntries) return false;
  bgr = layout.palette + 4 * static_cast<size_t>(*p);
  return true;
}

}  // namespace

bool DecodeBmpImage(const uint8_t* data, size_t size, int32_t colourKey, RgbaImage& out) {
  out = RgbaImage{};
  BmpLayout layout;
  if (!ParseLayout(data, size, layout) || !ResizeImage(out, layout.width, layout.height)) {
    return false;
  }
  uint8_t* dst = out.pixels.data();
  for (int32_t i = 0; i < layout.height; ++i) {
    int32_t fileRow = layout.height - 1 - i;
    for (int32_t x = 0; x < layout.width; ++x, dst += 4) {
      const uint8_t* bgr = nullptr;
      if (!FilePixel(layout, x, fileRow, bgr)) {
        out = RgbaImage{};
        return false;
      }
      if (colourKey != kNoColourKey && PackColour(bgr[2], bgr[1], bgr[0]) == colourKey) continue;
      dst[0] = bgr[2];
      dst[1] = bgr[1];
      dst[2] = bgr[0];
      dst[3] = 255;
    }
  }
  return true;
}

bool ReadBmpImage(const char* path, int32_t colourKey, RgbaImage& out) {
  out = RgbaImage{};
  std::vector<uint8_t> bytes;
  if (!ReadImageFileBytes(path, bytes)) return false;
  return DecodeBmpImage(bytes.data(), bytes.size(), colourKey, out);
}

}  // namespace quillon
