// Plumbing shared by the scene, light, line and shader commands.
#pragma once

#include <cstdint>

namespace quillon {

class Rainbows3D;

// The renderer when it exists and its context is live, with pending 2D quads drawn first (they
// must not pick up 3D state); else null and the command does nothing.
Rainbows3D* Live3D();

// Red, green and blue of a 0x00BBGGRR colour, 0..1.
void ColourFloats(double colour, float rgb[3]);

// A marker of size pixels and a line of width pixels in world coordinates (under the camera
// matrix), untextured and unlit; the GL state they change is put back.
void DrawWorldPoint(Rainbows3D& renderer, const float at[3], float size, double colour);
void DrawWorldLine(Rainbows3D& renderer, const float from[3], const float to[3], float width,
                   double colour);

}  // namespace quillon
