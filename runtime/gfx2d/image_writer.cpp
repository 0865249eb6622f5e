#include "runtime/gfx2d/image_writer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/image_writer_internal.h"
#include "runtime/gfx2d/png_writer.h"
#include "runtime/gfx2d/rgba_image.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/frame_read.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

constexpr uint32_t kBmpHeaderBytes = 54;
constexpr uint32_t kBmpPixelsPerMetre = 10000;

// File header and information header of a bottom-up 24-bit file.
void FillBmpHeader(uint8_t (&header)[kBmpHeaderBytes], int32_t width, int32_t height,
                   uint32_t rowBytes) {
  std::memset(header, 0, sizeof header);
  header[0] = 'B';
  header[1] = 'M';
  PutLe32(header + 2, kBmpHeaderBytes + rowBytes * static_cast<uint32_t>(height));
  PutLe32(header + 10, kBmpHeaderBytes);
  PutLe32(header + 14, 40);
  PutLe32(header + 18, static_cast<uint32_t>(width));
  PutLe32(header + 22, static_cast<uint32_t>(height));
  PutLe16(header + 26, 1);
  PutLe16(header + 28, 24);
  PutLe32(header + 38, kBmpPixelsPerMetre);
  PutLe32(header + 42, kBmpPixelsPerMetre);
}

bool WriteBmp(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t rowLength) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  uint8_t header[kBmpHeaderBytes];
  FillBmpHeader(header, width, height, rowBytes);
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  std::vector<uint8_t> row(rowBytes, 0);
  for (int32_t y = 0; ok && y < height; ++y) {
    std::memcpy(row.data(), pixels + static_cast<size_t>(y) * rowLength * 3,
                static_cast<size_t>(width) * 3);
    ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
  }
  return std::fclose(file) == 0 && ok;
}

bool WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t rowLength) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  uint8_t* out = rgba.data();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = pixels + static_cast<size_t>(height - 1 - y) * rowLength * 3;
    for (int32_t x = 0; x < width; ++x, in += 3, out += 4) {
      // The sprite colour key, matched on blue and green alone, is saved as transparent.
      bool key = in[0] == 128 && in[1] == 0;
      out[0] = key ? 0 : in[2];
      out[1] = key ? 0 : in[1];
      out[2] = key ? 255 : in[0];
      out[3] = key ? 0 : 255;
    }
  }
  return WritePngRgba(path, width, height, rgba.data(), true);
}

void SetPackState() {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
}

}  // namespace

bool IsPngFileName(const char* path) {
  size_t length = path != nullptr ? std::strlen(path) : 0;
  if (length <= 4 || path[length - 4] != '.') return false;
  const char* ext = path + length - 3;
  return std::tolower(static_cast<unsigned char>(ext[0])) == 'p' &&
         std::tolower(static_cast<unsigned char>(ext[1])) == 'n' &&
         std::tolower(static_cast<unsigned char>(ext[2])) == 'g';
}

bool SaveImage(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t rowLength) {
  if (path == nullptr || pixels == nullptr || rowLength < width ||
      !ImageSizeAllowed(width, height)) {
    return false;
  }
  if (IsPngFileName(path)) return WritePng(path, pixels, width, height, rowLength);
  return WriteBmp(path, pixels, width, height, rowLength);
}

double SaveScreen(const StringValue& file) {
  OpenGLRainbows* device = LiveDevice();
  if (device == nullptr || !ImageSizeAllowed(device->width, device->height)) return 0;
  int32_t w = device->width;
  int32_t h = device->height;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3, 0);
  ReadFramePixels(0, 0, w, h, GL_BGR, pixels.data());
  return SaveImage(file.CStr(), pixels.data(), w, h, w) ? 1 : 0;
}

double SaveSprite(double slot, const StringValue& file) {
  int32_t n = 0;
  if (LiveDevice() == nullptr || !SpriteSlotNumber(slot, n)) return 0;
  const TextureSlot& s = *FindSlot(n);
  if (s.texture == 0 || s.width <= 0 || s.height <= 0) return 0;
  Flush2DBatch();
  glBindTexture(GL_TEXTURE_2D, s.texture);
  // The texture itself decides the read's size: a driver may have cut it to its maximum.
  GLint tw = 0, th = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
  if (tw <= 0 || th <= 0 || int64_t{tw} * th > 4 * kMaxImagePixels) return 0;
  std::vector<uint8_t> pixels(static_cast<size_t>(tw) * th * 3, 0);
  SetPackState();
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
  return SaveImage(file.CStr(), pixels.data(), std::min<int32_t>(s.width, tw),
                   std::min<int32_t>(s.height, th), tw)
             ? 1
             : 0;
}

}  // namespace quillon
