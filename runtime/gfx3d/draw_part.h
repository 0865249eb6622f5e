// Drawing one part of an object slot: frame choice, view-cone test, pose, buffers, arrays and
// the effect modes.
#pragma once

#include <cstdint>

#include "runtime/gfx3d/rainbows3d.h"

namespace quillon {

// The two frames a draw blends and the weight: the part shows first + (second - first) · weight,
// except that a weight of exactly 0 shows second.
struct FrameChoice {
  int32_t first = 0;
  int32_t second = 0;
  float weight = 0;
};

// With animate, a..b is a range and t (wrapped into 0..1) the position in it; else (a, b, t) as
// given. Frames are clamped to 0..frameCount-1 (NaN gives 0); a non-finite weight becomes 0.
FrameChoice ChooseFrames(double a, double b, double t, bool animate, int32_t frameCount);

// Square root of x >= 0 from its bit pattern: within about 6% of the true root.
float ApproxSquareRoot(float x);

// Whether a sphere (centre, radius, in world units) may be seen from the camera's view cone.
bool InViewCone(const Rainbows3D& renderer, const float centre[3], float radius);

// Draws the part at the current placement, with the texture bound at the time; in shadow mode
// only its shadow volume goes into the stencil buffer.
void DrawPart(Rainbows3D& renderer, MeshObjectX& part, const FrameChoice& frames);

}  // namespace quillon
