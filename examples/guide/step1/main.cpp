// Your first game, step 1: a window and the frame loop. Each pass draws the whole picture, moves
// the ball and shows the frame; ShowScreen keeps the pace at 60 frames a second.
#include "runtime/quillon.h"

using namespace quillon;

namespace {

constexpr double kWidth = 640, kHeight = 480, kBall = 10;

[[noreturn]] void GameMain() {
  double ballX = 100, ballY = 300, ballDX = 3, ballDY = -4;
  for (;;) {  // Escape or the window's close box ends the program
    ballX += ballDX;
    ballY += ballDY;
    if (ballX < 0 || ballX > kWidth - kBall) ballDX *= -1;  // bounce off every side
    if (ballY < 0 || ballY > kHeight - kBall) ballDY *= -1;
    FillRect(0, 0, kWidth - 1, kHeight - 1, 0x301810);  // colours are 0xBBGGRR: a dark blue
    FillRect(ballX, ballY, ballX + kBall - 1, ballY + kBall - 1, 0xFFFFFF);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;  // the start-up settings, before StartRuntime
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Breakout") == 0) EndFailedStartup();
  GameMain();
}
