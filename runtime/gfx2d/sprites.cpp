#include "runtime/gfx2d/sprites.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

struct Sprite {
  int32_t slot = 0;
  float w = 0, h = 0;  // image size
  float u = 0, v = 0;  // texture coordinates of the image's far corner
  int32_t wi = 0, hi = 0;
};

bool FindSprite(double slotNumber, Sprite& sprite) {
  if (!SpriteSlotNumber(slotNumber, sprite.slot)) return false;
  const TextureSlot* s = FindSlot(sprite.slot);
  if (s == nullptr || s->texture == 0 || s->width <= 0 || s->height <= 0) return false;
  sprite.wi = s->width;
  sprite.hi = s->height;
  sprite.w = static_cast<float>(s->width);
  sprite.h = static_cast<float>(s->height);
  sprite.u = static_cast<float>(s->width) / static_cast<float>(s->paddedWidth);
  sprite.v = static_cast<float>(s->height) / static_cast<float>(s->paddedHeight);
  return true;
}

// A non-finite position, angle or zoom (or one too large for a float) makes a non-finite
// corner; such a command draws nothing rather than hand GL undefined vertices.
bool FiniteQuad(const BatchVertex (&quad)[4]) {
  for (const BatchVertex& v : quad) {
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
  }
  return true;
}

// An upright quad in screen terms; GL gets y negated. oneToOne: the quad has the image's size.
void AddScreenQuad(const Sprite& sprite, float left, float top, float right, float bottom,
                   bool oneToOne) {
  // Corners are whole pixels only while they fit a float's mantissa.
  constexpr float kExact = 8388608.0f;
  bool pixelAligned = oneToOne && std::fabs(left) < kExact && std::fabs(top) < kExact;
  BatchVertex quad[4] = {{0, 0, left, -bottom, 0},
                         {sprite.u, 0, right, -bottom, 0},
                         {sprite.u, sprite.v, right, -top, 0},
                         {0, sprite.v, left, -top, 0}};
  if (!FiniteQuad(quad)) return;
  Use2DSlot(sprite.slot);
  Add2DQuad(quad, pixelAligned);
}

void DrawStretched(const Sprite& sprite, float x, float y, float width, float height) {
  float left = std::ceil(x);
  float top = std::ceil(y);
  float w = std::ceil(width);
  float h = std::ceil(height);
  AddScreenQuad(sprite, left, top, left + w, top + h, w == sprite.w && h == sprite.h);
}

}  // namespace

void DrawSprite(double slot, double x, double y) {
  Sprite sprite;
  if (!FindSprite(slot, sprite)) return;
  float left = std::ceil(static_cast<float>(x));
  float top = std::ceil(static_cast<float>(y));
  AddScreenQuad(sprite, left, top, left + sprite.w, top + sprite.h, true);
}

void DrawSpriteRotated(double slot, double x, double y, double angle) {
  DrawSpriteRotoZoom(slot, x, y, angle, 1);
}

void DrawSpriteRotoZoom(double slot, double x, double y, double angle, double zoom) {
  Sprite sprite;
  if (!FindSprite(slot, sprite)) return;
  float z = static_cast<float>(zoom);
  float hx = z * sprite.w * 0.5f;
  float hy = z * sprite.h * 0.5f;
  // The centre uses the integer half of the size, and x and y are not rounded.
  float cx = static_cast<float>(x) + static_cast<float>(sprite.wi / 2);
  float cy = -(static_cast<float>(y) + static_cast<float>(sprite.hi / 2));
  // The rotation GL would build for glRotatef(angle, 0, 0, 1), applied here so that rotated
  // sprites batch like upright ones.
  float radians = static_cast<float>(static_cast<float>(angle) * M_PI / 180.0);
  float s = std::sin(radians);
  float c = std::cos(radians);
  auto corner = [&](float gx, float gy, float tu, float tv) {
    return BatchVertex{tu, tv, cx + (c * gx - s * gy), cy + (s * gx + c * gy), 0};
  };
  // Corners in GL terms (y up): bottom-left, bottom-right, top-right, top-left on the screen.
  BatchVertex quad[4] = {corner(-hx, -hy, 0, 0), corner(hx, -hy, sprite.u, 0),
                         corner(hx, hy, sprite.u, sprite.v), corner(-hx, hy, 0, sprite.v)};
  if (!FiniteQuad(quad)) return;
  Use2DSlot(sprite.slot);
  Add2DQuad(quad);
}

void DrawSpriteStretched(double slot, double x, double y, double width, double height) {
  Sprite sprite;
  if (!FindSprite(slot, sprite)) return;
  DrawStretched(sprite, static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                static_cast<float>(height));
}

void DrawSpriteZoomed(double slot, double x, double y, double zoomX, double zoomY) {
  Sprite sprite;
  if (!FindSprite(slot, sprite)) return;
  float width = std::fabs(sprite.w * static_cast<float>(zoomX));
  float height = std::fabs(sprite.h * static_cast<float>(zoomY));
  DrawStretched(sprite, static_cast<float>(x) - (width - sprite.w) / 2,
                static_cast<float>(y) - (height - sprite.h) / 2, width, height);
}

void DrawBillboard(double slot, double x, double y, double z, double scale) {
  OpenGLRainbows* device = runtimeState.graphics;
  Sprite sprite;
  if (device == nullptr || !FindSprite(slot, sprite)) return;
  TextureStore& store = device->textures;
  int32_t previousSlot = store.boundSlot;
  int32_t previousSecond = store.boundSecondSlot;
  bool previousMip = store.boundMip;

  Flush2DBatch();
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const float right[3] = {m[0], m[4], m[8]};
  const float up[3] = {m[1], m[5], m[9]};
  float hw = static_cast<float>(sprite.wi / 4) * static_cast<float>(scale);
  float hh = static_cast<float>(sprite.hi / 2) * static_cast<float>(scale);
  const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
  auto corner = [&](float side, float lift, float tu, float tv) {
    BatchVertex vertex{tu, tv, 0, 0, 0};
    float* out = &vertex.x;
    for (int i = 0; i < 3; ++i) out[i] = p[i] + right[i] * hw * side + up[i] * hh * lift;
    return vertex;
  };
  BatchVertex quad[4] = {corner(-1, 0, 0, 0), corner(1, 0, sprite.u, 0),
                         corner(1, 1, sprite.u, sprite.v), corner(-1, 1, 0, sprite.v)};
  if (!FiniteQuad(quad)) return;
  Use2DSlot(sprite.slot);
  Add2DQuad(quad);
  // Drawn now: the modelview matrix belongs to the 3D renderer and may change next.
  Flush2DBatch();
  BindSlotTexture(previousSlot, previousSecond, previousMip, nullptr);
}

}  // namespace quillon
