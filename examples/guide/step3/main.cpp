// Your first game, step 3: the keyboard. Left and right move the paddle, space launches the ball
// from it; the ball bounces off the walls and, for now, flies through the bricks.
#include <cmath>

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

struct Game {
  bool bricks[kRows][kColumns];
  double paddleX = (kWidth - kPaddleWidth) / 2;
  double ballX = 0, ballY = 0, ballDX = 0, ballDY = 0, speed = 5;
  bool ballMoving = false;
};

void BuildWall(Game& game) {
  for (auto& row : game.bricks)
    for (bool& brick : row) brick = true;
}

void MovePaddle(Game& game) {
  game.paddleX += 7 * (KeyDown(205) - KeyDown(203));  // cursor right, cursor left
  game.paddleX = std::fmax(0, std::fmin(kWidth - kPaddleWidth, game.paddleX));
  if (!game.ballMoving) {  // the ball rides on the paddle until space launches it
    game.ballX = game.paddleX + (kPaddleWidth - kBall) / 2;
    game.ballY = kPaddleY - kBall;
    if (KeyDown(57) != 0) {
      game.ballMoving = true;
      game.ballDX = game.speed * 0.6;
      game.ballDY = -game.speed * 0.8;
    }
  }
}

void MoveBall(Game& game) {
  if (!game.ballMoving) return;
  game.ballX += game.ballDX;
  game.ballY += game.ballDY;
  if (game.ballX < 0 || game.ballX > kWidth - kBall) {
    game.ballDX *= -1;
    game.ballX = std::fmax(0, std::fmin(kWidth - kBall, game.ballX));
  }
  if (game.ballY < 0) {
    game.ballDY *= -1;
    game.ballY = 0;
  }
  if (game.ballY > kHeight) {  // missed
    game.ballMoving = false;
  }
}

void Draw(const Game& game) {
  FillRect(0, 0, kWidth - 1, kHeight - 1, 0x301810);  // 0xBBGGRR: a dark blue
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column)
      if (game.bricks[row][column]) DrawSprite(kFirstBrick + row, BrickX(column), BrickY(row));
  DrawSprite(kPaddle, game.paddleX, kPaddleY);
  DrawSprite(kBallSprite, game.ballX, game.ballY);
}

[[noreturn]] void GameMain() {
  LoadSprite("paddle.png", kPaddle);
  LoadSprite("ball.png", kBallSprite);
  for (int row = 0; row < kRows; ++row)
    LoadSprite(StringValue("brick") + row + ".png", kFirstBrick + row);
  Game game;
  BuildWall(game);
  for (;;) {
    MovePaddle(game);
    MoveBall(game);
    Draw(game);
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
