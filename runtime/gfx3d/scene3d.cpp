#include "runtime/gfx3d/scene3d.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene3d_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/values/truncate.h"

namespace quillon {

Rainbows3D* Live3D() {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr || LiveDevice() == nullptr) return nullptr;
  Flush2DBatch();
  return renderer;
}

void ColourFloats(double colour, float rgb[3]) {
  uint32_t packed = static_cast<uint32_t>(TruncateToInt32(colour));
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<float>((packed >> (8 * i)) & 0xFF) / 255.0f;
}

namespace {

constexpr double kDegrees = M_PI / 180.0;
constexpr float kDefaultUp[3] = {0, 1, 0};

void Normalise(float v[3]) {
  float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length == 0) return;
  for (int i = 0; i < 3; ++i) v[i] /= length;
}

void Cross(const float a[3], const float b[3], float out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void SetProjection(const OpenGLRainbows& device, double nearPlane, double farPlane,
                   double fieldOfView) {
  glViewport(device.viewportX, device.height - device.viewportHeight - device.viewportY,
             device.viewportWidth, device.viewportHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  double aspect = device.viewportHeight > 0
                      ? static_cast<double>(device.viewportWidth) / device.viewportHeight
                      : 1.0;
  if (fieldOfView > 0) {
    double f = nearPlane * std::tan(fieldOfView / 2 * kDegrees);
    glFrustum(-aspect * f, aspect * f, -f, f, nearPlane, farPlane);
  } else {
    double f = nearPlane * std::tan(-fieldOfView / 2 * kDegrees) * 100;
    glOrtho(-aspect * f, aspect * f, -f, f, nearPlane, farPlane);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void SetDefaultState() {
  BindSlotTexture(-1, -1, false, nullptr);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);
  for (GLenum cap : {GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_STENCIL_TEST,
                     GL_POLYGON_OFFSET_POINT, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING}) {
    glDisable(cap);
  }
  for (int k = 0; k < 8; ++k) glDisable(GL_LIGHT0 + k);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_DITHER);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
}

void ResetLevel(TransformLevel& level) {
  level.matrixCount = 0;
  level.rotationCount = 0;
  std::fill(level.scale, level.scale + 3, 1.0f);
  std::fill(level.position, level.position + 3, 0.0f);
}

TransformLevel* CurrentLevel() {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr) return nullptr;
  return &renderer->levels[std::clamp(renderer->currentLevel, 0, kTransformLevels - 1)];
}

}  // namespace

void Enter3D(double nearPlane, double farPlane, double fieldOfView) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  EndShadowPass(*renderer);
  // Levels first: loading the camera into a pushed matrix would be popped away with it.
  PopAllLevels(*renderer);
  renderer->viewConeTan = static_cast<float>(std::tan(std::min(fieldOfView + 5, 89.0) * kDegrees));
  renderer->nearPlane = static_cast<float>(nearPlane);
  renderer->farPlane = static_cast<float>(farPlane);
  std::copy_n(kDefaultUp, 3, renderer->up);
  SetProjection(*LiveDevice(), nearPlane, farPlane, fieldOfView);
  if (!(fieldOfView > 0)) renderer->viewConeTan = static_cast<float>(std::tan(89 * kDegrees));
  SetDefaultState();
  // A program chosen earlier in the frame comes back after 2D drawing switched it off.
  if (arb.glUseProgramObjectARB != nullptr) arb.glUseProgramObjectARB(renderer->currentProgram);
  glGetFloatv(GL_MODELVIEW_MATRIX, renderer->cameraMatrix);
  renderer->cullMode = 0;
  renderer->enabledLights = 0;
  renderer->effectLightOn = false;
  renderer->uvScroll[0] = renderer->uvScroll[1] = 0;
  renderer->sphereMapping = false;
}

void SetCamera(double eyeX, double eyeY, double eyeZ, double targetX, double targetY,
               double targetZ) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  float eye[3] = {static_cast<float>(eyeX), static_cast<float>(eyeY), static_cast<float>(eyeZ)};
  float target[3] = {static_cast<float>(targetX), static_cast<float>(targetY),
                     static_cast<float>(targetZ)};
  float f[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
  Normalise(f);
  float s[3], u[3];
  Cross(renderer->up, f, s);
  Normalise(s);
  Cross(f, s, u);
  Normalise(u);
  // Rows s, u, f: column-major the rows become the columns' k-th entries.
  float rotation[16] = {s[0], u[0], f[0], 0, s[1], u[1], f[1], 0, s[2], u[2], f[2], 0, 0, 0, 0, 1};
  PopAllLevels(*renderer);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(rotation);
  glTranslatef(-eye[0], -eye[1], -eye[2]);
  glGetFloatv(GL_MODELVIEW_MATRIX, renderer->cameraMatrix);
  std::copy_n(eye, 3, renderer->eye);
  std::copy_n(target, 3, renderer->target);
  TransformLevel& level = renderer->levels[0];
  level.rotationCount = 0;
  std::fill(level.scale, level.scale + 3, 1.0f);
  std::fill(level.position, level.position + 3, 0.0f);
}

void SetCameraUp(double x, double y, double z) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr) return;
  renderer->up[0] = static_cast<float>(x);
  renderer->up[1] = static_cast<float>(y);
  renderer->up[2] = static_cast<float>(z);
}

void SetCullMode(double mode) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  renderer->cullMode = mode > 0 ? 1 : (mode < 0 ? -1 : 0);
  if (renderer->cullMode == 0) {
    glDisable(GL_CULL_FACE);
    return;
  }
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(renderer->cullMode > 0 ? GL_CW : GL_CCW);
}

void SetFog(double colour, double exponential, double start, double end) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  if (TruncateToInt32(colour) == -1) {
    glDisable(GL_FOG);
    return;
  }
  glEnable(GL_FOG);
  if (exponential != 0) {
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, static_cast<float>(start));
  } else {
    glFogi(GL_FOG_MODE, GL_LINEAR);
    bool planes = start == 0 && end == 0;
    glFogf(GL_FOG_START, planes ? renderer->nearPlane : static_cast<float>(start));
    glFogf(GL_FOG_END, planes ? renderer->farPlane : static_cast<float>(end));
  }
  float rgba[4] = {0, 0, 0, 0};
  ColourFloats(colour, rgba);
  glFogfv(GL_FOG_COLOR, rgba);
}

void SetTextureScroll(double u, double v) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr) return;
  renderer->uvScroll[0] = static_cast<float>(u);
  renderer->uvScroll[1] = static_cast<float>(v);
}

void SetSphereMapping(double on) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer != nullptr) renderer->sphereMapping = on != 0;
}

void PushTransform() {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  if (renderer->currentLevel + 1 >= kTransformLevels) {
    ++renderer->ignoredPushes;
    return;
  }
  ResetLevel(renderer->levels[++renderer->currentLevel]);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
}

void PopTransform() {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  if (renderer->ignoredPushes > 0) {
    --renderer->ignoredPushes;
    return;
  }
  if (renderer->currentLevel <= 0) return;
  --renderer->currentLevel;
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void AddRotation(double angle, double x, double y, double z) {
  TransformLevel* level = CurrentLevel();
  if (level == nullptr || level->rotationCount >= kLevelEntries) return;
  float* r = level->rotations[level->rotationCount++];
  r[0] = static_cast<float>(angle);
  r[1] = static_cast<float>(x);
  r[2] = static_cast<float>(y);
  r[3] = static_cast<float>(z);
}

namespace {

// Placing or scaling a level drops the rotations and matrices added to it so far.
TransformLevel* RestartedLevel() {
  TransformLevel* level = CurrentLevel();
  if (level != nullptr) {
    level->rotationCount = 0;
    level->matrixCount = 0;
  }
  return level;
}

void Store(float out[3], double x, double y, double z) {
  out[0] = static_cast<float>(x);
  out[1] = static_cast<float>(y);
  out[2] = static_cast<float>(z);
}

}  // namespace

void SetPosition(double x, double y, double z) {
  if (TransformLevel* level = RestartedLevel()) Store(level->position, x, y, z);
}

void SetScale(double x, double y, double z) {
  if (TransformLevel* level = RestartedLevel()) Store(level->scale, x, y, z);
}

double AddMatrix(const DimArray<double>& matrix) {
  TransformLevel* level = CurrentLevel();
  bool fits = matrix.dimensionCount == 1 && matrix.extent0 == 16 && matrix.elements != nullptr;
  if (level == nullptr || !fits || level->matrixCount >= kLevelEntries) return matrix.extent0;
  float* m = level->matrices[level->matrixCount++];
  for (int k = 0; k < 16; ++k) m[k] = static_cast<float>(matrix.elements[k]);
  return matrix.extent0;
}

void Clear3D() {
  if (Live3D() == nullptr) return;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

}  // namespace quillon
