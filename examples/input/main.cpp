// Text entry and joysticks: the player types a name with InputText, then every connected
// controller gets its own panel, its six axes as bars, its hat as a dot in a cross and its 32
// buttons as dots that light up while pressed. Pressing button 0 rumbles the pad toward where its
// stick points; controllers plugged in while it runs get the next panel.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

const double kPanelWidth = 320, kPanelHeight = 80, kTop = 24;
const double kDim = 0x404040, kLit = 0x40E0FF, kFrame = 0x808080;

// A bar centred on its middle, reaching left or right by the axis value (-1 to 1).
void AxisBar(double left, double top, double value, const char* label) {
  PrintText(StringValue(label), left, top - 3);
  double x = left + 24, middle = x + 50;
  FillRect(x, top, x + 100, top + 5, kDim);
  double end = middle + 50 * value;
  FillRect(std::fmin(middle, end), top, std::fmax(middle, end), top + 5, kLit);
  DrawLine(middle, top - 1, middle, top + 6, kFrame);
}

void Hat(double centreX, double centreY, double hatX, double hatY) {
  DrawLine(centreX - 16, centreY, centreX + 16, centreY, kFrame);
  DrawLine(centreX, centreY - 16, centreX, centreY + 16, kFrame);
  double x = centreX + 12 * hatX, y = centreY + 12 * hatY;
  FillRect(x - 3, y - 3, x + 3, y + 3, hatX != 0 || hatY != 0 ? kLit : kDim);
}

void Panel(double index, double left, double top) {
  DrawLine(left, top, left + kPanelWidth - 4, top, kFrame);
  PrintText(StringValue("") + index + ": " + MidText(JoystickName(index), 0, 34), left + 2,
            top + 2);
  const char* labels[6] = {"x", "y", "z", "rx", "ry", "rz"};
  double axes[6] = {JoystickX(index),  JoystickY(index),  JoystickZ(index),
                    JoystickRX(index), JoystickRY(index), JoystickRZ(index)};
  for (int a = 0; a < 6; ++a) {
    AxisBar(left + 4 + 140 * (a / 3), top + 22 + 12 * (a % 3), axes[a], labels[a]);
  }
  Hat(left + 290, top + 36, JoystickHatX(index), JoystickHatY(index));
  for (int b = 0; b < 32; ++b) {
    double x = left + 6 + 9 * (b % 16), y = top + 62 + 9 * (b / 16);
    FillRect(x, y, x + 5, y + 5, JoystickButton(index, b) != 0 ? kLit : kDim);
  }
}

StringValue AskName() {
  PrintText(StringValue("Your name, then Enter:"), 4, 4);
  StringValue name;
  InputText(name, 4, 20);  // the line is typed over this frame's picture
  return name;
}

[[noreturn]] void GameMain() {
  StringValue player = AskName();
  bool wasDown[10] = {};
  for (;;) {
    double count = JoystickCount();
    PrintText(StringValue("player ") + player + "   controllers: " + count + "   button 0 rumbles",
              4, 4);
    if (count == 0) PrintText(StringValue("no controller: plug one in"), 4, kTop + 8);
    for (int i = 0; i < count; ++i) {
      Panel(i, kPanelWidth * (i % 2), kTop + kPanelHeight * (i / 2));
      bool down = JoystickButton(i, 0) != 0;
      if (down && !wasDown[i]) JoystickForce(i, 300, JoystickX(i), JoystickY(i) - 0.5);
      wasDown[i] = down;
    }
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Joysticks") == 0) EndFailedStartup();
  GameMain();
}
