#include "runtime/gfx2d/surfaces.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <vector>

#include "runtime/core/clock.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gl/frame_read.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// Tiles read from files stay small so that each upload is cheap.
constexpr int32_t kFileTileLimit = 512;
constexpr double kFadeMilliseconds = 1500;
// Grab rectangles are moved no further off screen than this, so GL's own arithmetic on
// x + width cannot overflow; everything off screen reads as undefined pixels anyway.
constexpr int64_t kFarOffScreen = int64_t{1} << 20;

int32_t textureSizeLimit = 0;
int32_t greenBits = 0;

Surface* FindSurface(int32_t n) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || n < 0 || n >= kSurfaceCount) return nullptr;
  return &device->textures.surfaces[n];
}

SurfaceTile& TileAt(Surface& surface, int32_t column, int32_t row) {
  return surface.tiles[column * kSurfaceGridSide + row];
}

int32_t OnScreenCoordinate(int64_t value) {
  return static_cast<int32_t>(std::clamp(value, -kFarOffScreen, kFarOffScreen));
}

// A w x h RGBA8 texture without contents, linear and repeating, replacing old.
GLuint NewBlankTexture(GLuint old, int32_t w, int32_t h) {
  if (old != 0) glDeleteTextures(1, &old);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  return name;
}

// Binds the texture when it already has the size, else makes a new one.
void ReuseOrCreate(uint32_t& texture, int32_t paddedWidth, int32_t paddedHeight, int32_t w,
                   int32_t h) {
  if (texture != 0 && paddedWidth == w && paddedHeight == h) {
    glBindTexture(GL_TEXTURE_2D, texture);
  } else {
    texture = NewBlankTexture(texture, w, h);
  }
}

// The texture is asked for its size: a load may have left one cut to the driver's limit.
void ReuseOrCreateSized(uint32_t& texture, int32_t w, int32_t h) {
  GLint textureWidth = 0, textureHeight = 0;
  if (texture != 0) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
  }
  ReuseOrCreate(texture, textureWidth, textureHeight, w, h);
}

// A grabbed sprite's texture stays within the driver's side limit and 64 MiB, enough for a
// whole 4096 x 4096 screen; a larger one holds the rectangle's lower-left part.
void CapGrabTexture(int32_t& w, int32_t& h) {
  constexpr int64_t kMaxGrabTexels = int64_t{1} << 24;
  int32_t side = MaxTextureSize();
  w = std::min(w, side);
  h = std::min(h, side);
  while (int64_t{w} * h > kMaxGrabTexels) {
    if (w >= h) {
      w /= 2;
    } else {
      h /= 2;
    }
  }
}

// One texture covering the whole area where it fits: the driver's largest texture can be a
// gigabyte, and no grab shows more than the area itself.
int32_t GrabTileSize(int32_t width, int32_t height) {
  return std::min(MaxTextureSize(), PaddedSize(std::max(width, height)));
}

// The tile's texture is tw x th: T x T, or the whole area's size when one texture of that size
// holds it.
void GrabTile(SurfaceTile& tile, int32_t tw, int32_t th, int32_t x, int32_t y, int32_t width,
              int32_t height) {
  ReuseOrCreate(tile.texture, tile.paddedWidth, tile.paddedHeight, tw, th);
  int32_t pw = std::min(tw, width - x);
  int32_t ph = std::min(th, height - y);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, height - y - ph, pw, ph);
  tile.paddedWidth = tw;
  tile.paddedHeight = th;
  tile.width = pw;
  tile.height = ph;
}

// Tiles a smaller grid no longer uses would otherwise keep their textures until the surface
// is freed.
void FreeTilesOutside(Surface& surface, int32_t columns, int32_t rows) {
  for (int32_t c = 0; c < kSurfaceGridSide; ++c) {
    for (int32_t r = 0; r < kSurfaceGridSide; ++r) {
      SurfaceTile& tile = TileAt(surface, c, r);
      if ((c < columns && r < rows) || tile.texture == 0) continue;
      glDeleteTextures(1, &tile.texture);
      tile = SurfaceTile{};
    }
  }
}

void DrawTile(const SurfaceTile& tile, float left, float top) {
  float w = static_cast<float>(tile.width);
  float h = static_cast<float>(tile.height);
  float u = w / static_cast<float>(tile.paddedWidth);
  float v = h / static_cast<float>(tile.paddedHeight);
  glBindTexture(GL_TEXTURE_2D, tile.texture);
  glBegin(GL_TRIANGLE_FAN);
  glTexCoord2f(0, 0);
  glVertex2f(left, -(top + h));
  glTexCoord2f(u, 0);
  glVertex2f(left + w, -(top + h));
  glTexCoord2f(u, v);
  glVertex2f(left + w, -top);
  glTexCoord2f(0, v);
  glVertex2f(left, -top);
  glEnd();
}

void ClearColourBuffer() {
  if (LiveDevice() == nullptr) return;
  Flush2DBatch();
  glClear(GL_COLOR_BUFFER_BIT);
}

int32_t FramebufferGreenBits() {
  if (greenBits == 0) {
    GLint bits = 0;
    glGetIntegerv(GL_GREEN_BITS, &bits);
    greenBits = bits > 0 ? bits : 8;
  }
  return greenBits;
}

// A 16-bit framebuffer has no alpha to take over: the sprite colour key, as 16-bit rounding
// leaves it, marks the transparent pixels instead.
void UploadKeyedBlock(int32_t x, int32_t y, int32_t pw, int32_t ph) {
  std::vector<uint8_t> pixels(static_cast<size_t>(pw) * static_cast<size_t>(ph) * 4, 0);
  ReadFramePixels(x, y, pw, ph, GL_BGRA, pixels.data());
  for (size_t i = 0; i < pixels.size(); i += 4) {
    uint8_t* p = &pixels[i];  // blue, green, red, alpha
    if (p[2] == 255 && p[1] == 0 && p[0] >= 127 && p[0] <= 132) p[3] = 0;
  }
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pw, ph, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
}

}  // namespace

int32_t MaxTextureSize() {
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  size = std::max(size, 64);
  return textureSizeLimit > 0 ? std::min(size, textureSizeLimit) : size;
}

void SetTextureSizeLimitForTesting(int32_t limit) { textureSizeLimit = limit; }

void SetGreenBitsForTesting(int32_t bits) { greenBits = bits; }

void EmptySurface(Surface& surface, bool deleteTextures) {
  for (SurfaceTile& tile : surface.tiles) {
    if (deleteTextures && tile.texture != 0) glDeleteTextures(1, &tile.texture);
    tile = SurfaceTile{};
  }
  surface.columns = 0;
  surface.rows = 0;
}

void FreeSurface(int32_t n) {
  Surface* surface = FindSurface(n);
  if (surface == nullptr) return;
  bool live = LiveDevice() != nullptr;
  if (live) Flush2DBatch();
  EmptySurface(*surface, live);
}

bool LoadSurface(int32_t n, const char* path) {
  Surface* surface = FindSurface(n);
  if (surface == nullptr || LiveDevice() == nullptr || path == nullptr) return false;
  RgbaImage image;
  if (!DecodeImageFile(path, kNoColourKey, image) || image.width == 0 || image.height == 0) {
    return false;
  }
  Flush2DBatch();
  int32_t t = std::min(MaxTextureSize(), kFileTileLimit);
  EmptySurface(*surface, true);
  int32_t columns = 0, rows = 0;
  for (int32_t r = 0; r < kSurfaceGridSide && int64_t{r} * t < image.height; ++r) {
    for (int32_t c = 0; c < kSurfaceGridSide && int64_t{c} * t < image.width; ++c) {
      SurfaceTile& tile = TileAt(*surface, c, r);
      UploadTexture(image, c * t, r * t, t, t, tile.texture, false, false);
      tile.paddedWidth = tile.paddedHeight = tile.width = tile.height = t;
      columns = std::max(columns, c + 1);
    }
    rows = r + 1;
  }
  surface->columns = columns;
  surface->rows = rows;
  return true;
}

void GrabSurface(int32_t n) {
  OpenGLRainbows* device = LiveDevice();
  Surface* surface = FindSurface(n);
  if (device == nullptr || surface == nullptr || device->width <= 0 || device->height <= 0) return;
  Flush2DBatch();
  glReadBuffer(GL_BACK);
  int32_t width = device->width, height = device->height;
  int32_t t = GrabTileSize(width, height);
  // Where the driver takes textures of any size, an area that fits one tile gets a texture of
  // its own size: a power of two can hold four times the pixels (4 MB for an 800 x 640 area).
  if (arb.anyTextureSize && t >= width && t >= height) {
    GrabTile(TileAt(*surface, 0, 0), width, height, 0, 0, width, height);
    FreeTilesOutside(*surface, 1, 1);
    surface->columns = surface->rows = 1;
    return;
  }
  int32_t columns = 0, rows = 0;
  for (int32_t r = 0; r < kSurfaceGridSide && int64_t{r} * t < height; ++r) {
    for (int32_t c = 0; c < kSurfaceGridSide && int64_t{c} * t < width; ++c) {
      GrabTile(TileAt(*surface, c, r), t, t, c * t, r * t, width, height);
      columns = std::max(columns, c + 1);
    }
    rows = r + 1;
  }
  FreeTilesOutside(*surface, columns, rows);
  surface->columns = columns;
  surface->rows = rows;
}

void DrawSurface(int32_t n) {
  Surface* surface = FindSurface(n);
  if (LiveDevice() == nullptr || surface == nullptr || surface->columns == 0) return;
  Flush2DBatch();
  glDisable(GL_ALPHA_TEST);
  if (arb.glActiveTextureARB != nullptr) {
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glEnable(GL_TEXTURE_2D);
  float pitch = static_cast<float>(TileAt(*surface, 0, 0).paddedWidth);
  for (int32_t c = 0; c < surface->columns; ++c) {
    for (int32_t r = 0; r < surface->rows; ++r) {
      const SurfaceTile& tile = TileAt(*surface, c, r);
      if (tile.texture != 0)
        DrawTile(tile, static_cast<float>(c) * pitch, static_cast<float>(r) * pitch);
    }
  }
  glEnable(GL_ALPHA_TEST);
}

void GrabSprite(double slot, double x, double y, double width, double height) {
  OpenGLRainbows* device = LiveDevice();
  int32_t n = 0;
  if (device == nullptr || !SpriteSlotNumber(slot, n)) return;
  int32_t w = TruncateToInt32(width);
  int32_t h = TruncateToInt32(height);
  // The slot records the size asked for, so it is held to what any image may be.
  if (!ImageSizeAllowed(w, h)) return;
  int32_t pw = PaddedSize(w, 16);
  int32_t ph = PaddedSize(h, 16);
  int32_t tw = pw, th = ph;
  CapGrabTexture(tw, th);
  int32_t left = OnScreenCoordinate(TruncateToInt32(x));
  int32_t bottom = OnScreenCoordinate(int64_t{device->height} - TruncateToInt32(y) - int64_t{h});

  Flush2DBatch();
  TextureSlot& s = *FindSlot(n);
  ReuseOrCreateSized(s.texture, tw, th);
  // A mipmapped copy left from a load would keep showing the old picture in 3D.
  if (s.mipTexture != 0) glDeleteTextures(1, &s.mipTexture);
  s.mipTexture = 0;
  s.mipPending = false;
  glReadBuffer(GL_BACK);
  if (FramebufferGreenBits() >= 8) {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, left, bottom, std::min(w, tw), std::min(h, th));
  } else {
    UploadKeyedBlock(left, bottom, tw, th);
  }
  s.paddedWidth = pw;
  s.paddedHeight = ph;
  s.width = w;
  s.height = h;
  DiscardMasks(s);
}

void GrabBackground() { GrabSurface(0); }

void LoadBackground(const StringValue& file) {
  if (LiveDevice() == nullptr) return;
  StringValue path;
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) != 0 && LoadSurface(0, path.CStr())) {
    DrawSurface(0);
    return;
  }
  FreeSurface(0);
  ClearColourBuffer();
}

void ClearBackground() {
  FreeSurface(0);
  ClearColourBuffer();
}

double FadeToBackground(const StringValue& file) {
  OpenGLRainbows* device = LiveDevice();
  StringValue path;
  if (device == nullptr || ResolveAssetFile(kLoaderResolver, file.CStr(), path) == 0) return 0;
  GrabSurface(0);
  LoadSurface(1, path.CStr());
  ClearColourBuffer();
  double start = NowMilliseconds();
  double c = 0.9;
  do {
    SetAlphaMode(-c);
    DrawSurface(0);
    SetAlphaMode(1 - c);  // additive
    DrawSurface(1);
    ShowScreen();
    c = (start + kFadeMilliseconds - NowMilliseconds()) / kFadeMilliseconds;
  } while (c > 0 && c < 1);
  SetAlphaMode(0);
  DrawSurface(1);
  ShowScreen();
  FreeSurface(1);
  return LoadSurface(0, path.CStr()) ? 1 : 0;
}

}  // namespace quillon
