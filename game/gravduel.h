// Gravduel: two ships, one sun, one keyboard.
#pragma once

#include "runtime/quillon.h"

struct Body {
  double x, y, vx, vy, angle;
};

extern double fieldWidth, fieldHeight;
extern Body shipA, shipB;
extern double energyA, energyB, hullA, hullB, deadA, deadB, scoreA, scoreB;
extern quillon::DimArray<Body> bulletsA, bulletsB;
extern quillon::DimArray<double> liveA, liveB;
extern double nextBulletA, nextBulletB;
extern double explosionTimer, explosionX, explosionY;
extern double sunX, sunY, turnStep, thrust, shipSlotA, shipSlotB;

// Screen, font, pictures, first values, the backdrop grabbed as background.
void GameStartup();
// The first values of the duel, with the bullet arrays dimensioned (and so cleared).
void SetInitialValues();
// One pass of the main loop, ending in ShowScreen.
void GameFrame();
// The game's main routine: start-up, then frames forever.
[[noreturn]] void GameMain();

void ControlShipA();
void ControlShipB();
void Fire(double player);
void BulletHits();
void DrawFrame();
// The explosion frame (0-30) shown at timer value t; -1 outside -10 ... 300.
int ExplosionFrame(double t);
// DrawFrame without the ShowScreen that ends it: HUD, explosions, bullets, ships.
void DrawScene();
