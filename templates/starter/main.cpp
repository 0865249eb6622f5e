// The smallest Quillon program: a window, a sprite that moves with the cursor keys, a text line.
#include <quillon/quillon.h>

using namespace quillon;

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Starter") == 0) EndFailedStartup();

  // Colours are 0xBBGGRR (red in the low byte); Rgb(red, green, blue) packs one.
  FillRect(0, 0, 31, 31, Rgb(255, 192, 0));  // an orange square, kept as sprite 0
  GrabSprite(0, 0, 0, 32, 32);
  double x = 304, y = 224;
  for (;;) {  // Escape or the close box ends the program
    x += 4 * (KeyDown(205) - KeyDown(203));  // cursor right, left
    y += 4 * (KeyDown(208) - KeyDown(200));  // cursor down, up
    DrawSprite(0, x, y);
    PrintText(StringValue("Move with the cursor keys. Escape ends."), 8, 8);
    ShowScreen();
  }
}
