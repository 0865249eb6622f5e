// Your first game, step 2: sprites from files. The paddle, the ball and a wall of bricks in five
// colours are pictures loaded into sprite slots and drawn each frame.
#include "runtime/quillon.h"

using namespace quillon;

namespace {

constexpr double kWidth = 640, kHeight = 480;
constexpr int kColumns = 14, kRows = 5;
constexpr double kBrickWidth = 40, kBrickHeight = 16, kBall = 10;
constexpr double kPaddleWidth = 64, kPaddleY = 440;
// Sprite slots.
constexpr double kPaddle = 1, kBallSprite = 2, kFirstBrick = 10;

double BrickX(int column) { return 12 + column * (kBrickWidth + 4); }
double BrickY(int row) { return 60 + row * (kBrickHeight + 4); }

[[noreturn]] void GameMain() {
  LoadSprite("paddle.png", kPaddle);  // found beside the program
  LoadSprite("ball.png", kBallSprite);
  for (int row = 0; row < kRows; ++row)
    LoadSprite(StringValue("brick") + row + ".png", kFirstBrick + row);
  double ballX = 100, ballY = 300, ballDX = 3, ballDY = -4;
  for (;;) {
    ballX += ballDX;
    ballY += ballDY;
    if (ballX < 0 || ballX > kWidth - kBall) ballDX *= -1;
    if (ballY < 0 || ballY > kHeight - kBall) ballDY *= -1;
    FillRect(0, 0, kWidth - 1, kHeight - 1, 0x301810);
    for (int row = 0; row < kRows; ++row)
      for (int column = 0; column < kColumns; ++column)
        DrawSprite(kFirstBrick + row, BrickX(column), BrickY(row));
    DrawSprite(kPaddle, (kWidth - kPaddleWidth) / 2, kPaddleY);
    DrawSprite(kBallSprite, ballX, ballY);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Breakout") == 0) EndFailedStartup();
  GameMain();
}
