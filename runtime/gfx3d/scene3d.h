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
void Enter3D(double nearPlane, double farPlane, double fieldOfView);
// Drops the pushed transform levels and level 0's rotations, scale and position (its matrices
// stay), then looks from the eye at the target with the up vector.
void SetCamera(double eyeX, double eyeY, double eyeZ, double targetX, double targetY,
               double targetZ);
// The up vector of the next SetCamera; Enter3D resets it to (0, 1, 0).
void SetCameraUp(double x, double y, double z);
// 0: no culling; above 0: clockwise faces are fronts; below 0: counter-clockwise are fronts.
// Back faces are culled. NaN counts as 0.
void SetCullMode(double mode);
// colour -1: fog off. Else exponential (non-zero) with density start, or linear from start to
// end (both 0: from the near to the far plane). Colour 0x00BBGGRR.
void SetFog(double colour, double exponential, double start, double end);
// Offsets added to the texture coordinates of drawn parts; Enter3D clears them.
void SetTextureScroll(double u, double v);
// Non-zero: parts get sphere-mapped texture coordinates; Enter3D turns it off.
void SetSphereMapping(double on);
// Next transform level (identity). Beyond 16 levels a push is ignored, and so is its pop.
void PushTransform();
// Back to the previous level; at level 0 nothing.
void PopTransform();
// Appends a rotation of angle degrees about (x, y, z) to the level; beyond 16 ignored.
void AddRotation(double angle, double x, double y, double z);
// Sets the level's position, dropping its rotations and matrices.
void SetPosition(double x, double y, double z);
// Sets the level's scale, dropping its rotations and matrices.
void SetScale(double x, double y, double z);
// Appends a one-dimensional array of exactly 16 numbers (column-major) as a matrix of the level;
// beyond 16 matrices, or any other array, ignored. Returns the array's first extent.
double AddMatrix(const DimArray<double>& matrix);
// Clears the colour, depth and stencil buffers.
void Clear3D();

}  // namespace quillon
