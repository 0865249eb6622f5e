#include "runtime/gfx3d/lines3d.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene3d_internal.h"
#include "runtime/gl/gl_extensions.h"

namespace quillon {

namespace {

float PixelSize(double size) {
  return std::isnan(size) ? 1.0f : static_cast<float>(std::clamp(size, 1.0, 512.0));
}

// Untextured, unlit, under the camera matrix; everything changed is put back by Finish.
void Begin(Rainbows3D& renderer, double colour) {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT);
  if (arb.glActiveTextureARB != nullptr) {
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glDisable(GL_ALPHA_TEST);
  float rgb[3];
  ColourFloats(colour, rgb);
  glColor4f(rgb[0], rgb[1], rgb[2], 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadMatrixf(renderer.cameraMatrix);
}

void Finish() {
  glPopMatrix();
  glPopAttrib();
}

}  // namespace

void DrawWorldPoint(Rainbows3D& renderer, const float at[3], float size, double colour) {
  Begin(renderer, colour);
  glPointSize(size);
  glBegin(GL_POINTS);
  glVertex3fv(at);
  glEnd();
  Finish();
}

void DrawWorldLine(Rainbows3D& renderer, const float from[3], const float to[3], float width,
                   double colour) {
  Begin(renderer, colour);
  glLineWidth(width);
  glBegin(GL_LINES);
  glVertex3fv(from);
  glVertex3fv(to);
  glEnd();
  Finish();
}

void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width,
                double colour) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  float from[3] = {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(z1)};
  float to[3] = {static_cast<float>(x2), static_cast<float>(y2), static_cast<float>(z2)};
  DrawWorldLine(*renderer, from, to, PixelSize(width), colour);
}

void DrawPoint3D(double x, double y, double z, double size, double colour) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  float at[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
  DrawWorldPoint(*renderer, at, PixelSize(size), colour);
}

void DrawAxes(double x, double y, double z) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  constexpr float kLength = 20, kHead = 4;
  const double colours[3] = {0x0000FF, 0x00FF00, 0xFF0000};
  float origin[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
  for (int axis = 0; axis < 3; ++axis) {
    // The head's two barbs lie in the plane of this axis and the next one.
    int side = (axis + 1) % 3;
    float tip[3] = {origin[0], origin[1], origin[2]};
    tip[axis] += kLength;
    Begin(*renderer, colours[axis]);
    glLineWidth(2);
    glBegin(GL_LINES);
    glVertex3fv(origin);
    glVertex3fv(tip);
    for (float sign : {-1.0f, 1.0f}) {
      float barb[3] = {tip[0], tip[1], tip[2]};
      barb[axis] -= kHead;
      barb[side] += sign * kHead / 2;
      glVertex3fv(tip);
      glVertex3fv(barb);
    }
    glEnd();
    Finish();
  }
}

}  // namespace quillon
