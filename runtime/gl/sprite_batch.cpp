#include "runtime/gl/sprite_batch.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/platform/window.h"

namespace quillon {

namespace {

// Enough quads that a frame of sprites costs a handful of calls, small enough to stay in cache.
constexpr int kBatchQuads = 1024;

struct Batch {
  bool open = false;  // the slot's texture is bound and GL state is as the 2D commands left it
  int32_t slot = -1;
  int quads = 0;
  bool allPixelAligned = true;
  BatchVertex vertices[kBatchQuads * 4];
  GLint firsts[kBatchQuads];
  GLsizei counts[kBatchQuads];
};

Batch batch;

// The matrices and viewport Reset2DState left, to tell whether 2D quads still map 1:1 to pixels.
struct Projection2D {
  bool known = false;
  float projection[16];
  GLint viewport[4];
};

Projection2D projection2D;

bool IsIdentity(const float m[16]) {
  for (int i = 0; i < 16; ++i) {
    if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
  }
  return true;
}

bool Still2DProjection() {
  if (!projection2D.known) return false;
  float m[16];
  GLint viewport[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  if (!IsIdentity(m)) return false;
  glGetFloatv(GL_TEXTURE_MATRIX, m);
  if (!IsIdentity(m)) return false;
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  glGetIntegerv(GL_VIEWPORT, viewport);
  return std::memcmp(m, projection2D.projection, sizeof m) == 0 &&
         std::memcmp(viewport, projection2D.viewport, sizeof viewport) == 0;
}

// An upright image at whole-pixel corners and its own size samples every texel at its centre,
// where linear and nearest filtering give the same colour; nearest costs a software rasteriser
// a quarter of the texel reads.
bool SamplesTexelCentres() {
  if (!batch.allPixelAligned || batch.slot < 0 || batch.slot >= FontSlotBase) return false;
  const TextureSlot* slot = FindSlot(batch.slot);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  // A texture cut to the driver's limit is not sampled 1:1.
  return slot != nullptr && slot->paddedWidth <= maxSize && slot->paddedHeight <= maxSize &&
         Still2DProjection();
}

void SetFilter(GLint filter) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

PFNGLMULTIDRAWARRAYSPROC MultiDrawArrays() {
  static auto entry =
      reinterpret_cast<PFNGLMULTIDRAWARRAYSPROC>(platform::GetGLProcAddress("glMultiDrawArrays"));
  return entry;
}

void DrawFans() {
  if (PFNGLMULTIDRAWARRAYSPROC multiDraw = MultiDrawArrays()) {
    multiDraw(GL_TRIANGLE_FAN, batch.firsts, batch.counts, batch.quads);
    return;
  }
  for (int q = 0; q < batch.quads; ++q) glDrawArrays(GL_TRIANGLE_FAN, q * 4, 4);
}

void DrawPending() {
  if (batch.quads == 0) return;
  bool nearest = SamplesTexelCentres();
  if (nearest) SetFilter(GL_NEAREST);
  // The vertex arrays of other code (3D meshes) are put back as they were.
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  if (arb.glBindBufferARB != nullptr) arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (arb.glClientActiveTextureARB != nullptr) {
    arb.glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    arb.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glInterleavedArrays(GL_T2F_V3F, 0, batch.vertices);
  DrawFans();
  glPopClientAttrib();
  if (nearest) SetFilter(GL_LINEAR);
  batch.quads = 0;
  batch.allPixelAligned = true;
}

}  // namespace

void Remember2DProjection() {
  glGetFloatv(GL_PROJECTION_MATRIX, projection2D.projection);
  glGetIntegerv(GL_VIEWPORT, projection2D.viewport);
  projection2D.known = true;
}

void Use2DSlot(int32_t slot) {
  if (batch.open && batch.slot == slot) return;
  Flush2DBatch();
  BindSlotTexture(slot, -1, false, nullptr);
  batch.open = true;
  batch.slot = slot;
}

void Add2DQuad(const BatchVertex (&corners)[4], bool pixelAligned) {
  if (batch.quads == kBatchQuads) DrawPending();
  int q = batch.quads++;
  std::memcpy(&batch.vertices[q * 4], corners, sizeof corners);
  batch.firsts[q] = q * 4;
  batch.counts[q] = 4;
  batch.allPixelAligned = batch.allPixelAligned && pixelAligned;
}

void Flush2DBatch() {
  DrawPending();
  batch.open = false;
  batch.slot = -1;
}

void Discard2DBatch() {
  batch.quads = 0;
  batch.allPixelAligned = true;
  batch.open = false;
  batch.slot = -1;
  projection2D.known = false;
}

}  // namespace quillon
