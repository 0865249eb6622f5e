// The 2D coordinate system and render state shared by every 2D command.
#pragma once

namespace quillon {

// Viewport (a width or height of 0 or less means the whole drawing area) and the fixed 2D state.
void Reset2DState(int x, int y, int width, int height);

// Commands.
// 0 opaque, below 0 alpha blending, above 0 additive, at intensity min(|mode|, 1); a non-finite
// mode changes nothing.
void SetAlphaMode(double mode);
void SetViewport(double x, double y, double width, double height);
void GetScreenSize(double& width, double& height);

}  // namespace quillon
