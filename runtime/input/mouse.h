// Mouse commands. Movement is sampled once per frame; later reads in the same frame repeat it
// and refresh only the buttons.
#pragma once

#include "runtime/input/input_state.h"

namespace quillon {

MouseSample ReadMouse();
void MouseState(double& x, double& y, double& left, double& right);
double MouseAxis(double selector);
double AnyMouseButton();
void SetMousePosition(double x, double y);
void ShowSystemPointer(double on);

}  // namespace quillon
