#include "runtime/gfx2d/render_state.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/render_state_internal.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/shadow_pass_hook.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

// 3D drawing may leave a second texture unit, texture generation, combiners and texture
// matrices behind; 2D draws on unit 0 alone with plain modulation.
void ResetTextureUnits() {
  int units = arb.glActiveTextureARB != nullptr ? 2 : 1;
  for (int unit = units - 1; unit >= 0; --unit) {
    if (arb.glActiveTextureARB != nullptr) arb.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (unit > 0) glDisable(GL_TEXTURE_2D);
  }
  if (arb.glClientActiveTextureARB != nullptr) {
    arb.glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    arb.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

// Arrays, buffers, shader, lights, masks and offsets of 3D drawing.
void Reset3DLeftovers() {
  ResetTextureUnits();
  for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY}) {
    glDisableClientState(array);
  }
  if (arb.glBindBufferARB != nullptr) arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (arb.glUseProgramObjectARB != nullptr) arb.glUseProgramObjectARB(0);
  for (int k = 0; k < 8; ++k) glDisable(GL_LIGHT0 + k);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_POLYGON_OFFSET_LINE);
  glCullFace(GL_BACK);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
}

}  // namespace

void Reset2DState(int x, int y, int width, int height) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr || device->window == nullptr) return;
  Flush2DBatch();
  if (width <= 0 || height <= 0) {
    width = device->width;
    height = device->height;
  }
  device->viewportX = x;
  device->viewportY = y;
  device->viewportWidth = width;
  device->viewportHeight = height;
  glViewport(x, device->height - height - y, width, height);
  Reset3DLeftovers();

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, -height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.15f);

  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);
  glShadeModel(GL_FLAT);

  for (GLenum cap :
       {GL_DITHER, GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_STENCIL_TEST,
        GL_POLYGON_OFFSET_POINT, GL_COLOR_MATERIAL, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING}) {
    glDisable(cap);
  }
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  Remember2DProjection();
}

void SetAlphaMode(double mode) {
  OpenGLRainbows* device = runtimeState.graphics;
  // A non-finite mode has no intensity; the mode in force stays.
  if (device == nullptr || !std::isfinite(mode)) return;
  float& alpha = device->textures.globalAlpha;
  Flush2DBatch();
  glEnable(GL_BLEND);
  if (mode == 0) {
    glDisable(GL_BLEND);
    alpha = 1.0f;
  } else if (mode < 0) {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    alpha = static_cast<float>(std::min(-mode, 1.0));
  } else {
    glBlendFunc(GL_ONE, GL_ONE);
    alpha = static_cast<float>(std::min(mode, 1.0));
  }
  glColor4f(alpha, alpha, alpha, alpha);
}

namespace {

// Viewport numbers come from the program: truncated, and kept within what GL can take.
int ViewportNumber(double value) {
  int32_t n = 0;
  if (TruncateToRange(value, -(1 << 24), 1 << 24, n)) return n;
  return std::isnan(value) ? 0 : (value < 0 ? -(1 << 24) : 1 << 24);
}

}  // namespace

void SetViewport(double x, double y, double width, double height) {
  EndShadowPassIfRunning();
  Reset2DState(ViewportNumber(x), ViewportNumber(y), ViewportNumber(width), ViewportNumber(height));
}

void GetScreenSize(double& width, double& height) {
  OpenGLRainbows* device = runtimeState.graphics;
  width = device ? device->width : 0;
  height = device ? device->height : 0;
}

}  // namespace quillon
