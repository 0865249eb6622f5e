// Lines, markers and axes drawn in 3D world coordinates, untextured and unlit.
#pragma once

namespace quillon {

// Commands. Colours are 0x00BBGGRR; sizes are pixels.
// A line from (x1, y1, z1) to (x2, y2, z2), width clamped to 1..512.
void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width,
                double colour);
// A square marker at (x, y, z), size clamped to 1..512.
void DrawPoint3D(double x, double y, double z, double size, double colour);
// Red, green and blue arrows of length 20 along x, y and z from (x, y, z).
void DrawAxes(double x, double y, double z);

}  // namespace quillon
