// Commands that test a sphere, a box or a ray against an object slot as the current transform
// levels place it, and that convert between world and window coordinates.
#pragma once

namespace quillon {

// Commands. A part whose triangles are not all finite (or span past the float range) is hit
// by none of the three tests.
// 1 when the sphere of radius (world units) at (x, y, z) reaches into any part's triangles of
// frame frame; a sphere that only touches a face is no hit. A bad slot, a frame past a part's
// last, a radius of 0 or less, or a value that is not finite gives 0.
double ObjectHitsSphere(double slot, double frame, double radius, double x, double y, double z);
// 1 when the box centred at (x, y, z), width along x and z and height along y, overlaps or
// touches any part's triangles of frame frame. A bad slot or frame, a width or height of 0 or
// less, or a value that is not finite gives 0.
double ObjectHitsBox(double slot, double frame, double x, double y, double z, double width,
                     double height);
// Distance in world units along the ray from (startX, startY, startZ) in direction
// (directionX, directionY, directionZ) to the nearest hit in front; without one, the nearest
// hit behind the start as a negative distance; 0 for no hit, a bad slot or frame.
double ObjectRayDistance(double slot, double frame, double startX, double startY, double startZ,
                         double directionX, double directionY, double directionZ);
// World point (x, y, z) to window pixels (screenY from the top) and depth 0..1 through the
// current projection, modelview and viewport; the outputs stay unchanged when it cannot be
// projected.
void ProjectPoint(double x, double y, double z, double& screenX, double& screenY, double& depth);
// The inverse of ProjectPoint (screenY from the top): a projected point comes back; the outputs
// stay unchanged when the matrices cannot be inverted.
void UnprojectPoint(double screenX, double screenY, double depth, double& x, double& y, double& z);

}  // namespace quillon
