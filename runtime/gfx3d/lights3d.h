// The eight lights of the 3D scene and the effect light of bump mapping, cel shading and stencil
// shadows. Positions are world coordinates as placed by the camera in force.
#pragma once

namespace quillon {

// Commands. Colours are 0x00BBGGRR.
// index 0..7: cone 0 switches the light off; position and direction all 0 with cone 180: a light
// at the eye; cone up to 90: a spot light of that half-angle at the position along the
// direction; cone 180: a directional light shining along the direction; other cones: a point
// light at the position. Negative index: the effect light (on unless cone is 0), -1 for bump
// mapping, -3 for stencil shadows (starts or ends the shadow pass), others for cel shading.
// Index 8 or more, NaN or a NaN cone do nothing. In debug mode the light is marked on screen.
// Example:
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 40, -80, 0, 0, 0);  // behind and above the scene
//   SetLight(0, 0xC0E0FF, 0, 0, 0, -1, -1, 1, 180);     // warm sunlight shining down and forward
//   SetLight(1, 0xFF4040, 0, 10, 0, 0, -1, 0, 30);      // a blue spot on the landing pad
//   LoadObject("ship.qmo", 1);
//   DrawObject(1, 0);
void SetLight(double index, double colour, double x, double y, double z, double directionX,
              double directionY, double directionZ, double cone);
// The light of that index at the eye in that colour (SetLight with cone 180 and no position).
// Example:
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 40, -80, 0, 0, 0);
//   SetLightColour(0, 0xFFFFFF);  // a white light at the eye
//   DrawObject(1, 0);
void SetLightColour(double index, double colour);

}  // namespace quillon
