#include "runtime/gfx3d/collision3d.h"

#include <GL/gl.h>

#include <cmath>
#include <initializer_list>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/collision3d_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/triangle_bvh.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

bool useBvh = true;

constexpr int kGreen = 65280;
constexpr int kRed = 255;
constexpr int kYellow = 65535;

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// How the current transform levels place a part, inverted: world to part coordinates.
struct PartSpace {
  Matrix4 toPart;
  float lengthScale = 1;  // world lengths to part lengths (exact for a uniform scale)
  bool valid = false;
};

// The general inverse, not the rigid one: a scaled placement must scale the test shapes too.
PartSpace CurrentPartSpace(const Rainbows3D& renderer) {
  PartSpace space;
  space.toPart = IdentityMatrix();
  space.valid = InvertMatrix(ComposePlacement(renderer), space.toPart);
  const float* m = space.toPart.m;
  double det = double(m[0]) * (double(m[5]) * m[10] - double(m[9]) * m[6]) -
               double(m[4]) * (double(m[1]) * m[10] - double(m[9]) * m[2]) +
               double(m[8]) * (double(m[1]) * m[6] - double(m[5]) * m[2]);
  space.lengthScale = static_cast<float>(std::cbrt(std::fabs(det)));
  return space;
}

void ToPart(const PartSpace& space, double x, double y, double z, float w, float out[3]) {
  float in[4] = {float(x), float(y), float(z), w};
  float result[4];
  TransformPoint(space.toPart, in, result);
  for (int i = 0; i < 3; ++i) out[i] = result[i];
}

// The part's frame when it exists and holds a triangle; frame numbers are truncated. A frame
// whose bounds are not finite has a point at no finite place (or spans past the float range):
// the tests would compare with NaN, which never separates, so it hits nothing instead.
MeshFrame* PartFrame(MeshObjectX& part, double frame) {
  if (!(frame >= 0 && frame < part.frames.Count())) return nullptr;
  MeshFrame& chosen = part.frames[static_cast<size_t>(frame)];
  if (!AllFinite({chosen.centre[0], chosen.centre[1], chosen.centre[2], chosen.radius})) {
    return nullptr;
  }
  return chosen.triangles.Count() > 2 ? &chosen : nullptr;
}

int32_t TriangleCount(const MeshFrame& frame) { return frame.triangles.Count() / 3; }

bool Accelerated(const MeshFrame& frame) {
  return useBvh && TriangleCount(frame) >= kBvhMinTriangles;
}

bool FrameHitsSphere(MeshFrame& frame, const float* c, float r) {
  float off[3];
  Sub3(c, frame.centre, off);
  float reach = r + frame.radius;
  if (reach * reach < Dot3(off, off)) return false;
  Sub3(frame.triangles[0].position, c, off);
  if (Dot3(off, off) < r * r) return true;
  if (Accelerated(frame)) return SphereBvh(FrameBvh(frame), c, r);
  return SpherePlain(frame.triangles.Data(), TriangleCount(frame), c, r);
}

// Debug shapes are drawn in world coordinates, under the camera, without disturbing state.
template <typename Draw>
void DebugDraw(const Rainbows3D& renderer, int colour, float width, Draw draw) {
  if (runtimeState.debugMode == 0 || runtimeState.graphics == nullptr) return;
  Flush2DBatch();
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadMatrixf(renderer.cameraMatrix);
  glLineWidth(width);
  glColor3ub(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  draw();
  glPopMatrix();
  glPopAttrib();
}

void DrawCircles(double x, double y, double z, double r) {
  constexpr int kSegments = 32;
  for (int plane = 0; plane < 3; ++plane) {
    glBegin(GL_LINE_LOOP);
    for (int k = 0; k < kSegments; ++k) {
      double a = 2 * M_PI * k / kSegments;
      double u = r * std::cos(a), v = r * std::sin(a);
      double p[3] = {0, 0, 0};
      p[plane] = u;
      p[(plane + 1) % 3] = v;
      glVertex3d(x + p[0], y + p[1], z + p[2]);
    }
    glEnd();
  }
}

void DrawBoxEdges(double x, double y, double z, double hx, double hy, double hz) {
  auto corner = [&](int k) {
    glVertex3d(x + (k & 1 ? hx : -hx), y + (k & 2 ? hy : -hy), z + (k & 4 ? hz : -hz));
  };
  glBegin(GL_LINES);
  for (int k = 0; k < 8; ++k) {
    for (int bit = 1; bit < 8; bit <<= 1) {
      if ((k & bit) != 0) continue;
      corner(k);
      corner(k | bit);
    }
  }
  glEnd();
}

// Column-major 4 x 4 double matrices for the window mapping, where float rounding shows.
void MultiplyVector(const double* m, const double* in, double* out) {
  for (int r = 0; r < 4; ++r) {
    out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
  }
}

void MultiplyMatrices(const double* a, const double* b, double* out) {
  for (int c = 0; c < 4; ++c) MultiplyVector(a, b + 4 * c, out + 4 * c);
}

struct WindowMapping {
  GLint viewport[4];
  double combined[16];  // projection · modelview
};

WindowMapping ReadWindowMapping() {
  WindowMapping w;
  double projection[16], modelview[16];
  glGetIntegerv(GL_VIEWPORT, w.viewport);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  MultiplyMatrices(projection, modelview, w.combined);
  return w;
}

}  // namespace

void UseCollisionBvh(bool on) { useBvh = on; }
bool CollisionBvhInUse() { return useBvh; }

void RayPlain(const MeshVertex* v, int32_t count, const float* p0, const float* d, RayHits& hits) {
  float t;
  for (int32_t k = 0; k < count; ++k, v += 3) {
    if (RayTriangle(v[0].position, v[1].position, v[2].position, p0, d, t)) hits.Add(t);
  }
}

bool SpherePlain(const MeshVertex* v, int32_t count, const float* c, float r) {
  for (int32_t k = 0; k < count; ++k, v += 3) {
    if (SphereTriangle(v[0].position, v[1].position, v[2].position, c, r)) return true;
  }
  return false;
}

bool BoxPlain(const MeshVertex* v, int32_t count, const float* centre, const float (*axes)[3]) {
  for (int32_t k = 0; k < count; ++k, v += 3) {
    if (BoxTriangle(v[0].position, v[1].position, v[2].position, centre, axes)) return true;
  }
  return false;
}

double ObjectHitsSphere(double slot, double frame, double radius, double x, double y, double z) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr || !AllFinite({radius, x, y, z}) || !(radius > 0)) return 0;
  bool hit = false;
  if (ObjectSlot* s = ObjectSlotAt(*renderer, slot)) {
    PartSpace space = CurrentPartSpace(*renderer);
    float c[3];
    ToPart(space, x, y, z, 1, c);
    float r = static_cast<float>(radius) * space.lengthScale;
    for (MeshObjectX& part : s->parts.items) {
      if (!space.valid || hit) break;
      if (MeshFrame* f = PartFrame(part, frame)) hit = FrameHitsSphere(*f, c, r);
    }
  }
  DebugDraw(*renderer, hit ? kRed : kGreen, hit ? 1 : 5, [&] { DrawCircles(x, y, z, radius); });
  return hit ? 1 : 0;
}

double ObjectHitsBox(double slot, double frame, double x, double y, double z, double width,
                     double height) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr || !AllFinite({x, y, z, width, height}) || !(width > 0) ||
      !(height > 0)) {
    return 0;
  }
  bool hit = false;
  if (ObjectSlot* s = ObjectSlotAt(*renderer, slot)) {
    PartSpace space = CurrentPartSpace(*renderer);
    float centre[3], axes[3][3];
    ToPart(space, x, y, z, 1, centre);
    ToPart(space, width / 2, 0, 0, 0, axes[0]);
    ToPart(space, 0, height / 2, 0, 0, axes[1]);
    ToPart(space, 0, 0, width / 2, 0, axes[2]);
    for (MeshObjectX& part : s->parts.items) {
      if (!space.valid || hit) break;
      MeshFrame* f = PartFrame(part, frame);
      if (f == nullptr) continue;
      hit = Accelerated(*f) ? BoxBvh(FrameBvh(*f), centre, axes)
                            : BoxPlain(f->triangles.Data(), TriangleCount(*f), centre, axes);
    }
  }
  DebugDraw(*renderer, hit ? kRed : kGreen, hit ? 1 : 5,
            [&] { DrawBoxEdges(x, y, z, width / 2, height / 2, width / 2); });
  return hit ? 1 : 0;
}

double ObjectRayDistance(double slot, double frame, double startX, double startY, double startZ,
                         double directionX, double directionY, double directionZ) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr ||
      !AllFinite({startX, startY, startZ, directionX, directionY, directionZ})) {
    return 0;
  }
  double dir[3] = {directionX, directionY, directionZ};
  double len2 = dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2];
  if (len2 > 1e-7) {
    for (double& v : dir) v /= std::sqrt(len2);
  }
  RayHits hits;
  if (ObjectSlot* s = ObjectSlotAt(*renderer, slot)) {
    PartSpace space = CurrentPartSpace(*renderer);
    float p0[3], p1[3], d[3];
    ToPart(space, startX, startY, startZ, 1, p0);
    ToPart(space, startX + dir[0], startY + dir[1], startZ + dir[2], 1, p1);
    Sub3(p1, p0, d);
    for (MeshObjectX& part : s->parts.items) {
      if (!space.valid) break;
      MeshFrame* f = PartFrame(part, frame);
      if (f == nullptr) continue;
      if (Accelerated(*f)) {
        RayBvh(FrameBvh(*f), p0, d, hits);
      } else {
        RayPlain(f->triangles.Data(), TriangleCount(*f), p0, d, hits);
      }
    }
  }
  double distance = hits.Distance();
  int colour = distance > 0 ? kGreen : distance < 0 ? kYellow : kRed;
  double reach = distance != 0 ? distance : 1000;
  DebugDraw(*renderer, colour, distance != 0 ? 5 : 1, [&] {
    glBegin(GL_LINES);
    glVertex3d(startX, startY, startZ);
    glVertex3d(startX + dir[0] * reach, startY + dir[1] * reach, startZ + dir[2] * reach);
    glEnd();
  });
  return distance;
}

void ProjectPoint(double x, double y, double z, double& screenX, double& screenY, double& depth) {
  if (runtimeState.graphics == nullptr) return;
  WindowMapping w = ReadWindowMapping();
  double in[4] = {x, y, z, 1}, clip[4];
  MultiplyVector(w.combined, in, clip);
  if (clip[3] == 0) return;
  double n[3] = {clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3]};
  const GLint* v = w.viewport;
  screenX = v[0] + (n[0] + 1) * v[2] / 2;
  screenY = v[3] - (v[1] + v[3] * (n[1] + 1) / 2);
  depth = (n[2] + 1) / 2;
}

void UnprojectPoint(double screenX, double screenY, double depth, double& x, double& y, double& z) {
  if (runtimeState.graphics == nullptr) return;
  WindowMapping w = ReadWindowMapping();
  const GLint* v = w.viewport;
  double inverse[16];
  if (v[2] == 0 || v[3] == 0 || !InvertMatrix(w.combined, inverse)) return;
  // Project's own row mapping undone, so a projected point comes back (not one row off).
  double fromBottom = v[3] - screenY;
  double n[4] = {(screenX - v[0]) * 2 / v[2] - 1, (fromBottom - v[1]) * 2 / v[3] - 1, depth * 2 - 1,
                 1};
  double world[4];
  MultiplyVector(inverse, n, world);
  if (world[3] == 0) return;
  x = world[0] / world[3];
  y = world[1] / world[3];
  z = world[2] / world[3];
}

}  // namespace quillon
