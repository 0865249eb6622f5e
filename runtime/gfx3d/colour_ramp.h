// The shading ramp of a mesh: one row of 16 brightness levels per colour, for cel shading.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

constexpr int32_t kRampColumns = 16;

// Row count of the ramp for that many colours: the next power of two from 1, or the count
// itself above 16384.
int32_t RampRows(int32_t colourCount);
// The 16 x RampRows RGBA texels, row r from colours[r] (colours[0] past the list, plain white
// for an empty list).
std::vector<uint8_t> ColourRampTexels(const GrowList<uint32_t>& colours);
// Uploads the ramp as rampTexture (GL_RGBA8, clamped in s, repeated in t, linear) and sets
// rampRowStep; nothing when rampTexture is already non-zero. The texture bound on the active unit
// before stays bound. Needs a GL context.
void BuildColourRamp(MeshObjectX& mesh);

}  // namespace quillon
