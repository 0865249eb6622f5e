#include "runtime/gfx2d/texture_upload.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

size_t PixelOffset(int32_t x, int32_t y, int32_t width) {
  return (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
}

void BleedPixel(TextureBuffer& buffer, int32_t x, int32_t y) {
  int sum[3] = {0, 0, 0};
  int count = 0;
  for (int32_t ny = y - 1; ny <= y + 1; ++ny) {
    for (int32_t nx = x - 1; nx <= x + 1; ++nx) {
      if (nx == x && ny == y) continue;
      if (nx < 1 || nx > buffer.width - 2 || ny < 1 || ny > buffer.height - 2) continue;
      const uint8_t* n = &buffer.pixels[PixelOffset(nx, ny, buffer.width)];
      if (n[3] == 0) continue;
      for (int c = 0; c < 3; ++c) sum[c] += n[c];
      ++count;
    }
  }
  uint8_t* p = &buffer.pixels[PixelOffset(x, y, buffer.width)];
  for (int c = 0; c < 3; ++c) p[c] = count > 0 ? static_cast<uint8_t>(sum[c] / count) : 0;
}

void SetTextureParameters(GLint minFilter, GLint magFilter) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
}

void SetUnpackState() {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

GLuint NewTexture(GLuint old) {
  if (old != 0) glDeleteTextures(1, &old);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  return name;
}

void UploadMipmapped(std::vector<uint8_t> level, int32_t width, int32_t height,
                     uint32_t& mipTexture) {
  mipTexture = NewTexture(mipTexture);
  SetTextureParameters(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
  for (GLint n = 0;; ++n) {
    glTexImage2D(GL_TEXTURE_2D, n, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 level.data());
    if (width == 1 && height == 1) break;
    NextMipLevel(level, width, height);
  }
}

}  // namespace

int32_t PaddedSize(int32_t n, int32_t start) {
  int64_t size = start;
  do {
    size *= 2;
  } while (size < n && size < (int64_t{1} << 30));
  return static_cast<int32_t>(size);
}

void FillTextureBuffer(const RgbaImage& image, int32_t x, int32_t y, int32_t w, int32_t h,
                       TextureBuffer& buffer) {
  buffer.width = PaddedSize(w);
  buffer.height = PaddedSize(h);
  buffer.pixels.assign(static_cast<size_t>(buffer.width) * buffer.height * 4, 0);
  int64_t xEnd = std::min<int64_t>(int64_t{x} + buffer.width, image.width);
  int64_t yEnd = std::min<int64_t>(int64_t{y} + buffer.height, image.height);
  for (int64_t iy = std::max(y, 0); iy < yEnd && iy - y < h; ++iy) {
    int64_t row = int64_t{y} + h - 1 - iy;
    for (int64_t ix = std::max(x, 0); ix < xEnd && ix - x < w; ++ix) {
      const uint8_t* src = &image.pixels[PixelOffset(static_cast<int32_t>(ix),
                                                     static_cast<int32_t>(iy), image.width)];
      uint8_t* dst = &buffer.pixels[PixelOffset(static_cast<int32_t>(ix - x),
                                                static_cast<int32_t>(row), buffer.width)];
      std::copy(src, src + 4, dst);
    }
  }
}

void BleedColours(TextureBuffer& buffer) {
  // Alpha never changes, so pixels can be mended in place in any order.
  for (int32_t y = 0; y < buffer.height; ++y) {
    for (int32_t x = 0; x < buffer.width; ++x) {
      if (buffer.pixels[PixelOffset(x, y, buffer.width) + 3] == 0) BleedPixel(buffer, x, y);
    }
  }
}

RgbaImage NormalMap(const RgbaImage& image) {
  RgbaImage out = image;
  int32_t w = image.width;
  int32_t h = image.height;
  auto height = [&](int32_t col, int32_t row) {
    col = (col % w + w) % w;
    row = (row % h + h) % h;
    return image.pixels[PixelOffset(col, row, w) + 2] / 255.0;
  };
  for (int32_t i = 0; i < h; ++i) {
    for (int32_t j = 0; j < w; ++j) {
      double a = height(j - 1, i + 1), b = height(j, i + 1), c = height(j + 1, i + 1);
      double d = height(j - 1, i - 1), e = height(j, i - 1), f = height(j + 1, i - 1);
      double g = height(j - 1, i), hh = height(j + 1, i);
      double dx = -((c + 2 * hh + f) - (a + 2 * g + d));
      double dy = -((d + 2 * e + f) - (a + 2 * b + c));
      double n = 1.0 / std::sqrt(dx * dx + dy * dy + 1.0);
      uint8_t* p = &out.pixels[PixelOffset(j, i, w)];
      p[0] = static_cast<uint8_t>((dx * n + 1) * 0.5 * 255);
      p[1] = static_cast<uint8_t>((dy * n + 1) * 0.5 * 255);
      p[2] = static_cast<uint8_t>((n + 1) * 0.5 * 255);
    }
  }
  return out;
}

void NextMipLevel(std::vector<uint8_t>& level, int32_t& width, int32_t& height) {
  int32_t ow = width;
  int32_t nw = std::max(width / 2, 1);
  int32_t nh = std::max(height / 2, 1);
  // Each new texel is written at or before the first old texel it reads, and every old texel it
  // reads lies at or after the old texels still needed, so the level shrinks in place.
  for (int32_t y = 0; y < nh; ++y) {
    for (int32_t x = 0; x < nw; ++x) {
      bool moreColumns = x != nw - 1;
      bool moreRows = y != nh - 1;
      for (int c = 0; c < 4; ++c) {
        int a0 = level[PixelOffset(2 * x, 2 * y, ow) + c];
        int value = a0;
        if (moreColumns && moreRows) {
          int a1 = level[PixelOffset(2 * x + 1, 2 * y, ow) + c];
          int a2 = level[PixelOffset(2 * x + 1, 2 * y + 2, ow) + c];
          int a3 = level[PixelOffset(2 * x, 2 * y + 2, ow) + c];
          value = (4 * a0 + 2 * a1 + 2 * a2 + a3) / 9;
        } else if (moreColumns) {
          value = (2 * a0 + level[PixelOffset(2 * x + 1, 2 * y, ow) + c]) / 3;
        } else if (moreRows) {
          value = (2 * a0 + level[PixelOffset(2 * x, 2 * y + 2, ow) + c]) / 3;
        }
        level[PixelOffset(x, y, nw) + c] = static_cast<uint8_t>(value);
      }
    }
  }
  level.resize(static_cast<size_t>(nw) * nh * 4);
  width = nw;
  height = nh;
}

bool UploadTexture(const RgbaImage& image, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint32_t& texture, bool bump, bool nearest) {
  Flush2DBatch();
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  int64_t width = w != 0 ? w : int64_t{image.width} - x;
  int64_t height = h != 0 ? h : int64_t{image.height} - y;
  if (width < 1 || height < 1) return false;
  // Larger regions keep their top-left part; a texture side cannot exceed this.
  int64_t limit = maxSize > 0 ? maxSize : kMaxImageSide;
  w = static_cast<int32_t>(std::min(width, limit));
  h = static_cast<int32_t>(std::min(height, limit));

  TextureBuffer buffer;
  if (bump) {
    FillTextureBuffer(NormalMap(image), x, y, w, h, buffer);
  } else {
    FillTextureBuffer(image, x, y, w, h, buffer);
  }
  if (!nearest) BleedColours(buffer);

  SetUnpackState();
  texture = NewTexture(texture);
  GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
  SetTextureParameters(filter, filter);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, buffer.width, buffer.height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, buffer.pixels.data());
  return true;
}

bool MakeMipmappedCopy(uint32_t texture, uint32_t& mipTexture) {
  Flush2DBatch();
  GLint width = 0, height = 0;
  if (texture != 0) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  }
  if (width < 1 || height < 1) {
    if (mipTexture != 0) glDeleteTextures(1, &mipTexture);
    mipTexture = 0;
    return false;
  }
  std::vector<uint8_t> level(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
  SetUnpackState();
  UploadMipmapped(std::move(level), width, height, mipTexture);
  return true;
}

}  // namespace quillon
