#include "runtime/gfx3d/rainbows3d.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/shadow_pass_hook.h"

namespace quillon {

Rainbows3D::Rainbows3D(OpenGLRainbows* device) : graphics(device) {}

Rainbows3D::~Rainbows3D() {
  slots.ForEach(ReleaseObjectSlot);
  for (ShaderProgram& p : programs) {
    if (p.program == 0 || arb.glDeleteObjectARB == nullptr) continue;
    arb.glDeleteObjectARB(p.vertexShader);
    arb.glDeleteObjectARB(p.fragmentShader);
    arb.glDeleteObjectARB(p.program);
  }
}

Rainbows3D* Renderer3D() { return runtimeState.renderer3D; }

namespace {

void EndRunningShadowPass() {
  if (Rainbows3D* renderer = Renderer3D()) EndShadowPass(*renderer);
}

void DarkenStencilledPixels(const OpenGLRainbows& device) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, device.viewportWidth, device.viewportHeight, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // Lighting, texturing of every unit and the blend function come back with the pop, so what is
  // drawn after the pass in the same frame looks as before.
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  // The pass has just turned back-face culling on, and this rectangle runs clockwise on screen.
  glDisable(GL_CULL_FACE);
  glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // Black at half strength: a shadowed pixel is half as bright, never pulled towards grey.
  glColor4f(0, 0, 0, 0.5f);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(3000, 0);
  glVertex2f(3000, 2000);
  glVertex2f(0, 2000);
  glEnd();
  glPopAttrib();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

void CreateRenderer3D() {
  if (runtimeState.renderer3D != nullptr) return;
  runtimeState.renderer3D = new Rainbows3D(runtimeState.graphics);
  InstallShadowPassEnder(EndRunningShadowPass);
}

void DestroyRenderer3D() {
  delete runtimeState.renderer3D;
  runtimeState.renderer3D = nullptr;
}

ObjectSlot* ObjectSlotAt(Rainbows3D& renderer, double slot) {
  if (!(slot >= 0 && slot < kObjectSlotCount)) return nullptr;
  return &renderer.slots[static_cast<int32_t>(slot)];
}

Matrix4 ComposePlacement(const Rainbows3D& renderer) {
  Matrix4 placement = IdentityMatrix();
  for (int32_t k = 0; k <= renderer.currentLevel && k < kTransformLevels; ++k) {
    const TransformLevel& level = renderer.levels[k];
    for (int32_t i = 0; i < level.matrixCount; ++i) {
      Matrix4 added;
      for (int e = 0; e < 16; ++e) added.m[e] = level.matrices[i][e];
      placement = MultiplyMatrix(placement, added);
    }
    placement = MultiplyMatrix(
        placement, TranslationMatrix(level.position[0], level.position[1], level.position[2]));
    for (int32_t i = level.rotationCount - 1; i >= 0; --i) {
      const float* r = level.rotations[i];
      placement = MultiplyMatrix(placement, RotationMatrix(r[0], r[1], r[2], r[3]));
    }
    placement =
        MultiplyMatrix(placement, ScaleMatrix(level.scale[0], level.scale[1], level.scale[2]));
  }
  return placement;
}

void ApplyPlacement(const Rainbows3D& renderer) {
  Matrix4 placement = ComposePlacement(renderer);
  glMultMatrixf(placement.m);
}

void PopAllLevels(Rainbows3D& renderer) {
  glMatrixMode(GL_MODELVIEW);
  for (; renderer.currentLevel > 0; --renderer.currentLevel) glPopMatrix();
  renderer.ignoredPushes = 0;
}

void BeginShadowPass(Rainbows3D& renderer) {
  if (renderer.shadowPassActive) return;
  renderer.shadowPassActive = true;
  glShadeModel(GL_FLAT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, 0xFF);
  glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
}

void EndShadowPass(Rainbows3D& renderer) {
  if (!renderer.shadowPassActive) return;
  renderer.shadowPassActive = false;
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (renderer.graphics != nullptr) DarkenStencilledPixels(*renderer.graphics);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glShadeModel(GL_SMOOTH);
  glDepthFunc(GL_LESS);
  glDisable(GL_STENCIL_TEST);
  glClear(GL_STENCIL_BUFFER_BIT);
  glEnable(GL_CULL_FACE);
}

void ResetFrame3DState() {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device != nullptr) device->textures.boundMip = false;
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr) return;
  if (arb.glUseProgramObjectARB != nullptr) arb.glUseProgramObjectARB(0);
  renderer->currentProgram = 0;
}

}  // namespace quillon
