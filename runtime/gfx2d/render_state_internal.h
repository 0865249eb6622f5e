// The fixed 2D render state every frame and every window change starts from.
#pragma once



namespace quillon {

// Viewport (a width or height of 0 or less means the whole drawing area) and the fixed 2D state.
void Reset2DState(int x, int y, int width, int height);

}  // namespace quillon
