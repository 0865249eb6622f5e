// Lines, markers and axes drawn in 3D world coordinates, untextured and unlit.
#pragma once

namespace quillon {

// Commands. Colours are 0x00BBGGRR; sizes are pixels.
// A line from (x1, y1, z1) to (x2, y2, z2), width clamped to 1..512.
// Example:
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 40, -80, 0, 0, 0);
//   DrawLine3D(0, 0, 0, 0, 30, 40, 2, 0x00FFFF);  // a yellow laser beam, 2 pixels wide
void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width,
                double colour);
// A square marker at (x, y, z), size clamped to 1..512.
// Example:
//   double waypointX = 20, waypointZ = 35;
//   DrawPoint3D(waypointX, 0, waypointZ, 6, 0x00FF00);  // a green marker
void DrawPoint3D(double x, double y, double z, double size, double colour);
// Red, green and blue arrows of length 20 along x, y and z from (x, y, z).
// Example:
//   Enter3D(1, 1000, 60);
//   SetCamera(30, 30, -60, 0, 0, 0);
//   DrawAxes(0, 0, 0);  // which way x, y and z point, while placing objects
void DrawAxes(double x, double y, double z);

}  // namespace quillon
