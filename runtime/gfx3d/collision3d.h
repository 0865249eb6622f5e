// Commands that test a sphere, a box or a ray against an object slot as the current transform
// levels place it, and that convert between world and window coordinates.
#pragma once

namespace quillon {

// Commands. A part whose triangles are not all finite (or span past the float range) is hit
// by none of the three tests.
// 1 when the sphere of radius (world units) at (x, y, z) reaches into any part's triangles of
// frame frame; a sphere that only touches a face is no hit. A bad slot, a frame past a part's
// last, a radius of 0 or less, or a value that is not finite gives 0.
// Example:
//   LoadObject("rock.qmo", 2);
//   double shipX = 0, shipY = 5, shipZ = 40;
//   SetPosition(0, 0, 50);  // where the rock is drawn this frame
//   if (ObjectHitsSphere(2, 0, 3, shipX, shipY, shipZ) != 0) PlaySound(0, 0, 1);
double ObjectHitsSphere(double slot, double frame, double radius, double x, double y, double z);
// 1 when the box centred at (x, y, z), width along x and z and height along y, overlaps or
// touches any part's triangles of frame frame. A bad slot or frame, a width or height of 0 or
// less, or a value that is not finite gives 0.
// Example:
//   LoadObject("level.qmo", 1);
//   double playerX = 10, playerY = 1, playerZ = 20;
//   // The player as a box 1 wide and 2 tall, standing on playerY.
//   bool blocked = ObjectHitsBox(1, 0, playerX, playerY + 1, playerZ, 1, 2) != 0;
double ObjectHitsBox(double slot, double frame, double x, double y, double z, double width,
                     double height);
// Distance in world units along the ray from (startX, startY, startZ) in direction
// (directionX, directionY, directionZ) to the nearest hit in front; without one, the nearest
// hit behind the start as a negative distance; 0 for no hit, a bad slot or frame.
// Example:
//   LoadObject("terrain.qmo", 1);
//   double x = 12, z = -30;
//   double drop = ObjectRayDistance(1, 0, x, 100, z, 0, -1, 0);  // straight down
//   double groundY = drop > 0 ? 100 - drop : 0;
double ObjectRayDistance(double slot, double frame, double startX, double startY, double startZ,
                         double directionX, double directionY, double directionZ);
// World point (x, y, z) to window pixels (screenY from the top) and depth 0..1 through the
// current projection, modelview and viewport; the outputs stay unchanged when it cannot be
// projected.
// Example:
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 30, -60, 0, 0, 0);
//   double sx = 0, sy = 0, depth = 0;
//   ProjectPoint(0, 12, 0, sx, sy, depth);  // the point above the ship's head
//   PrintText("Player 1", sx - 32, sy - 16);
void ProjectPoint(double x, double y, double z, double& screenX, double& screenY, double& depth);
// The inverse of ProjectPoint (screenY from the top): a projected point comes back; the outputs
// stay unchanged when the matrices cannot be inverted.
// Example:
//   double mx = 0, my = 0, left = 0, right = 0;
//   MouseState(mx, my, left, right);
//   double nearX = 0, nearY = 0, nearZ = 0, farX = 0, farY = 0, farZ = 0;
//   UnprojectPoint(mx, my, 0, nearX, nearY, nearZ);  // the ray under the pointer
//   UnprojectPoint(mx, my, 1, farX, farY, farZ);
//   double hit =
//       ObjectRayDistance(1, 0, nearX, nearY, nearZ, farX - nearX, farY - nearY, farZ - nearZ);
void UnprojectPoint(double screenX, double screenY, double depth, double& x, double& y, double& z);

}  // namespace quillon
