// Your first game, step 5: the score and the bounces heard. Each brick scores by its row and
// plays a sound panned to where it was; the paddle and the walls have their own.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

constexpr double kWidth = 640, kHeight = 480;
constexpr int kColumns = 14, kRows = 5;
constexpr double kBrickWidth = 40, kBrickHeight = 16, kBall = 10;
constexpr double kPaddleWidth = 64, kPaddleY = 440;
// Sprite slots and sound slots.
constexpr double kPaddle = 1, kBallSprite = 2, kFirstBrick = 10;
constexpr double kBounce = 0, kBreak = 1, kMiss = 2;

double BrickX(int column) { return 12 + column * (kBrickWidth + 4); }
double BrickY(int row) { return 60 + row * (kBrickHeight + 4); }

struct Game {
  bool bricks[kRows][kColumns];
  int bricksLeft = 0;
  double paddleX = (kWidth - kPaddleWidth) / 2;
  double ballX = 0, ballY = 0, ballDX = 0, ballDY = 0, speed = 5;
  bool ballMoving = false;
  double score = 0;
};

void BuildWall(Game& game) {
  for (auto& row : game.bricks)
    for (bool& brick : row) brick = true;
  game.bricksLeft = kRows * kColumns;
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

// The ball leaves the paddle at an angle set by where it hit: the edges send it out wide.
void BounceOffPaddle(Game& game) {
  if (game.ballDY <= 0 || RectanglesOverlap(game.ballX, game.ballY, kBall, kBall, game.paddleX,
                                            kPaddleY, kPaddleWidth, 12) == 0) {
    return;
  }
  double offset = (game.ballX + kBall / 2 - game.paddleX) / kPaddleWidth * 2 - 1;  // -1 to 1
  double angle = 90 + 60 * std::fmax(-1, std::fmin(1, offset));                    // degrees
  game.ballDX = -game.speed * CosDeg(angle);
  game.ballDY = -game.speed * SinDeg(angle);
  PlaySound(kBounce, offset, 0.8);
}

void HitBricks(Game& game, double lastX) {
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (!game.bricks[row][column] ||
          RectanglesOverlap(game.ballX, game.ballY, kBall, kBall, BrickX(column), BrickY(row),
                            kBrickWidth, kBrickHeight) == 0) {
        continue;
      }
      game.bricks[row][column] = false;
      --game.bricksLeft;
      game.score += 10 * (kRows - row);  // the top rows are worth more
      // Came in from the side: turn back across; else from above or below.
      bool fromSide = lastX + kBall <= BrickX(column) || lastX >= BrickX(column) + kBrickWidth;
      (fromSide ? game.ballDX : game.ballDY) *= -1;
      PlaySound(kBreak, BrickX(column) / kWidth * 2 - 1, 0.8);
      return;  // one brick a frame
    }
  }
}

void MoveBall(Game& game) {
  if (!game.ballMoving) return;
  double lastX = game.ballX;
  game.ballX += game.ballDX;
  game.ballY += game.ballDY;
  if (game.ballX < 0 || game.ballX > kWidth - kBall) {
    game.ballDX *= -1;
    game.ballX = std::fmax(0, std::fmin(kWidth - kBall, game.ballX));
    PlaySound(kBounce, game.ballX < kWidth / 2 ? -1 : 1, 0.5);
  }
  if (game.ballY < 0) {
    game.ballDY *= -1;
    game.ballY = 0;
    PlaySound(kBounce, 0, 0.5);
  }
  BounceOffPaddle(game);
  HitBricks(game, lastX);
  if (game.bricksLeft == 0) {  // wall cleared: a new one and a faster ball
    BuildWall(game);
    game.speed += 1;
    game.ballMoving = false;
  }
  if (game.ballY > kHeight) {  // missed
    PlaySound(kMiss, 0, 1);
    game.ballMoving = false;
  }
}

void PrintCentred(const StringValue& text, double y) {
  double cellWidth = 0, cellHeight = 0;
  GetFontSize(cellWidth, cellHeight);
  PrintText(text, (kWidth - TextLength(text) * cellWidth) / 2, y);
}

void Draw(const Game& game) {
  FillRect(0, 0, kWidth - 1, kHeight - 1, 0x301810);  // 0xBBGGRR: a dark blue
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column)
      if (game.bricks[row][column]) DrawSprite(kFirstBrick + row, BrickX(column), BrickY(row));
  DrawSprite(kPaddle, game.paddleX, kPaddleY);
  DrawSprite(kBallSprite, game.ballX, game.ballY);
  PrintText(StringValue("Score ") + game.score, 12, 12);
  if (!game.ballMoving) {
    PrintCentred("Space launches the ball", 300);
  }
}

[[noreturn]] void GameMain() {
  LoadSprite("paddle.png", kPaddle);
  LoadSprite("ball.png", kBallSprite);
  for (int row = 0; row < kRows; ++row)
    LoadSprite(StringValue("brick") + row + ".png", kFirstBrick + row);
  LoadSound("bounce.wav", kBounce, 2);
  LoadSound("brick.wav", kBreak, 3);
  LoadSound("miss.wav", kMiss, 1);
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
