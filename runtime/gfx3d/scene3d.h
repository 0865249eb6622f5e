// 3D scene state: projection, camera, culling, fog and the transform levels that place the next
// drawn object. Angles are degrees; commands do nothing before start-up.
#pragma once

#include "runtime/values/dim_array.h"

namespace quillon {

// Commands.
// Starts 3D drawing in the current viewport: perspective with the field of view (degrees) between
// the near and far planes, or orthographic for a field of view of 0 or less; default state,
// no culling, lights, effect light, texture scroll or sphere mapping; transform levels popped
// first, so the fresh matrices are the ones left in force.
// Example:
//   Enter3D(1, 1000, 60);  // near plane 1, far plane 1000, 60 degrees of view
//   SetCamera(0, 40, -80, 0, 0, 0);
//   SetLightColour(0, 0xFFFFFF);
//   DrawObject(1, 0);
void Enter3D(double nearPlane, double farPlane, double fieldOfView);
// Drops the pushed transform levels and level 0's rotations, scale and position (its matrices
// stay), then looks from the eye at the target with the up vector.
// Example:
//   double shipX = 10, shipY = 0, shipZ = 50;
//   Enter3D(1, 1000, 60);
//   SetCamera(shipX, shipY + 30, shipZ - 60, shipX, shipY, shipZ);  // behind and above the ship
//   SetLight(0, 0xFFFFFF, 0, 0, 0, 0, -1, 1, 180);
//   SetPosition(shipX, shipY, shipZ);
//   DrawObject(1, 0);
void SetCamera(double eyeX, double eyeY, double eyeZ, double targetX, double targetY,
               double targetZ);
// The up vector of the next SetCamera; Enter3D resets it to (0, 1, 0).
// Example:
//   double roll = 15;  // degrees the camera banks
//   SetCameraUp(SinDeg(roll), CosDeg(roll), 0);
//   SetCamera(0, 30, -60, 0, 0, 0);
void SetCameraUp(double x, double y, double z);
// 0: no culling; above 0: clockwise faces are fronts; below 0: counter-clockwise are fronts.
// Back faces are culled. NaN counts as 0.
// Example:
//   SetCullMode(1);  // skip the inside faces of closed objects
//   DrawObject(1, 0);
void SetCullMode(double mode);
// colour -1: fog off. Else exponential (non-zero) with density start, or linear from start to
// end (both 0: from the near to the far plane). Colour 0x00BBGGRR.
// Example:
//   Enter3D(1, 1000, 60);
//   SetFog(0x806040, 0, 200, 800);  // grey-blue haze from 200 to 800 units away
void SetFog(double colour, double exponential, double start, double end);
// Offsets added to the texture coordinates of drawn parts; Enter3D clears them.
// Example:
//   double flow = ElapsedMilliseconds() / 4000;
//   SetTextureScroll(0, flow);  // a river whose water moves along its length
//   DrawObject(9, 0);
void SetTextureScroll(double u, double v);
// Non-zero: parts get sphere-mapped texture coordinates; Enter3D turns it off.
// Example:
//   SetSphereMapping(1);  // a chrome look from an environment picture
//   SetObjectTexture(12, -1, 1);
//   DrawObject(1, 0);
void SetSphereMapping(double on);
// Next transform level (identity). Beyond 16 levels a push is ignored, and so is its pop.
// Example:
//   SetPosition(0, 0, 50);       // the ship
//   DrawObject(1, 0);
//   PushTransform();             // its turret, placed relative to the ship
//   SetPosition(0, 4, 2);
//   AddRotation(45, 0, 1, 0);
//   DrawObject(2, 0);
//   PopTransform();
void PushTransform();
// Back to the previous level; at level 0 nothing.
// Example:
//   PushTransform();
//   SetScale(2, 2, 2);
//   DrawObject(3, 0);
//   PopTransform();  // back to the ship's placement
void PopTransform();
// Appends a rotation of angle degrees about (x, y, z) to the level; beyond 16 ignored.
// Example:
//   double spin = ElapsedMilliseconds() / 20;  // 50 degrees a second
//   SetPosition(0, 10, 0);
//   AddRotation(spin, 0, 1, 0);  // about the upright axis
//   DrawObject(4, 0);
void AddRotation(double angle, double x, double y, double z);
// Sets the level's position, dropping its rotations and matrices.
// Example:
//   SetPosition(-20, 0, 40);
//   DrawObject(2, 0);
void SetPosition(double x, double y, double z);
// Sets the level's scale, dropping its rotations and matrices.
// Example:
//   SetScale(2, 2, 2);  // twice the size in every direction
//   DrawObject(2, 0);
void SetScale(double x, double y, double z);
// Appends a one-dimensional array of exactly 16 numbers (column-major) as a matrix of the level;
// beyond 16 matrices, or any other array, ignored. Returns the array's first extent.
// Example:
//   DimArray<double> matrix;
//   matrix.FillFromList({1, 0, 0, 0,  0, 1, 0, 0,  0, 0, 1, 0,  5, 0, 0, 1});  // 5 along x
//   AddMatrix(matrix);
//   DrawObject(1, 0);
double AddMatrix(const DimArray<double>& matrix);
// Clears the colour, depth and stencil buffers.
// Example:
//   SetViewport(440, 10, 190, 140);  // a rear-view mirror in the corner
//   Enter3D(1, 1000, 60);
//   Clear3D();
//   SetCamera(0, 20, 60, 0, 0, 0);
//   DrawObject(1, 0);
void Clear3D();

}  // namespace quillon
