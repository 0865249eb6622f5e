#include "runtime/gfx2d/primitives.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/primitives_internal.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/frame_read.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr int32_t kFirstPolygonCapacity = 8;
constexpr int32_t kGrownPolygonCapacity = 512;
constexpr int32_t kPolygonCapacityStep = 128;

VertexList polygon;

uint8_t Scaled(float alpha, int32_t channel) {
  return static_cast<uint8_t>(std::trunc(alpha * static_cast<float>(channel & 255)));
}

bool AllFinite(std::initializer_list<float> values) {
  return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

// Runs draw with the colour scaled by the alpha mode, no texture, the alpha test off, and the
// projection moved by 0.375 so that whole-number coordinates hit pixel centres; everything is
// put back afterwards.
template <typename Draw>
void DrawUntextured(double colour, Draw draw) {
  OpenGLRainbows* device = LiveDevice();
  if (device == nullptr) return;
  TextureStore& store = device->textures;
  float a = store.globalAlpha;
  int32_t packed = TruncateToInt32(colour);
  Flush2DBatch();
  glDisable(GL_ALPHA_TEST);
  glColor4ub(Scaled(a, packed), Scaled(a, packed >> 8), Scaled(a, packed >> 16),
             packed == SpriteColourKey ? 0 : Scaled(a, 255));
  int32_t slot = store.boundSlot, secondSlot = store.boundSecondSlot;
  bool mip = store.boundMip;
  BindSlotTexture(-1, -1, false, nullptr);
  GLint matrixMode = GL_MODELVIEW;
  glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glTranslatef(0.375f, 0.375f, 0);
  draw();
  glPopMatrix();
  glMatrixMode(static_cast<GLenum>(matrixMode));
  glColor4f(a, a, a, a);
  BindSlotTexture(slot, secondSlot, mip, nullptr);
  glEnable(GL_ALPHA_TEST);
}

void ResizePolygon(int32_t capacity) {
  auto records = std::make_unique<PolygonVertex[]>(static_cast<size_t>(capacity));
  std::copy_n(polygon.records.get(), std::min(polygon.count, capacity), records.get());
  polygon.records = std::move(records);
  polygon.capacity = capacity;
}

// Texture coordinates of an image pixel (ty from the top) in the polygon's slot.
void SetTextureCoordinates(PolygonVertex& v, int32_t tx, int32_t ty) {
  v.s = v.t = 0;
  const TextureSlot* s = polygon.slot >= 0 ? FindSlot(polygon.slot) : nullptr;
  if (s == nullptr || s->paddedWidth <= 0 || s->paddedHeight <= 0) return;
  v.s = static_cast<float>(tx) / static_cast<float>(s->paddedWidth);
  v.t = static_cast<float>(s->height - int64_t{ty}) / static_cast<float>(s->paddedHeight);
}

void DrawPolygonArrays() {
  // The vertex arrays of other code (3D meshes) are put back as they were.
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  if (arb.glBindBufferARB != nullptr) arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (arb.glClientActiveTextureARB != nullptr) arb.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  const PolygonVertex* v = polygon.records.get();
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->x);
  if (polygon.slot >= 0) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->s);
  }
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(4, GL_FLOAT, sizeof(PolygonVertex), &v->red);
  glDrawArrays(GL_TRIANGLE_FAN, 0, polygon.count);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glPopClientAttrib();
}

}  // namespace

void SetPixel(double x, double y, double colour) {
  float px = static_cast<float>(x), py = static_cast<float>(y) + 1;
  if (!AllFinite({px, py})) return;
  DrawUntextured(colour, [&] {
    glBegin(GL_POINTS);
    glVertex2f(px, -py);
    glEnd();
  });
}

void DrawLine(double x1, double y1, double x2, double y2, double colour) {
  float ax = static_cast<float>(x1), ay = static_cast<float>(y1) + 1;
  float bx = static_cast<float>(x2), by = static_cast<float>(y2) + 1;
  if (!AllFinite({ax, ay, bx, by})) return;
  DrawUntextured(colour, [&] {
    glBegin(GL_LINES);
    glVertex2f(ax, -ay);
    glVertex2f(bx, -by);
    glEnd();
    // A segment leaves out its last pixel.
    glBegin(GL_POINTS);
    glVertex2f(bx, -by);
    glEnd();
  });
}

void FillRect(double x1, double y1, double x2, double y2, double colour) {
  float left = static_cast<float>(std::min(x1, x2)), right = static_cast<float>(std::max(x1, x2));
  float top = static_cast<float>(std::min(y1, y2)), bottom = static_cast<float>(std::max(y1, y2));
  if (!AllFinite({left, right, top, bottom})) return;
  // The far sides move out by one pixel even when the corners share a row or column: moving
  // the near side instead would turn the quad clockwise, and culling would drop it.
  right += 1;
  bottom += 1;
  DrawUntextured(colour, [&] {
    glBegin(GL_QUADS);
    glVertex2f(left, -bottom);
    glVertex2f(right, -bottom);
    glVertex2f(right, -top);
    glVertex2f(left, -top);
    glEnd();
  });
}

double GetPixel(double x, double y) {
  OpenGLRainbows* device = LiveDevice();
  int32_t px = TruncateToInt32(x), py = TruncateToInt32(y);
  if (device == nullptr || px < 0 || py < 0 || px >= device->width || py >= device->height) {
    return 0;
  }
  uint8_t rgb[3] = {0, 0, 0};
  ReadFramePixels(px, device->height - py - 1, 1, 1, GL_RGB, rgb);
  return rgb[0] + 256.0 * rgb[1] + 65536.0 * rgb[2];
}

void BeginPolygon(double slot) {
  double number = std::trunc(slot);
  int32_t n = -1;
  if (std::isnan(number) || (number >= 0 && !SpriteSlotNumber(number, n))) return;
  polygon.slot = n;
  if (polygon.capacity < kFirstPolygonCapacity + 1) ResizePolygon(kFirstPolygonCapacity);
  polygon.count = 0;
}

void AddPolygonVertex(double x, double y, double tx, double ty, double colour) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr) return;
  if (polygon.count == polygon.capacity) {
    if (polygon.capacity >= kMaxPolygonVertices) return;
    int32_t grown = polygon.capacity < kGrownPolygonCapacity
                        ? kGrownPolygonCapacity
                        : polygon.capacity + kPolygonCapacityStep;
    ResizePolygon(std::min(grown, kMaxPolygonVertices));
  }
  PolygonVertex& v = polygon.records[polygon.count++];
  v.x = static_cast<float>(TruncateToInt32(x));
  v.y = -static_cast<float>(TruncateToInt32(y));
  SetTextureCoordinates(v, TruncateToInt32(tx), TruncateToInt32(ty));
  int32_t packed = TruncateToInt32(colour);
  float a = device->textures.globalAlpha;
  v.red = static_cast<float>(packed & 255) / 255.0f * a;
  v.green = static_cast<float>((packed >> 8) & 255) / 255.0f * a;
  v.blue = static_cast<float>((packed >> 16) & 255) / 255.0f * a;
  v.alpha = packed == SpriteColourKey ? 0.0f : 1.0f;
}

void EndPolygon() {
  OpenGLRainbows* device = LiveDevice();
  if (device == nullptr) return;
  float a = device->textures.globalAlpha;
  BindSlotTexture(polygon.slot, -1, false, nullptr);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  if (polygon.count > 0) DrawPolygonArrays();
  glShadeModel(GL_FLAT);
  glEnable(GL_TEXTURE_2D);
  glColor4f(a, a, a, a);
  glDisable(GL_DITHER);
  glDisable(GL_COLOR_MATERIAL);
}

const VertexList& CurrentPolygon() { return polygon; }

void ReleasePolygonVertices() { polygon = VertexList{}; }

}  // namespace quillon
