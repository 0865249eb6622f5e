// The decoded form of an image file: tightly packed RGBA bytes, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

struct RgbaImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4 bytes: red, green, blue, alpha
};

// Files decide the size, so every reader checks against these before allocating: no side
// beyond what a texture could ever show, and at most 256 MiB of pixels.
constexpr int32_t kMaxImageSide = 32768;
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;

// No image file the readers accept is larger than its pixels plus headers and palette.
constexpr uint64_t kMaxImageFileBytes = (uint64_t{1} << 28) + (uint64_t{1} << 20);

// Colour keys are packed as red + 256 * green + 65536 * blue; -1 means no key.
constexpr int32_t kNoColourKey = -1;

inline bool ImageSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

// Sizes the buffer for width x height pixels, all zero; false (image left empty) when the size
// is not allowed.
inline bool ResizeImage(RgbaImage& image, int32_t width, int32_t height) {
  image = RgbaImage{};
  if (!ImageSizeAllowed(width, height)) return false;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  return true;
}

inline int32_t PackColour(uint8_t red, uint8_t green, uint8_t blue) {
  return red + 256 * green + 65536 * blue;
}

// Reads a whole file, at most kMaxImageFileBytes; false (bytes empty) otherwise.
bool ReadImageFileBytes(const char* path, std::vector<uint8_t>& bytes);

}  // namespace quillon
