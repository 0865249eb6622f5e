#include "game/gravduel.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "game/net_duel.h"

using namespace quillon;

double fieldWidth, fieldHeight;
Body shipA, shipB;
double energyA, energyB, hullA, hullB, deadA, deadB, scoreA, scoreB;
DimArray<Body> bulletsA, bulletsB;
DimArray<double> liveA, liveB;
double nextBulletA, nextBulletB;
double explosionTimer, explosionX, explosionY;
double sunX, sunY, turnStep, thrust, shipSlotA, shipSlotB;

namespace {

constexpr double kSunSlot = 131;

bool Touch(double slotA, double xA, double yA, double slotB, double xB, double yB) {
  return SpriteCollision(slotA, xA, yA, slotB, xB, yB) != 0;
}

bool ShipsTouch() { return Touch(0, shipB.x, shipB.y, 1, shipA.x, shipA.y); }

double DistanceToSun(const Body& ship) {
  return SquareRoot((ship.x - sunX) * (ship.x - sunX) + (ship.y - sunY) * (ship.y - sunY));
}

void GainEnergy(const Body& ship, double& energy) {
  double d = DistanceToSun(ship);
  if (d < 70) energy += 0.1;
  if (d > 70) energy += 0.05;
}

// The stronger ship loses what the weaker one had; the weaker one is left with nothing.
void Ram() {
  if (hullA > hullB) {
    hullA -= hullB;
    hullB = 0;
  }
  if (hullB > hullA) {
    hullB -= hullA;
    hullA = 0;
  }
}

void MoveBullets(DimArray<Body>& bullets, DimArray<double>& live, int i) {
  if (live.At(i) != 0) {
    bullets.At(i).x -= bullets.At(i).vx;
    bullets.At(i).y -= bullets.At(i).vy;
  }
}

void Wrap(double& coordinate, double size) {
  if (coordinate < 0) coordinate += size;
  if (coordinate > size) coordinate -= size;
}

void RemoveOutsideBullet(DimArray<Body>& bullets, DimArray<double>& live, int i) {
  const Body& b = bullets.At(i);
  if (live.At(i) != 0 && (b.x < 0 || b.x > fieldWidth || b.y < 0 || b.y > fieldHeight)) live.At(i) = 0;
}

void Respawn(Body& ship, double x, double y) {
  ship.x = x;
  ship.y = y;
  ship.angle = 0;
  ship.vx = 0;
  ship.vy = 0;
}

void DrawExplosion(double t, double x, double y) {
  int k = ExplosionFrame(t);
  if (k >= 0) DrawSprite(30 + k, x, y);
}

void DrawHud() {
  DrawSpriteRotated(1, 750, 20, 270);
  PrintNumber(std::trunc(energyA), 730, 50);
  DrawSpriteRotated(0, 50, 20, 270);
  PrintNumber(std::trunc(energyB), 30, 50);
  DrawSprite(2, 745, 80);
  PrintNumber(hullA, 730, 120);
  DrawSprite(2, 45, 80);
  PrintNumber(hullB, 30, 120);
  DrawSprite(3, 745, 140);
  PrintNumber(std::trunc(scoreA), 730, 180);
  DrawSprite(3, 45, 140);
  PrintNumber(std::trunc(scoreB), 30, 180);
}

}  // namespace

void GameStartup() {
  fieldWidth = 800;
  fieldHeight = 640;
  SetScreen(800, 640, 0);
  LoadFont("smalfont.bmp", 1);
  SetFont(1);
  LoadSprite("ship2/ship0_1.bmp", 0);
  LoadSprite("ship1/ship0_1.bmp", 1);
  LoadSprite("hp.bmp", 2);
  LoadSprite("points.bmp", 3);
  LoadSprite("backgr2.png", 130);
  LoadSprite("sun/sun.bmp", 131);
  for (int n = 0; n <= 10; ++n) LoadSprite(StringValue("explosion/explos") + n + ".bmp", 30 + n);
  for (int n = 11; n <= 30; ++n) LoadSprite(StringValue("explosion/explos") + n + "_1.bmp", 30 + n);
  for (int s = 500; s <= 600; ++s) LoadSprite("ship1/bullet.bmp", s);
  for (int s = 700; s <= 800; ++s) LoadSprite("ship2/bullet.bmp", s);

  SetInitialValues();

  SetAlphaMode(-1);
  DrawSprite(130, (fieldWidth - 768) * 0.5, (fieldHeight - 640) * 0.5);
  DrawSprite(kSunSlot, sunX, sunY);
  SetAlphaMode(0);
  GrabBackground();
}

void SetInitialValues() {
  shipA = {300, 100, 0, 0, 0};
  shipB = {300, 500, 0, 0, 0};
  energyA = energyB = 100;
  hullA = hullB = 100;
  explosionTimer = 300;
  sunX = 384;
  sunY = 320;
  turnStep = 5.625;
  thrust = 0.11;
  shipSlotA = 1;
  shipSlotB = 0;

  bulletsA.Dimension(101);
  bulletsB.Dimension(101);
  liveA.Dimension(101);
  liveB.Dimension(101);
}

void GameFrame() {
  StepRules(KeysOfA(), KeysOfB());
  DrawFrame();
}

void StepRules(const Controls& a, const Controls& b) {
  GainEnergy(shipA, energyA);
  GainEnergy(shipB, energyB);
  if (energyA > 100) energyA = 100;
  if (energyB > 100) energyB = 100;

  if (energyA > 0) SteerShipA(a);
  if (energyB > 0) SteerShipB(b);

  BulletHits();

  if (ShipsTouch() && hullA != hullB) Ram();

  for (int i = 0; i <= 100; ++i) {
    MoveBullets(bulletsA, liveA, i);
    MoveBullets(bulletsB, liveB, i);
  }

  if (deadA == 0) {
    shipA.x += shipA.vx;
    shipA.y += shipA.vy;
  }
  if (deadB == 0) {
    shipB.x += shipB.vx;
    shipB.y += shipB.vy;
  }

  Wrap(shipA.x, fieldWidth);
  Wrap(shipA.y, fieldHeight);
  Wrap(shipB.x, fieldWidth);
  Wrap(shipB.y, fieldHeight);

  for (int i = 0; i <= 100; ++i) {
    RemoveOutsideBullet(bulletsA, liveA, i);
    RemoveOutsideBullet(bulletsB, liveB, i);
  }

  if (hullA < 1) deadA = 1;
  if (hullB < 1) deadB = 1;
  if (Touch(1, shipA.x, shipA.y, kSunSlot, sunX, sunY)) deadA = 1;
  if (Touch(0, shipB.x, shipB.y, kSunSlot, sunX, sunY)) deadB = 1;

  if (ShipsTouch()) {
    if (hullA == hullB) {
      deadA = 1;
      deadB = 1;
    } else {
      Ram();
    }
  }
}

// The first k with 290 - 10k <= t <= 300 - 10k.
int ExplosionFrame(double t) {
  for (int k = 0; k <= 30; ++k) {
    if (290 - 10 * k <= t && t <= 300 - 10 * k) return k;
  }
  return -1;
}

void GameMain() {
  NetOptions net;
  std::string error;
  bool networked = ReadNetOptions(CommandLineText().CStr(), net, error);
  if (!error.empty()) {
    std::fprintf(stderr, "gravduel: %s\nusage: gravduel [--host [PORT] | --join HOST [PORT]]\n",
                 error.c_str());
    EndProgram();
  }
  if (networked) NetDuelMain(net);
  GameStartup();
  for (;;) GameFrame();
}

Controls KeysOfA() {
  return {KeyDown(200) != 0, KeyDown(208) != 0, KeyDown(203) != 0, KeyDown(205) != 0,
          KeyDown(157) != 0};
}

Controls KeysOfB() {
  return {KeyDown(17) != 0, KeyDown(31) != 0, KeyDown(30) != 0, KeyDown(32) != 0,
          KeyDown(57) != 0};
}

void ControlShipA() { SteerShipA(KeysOfA()); }
void ControlShipB() { SteerShipB(KeysOfB()); }

void SteerShipA(const Controls& c) {
  if (c.thrust) {
    energyA -= 0.1;
    shipA.vx -= SinDeg(shipA.angle - 90) * thrust;
    shipA.vy -= CosDeg(shipA.angle - 90) * thrust;
  }
  if (c.brake) {
    if (shipA.vx > 0) shipA.vx += SinDeg(shipA.angle - 90) * thrust;
    if (shipA.vy > 0) shipA.vy += CosDeg(shipA.angle - 90) * thrust;
    energyA -= 0.1;
  }
  if (c.left) {
    energyA -= 0.1;
    shipA.angle += turnStep;
  }
  if (c.right) {
    energyA -= 0.1;
    shipA.angle -= turnStep;
  }
  if (c.fire) Fire(1);
}

void SteerShipB(const Controls& c) {
  if (c.thrust) {
    energyB -= 0.1;
    shipB.vx -= SinDeg(shipB.angle - 90) * thrust;
    shipB.vy -= CosDeg(shipB.angle - 90) * thrust;
  }
  if (c.brake) {
    energyB -= 0.1;
    shipB.vx = 0;
    shipB.vy = 0;
  }
  if (c.left) {
    energyB -= 0.1;
    shipB.angle += turnStep;
  }
  if (c.right) {
    energyB -= 0.1;
    shipB.angle -= turnStep;
  }
  if (c.fire) Fire(2);
}

void Fire(double player) {
  if (player != 1 && player != 2) return;
  bool a = player == 1;
  Body& ship = a ? shipA : shipB;
  double& energy = a ? energyA : energyB;
  DimArray<Body>& bullets = a ? bulletsA : bulletsB;
  DimArray<double>& live = a ? liveA : liveB;
  double& next = a ? nextBulletA : nextBulletB;

  if (!(energy > 0)) return;
  energy -= 1;
  int i = static_cast<int>(next);
  Body& bullet = bullets.At(i);
  bullet.x = ship.x + 10;
  bullet.y = ship.y + 17;
  bullet.angle = ship.angle;
  bullet.vx = SinDeg(bullet.angle - 90) * 5;
  bullet.vy = CosDeg(bullet.angle - 90) * 5;
  live.At(i) = 1;
  next += 1;
  if (next == 100) next = 0;
}

void BulletHits() {
  for (int i = 0; i <= 100; ++i) {
    if (liveA.At(i) != 0) {
      const Body& b = bulletsA.At(i);
      if (Touch(500 + i, b.x, b.y, kSunSlot, sunX, sunY)) liveA.At(i) = 0;
      if (Touch(700 + i, b.x, b.y, 0, shipB.x, shipB.y)) {
        liveA.At(i) = 0;
        hullB -= 1;
      }
    }
    if (liveB.At(i) != 0) {
      const Body& b = bulletsB.At(i);
      if (Touch(700 + i, b.x, b.y, kSunSlot, sunX, sunY)) liveB.At(i) = 0;
      if (Touch(500 + i, b.x, b.y, 1, shipA.x, shipA.y)) {
        liveB.At(i) = 0;
        hullA -= 1;
      }
    }
  }
}

void DrawFrame() {
  DrawScene();
  ShowScreen();
}

void DrawScene() {
  DrawHud();

  if (deadA == 1) {
    explosionX = shipA.x;
    explosionY = shipA.y;
  } else if (deadB == 1) {
    explosionX = shipB.x;
    explosionY = shipB.y;
  }

  if (deadA == 1 || deadB == 1) {
    DrawExplosion(explosionTimer, explosionX, explosionY);
    explosionTimer -= 5;
    if (explosionTimer == -10) {
      if (deadA != 1) {
        scoreA += 1;
        hullB = 100;
        Respawn(shipB, 300, 500);
        deadB = 0;
      } else {
        scoreB += 1;
        Respawn(shipA, 300, 100);
        hullA = 100;
        deadA = 0;
      }
      explosionTimer = 300;
    }
  }

  if (deadA == 1 && deadB == 1) {
    DrawExplosion(explosionTimer, shipA.x, shipA.y);
    DrawExplosion(explosionTimer, shipB.x, shipB.y);
    explosionTimer -= 5;
    if (explosionTimer == -10) {
      Respawn(shipA, 300, 100);
      Respawn(shipB, 300, 500);
      hullA = hullB = 100;
      deadA = deadB = 0;
      explosionTimer = 300;
    }
  }

  for (int i = 0; i <= 100; ++i) {
    if (liveA.At(i) != 0) DrawSprite(500 + i, bulletsA.At(i).x, bulletsA.At(i).y);
  }
  for (int i = 0; i <= 100; ++i) {
    if (liveB.At(i) != 0) DrawSprite(700 + i, bulletsB.At(i).x, bulletsB.At(i).y);
  }

  if (deadA != 1) DrawSpriteRotated(shipSlotA, shipA.x, shipA.y, shipA.angle);
  if (deadB != 1) DrawSpriteRotated(shipSlotB, shipB.x, shipB.y, shipB.angle);
}
