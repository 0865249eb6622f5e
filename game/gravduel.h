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

// One ship's controls for one frame.
struct Controls {
  bool thrust, brake, left, right, fire;
};
// The keys of player A (cursor keys, right Ctrl) and of player B (W A S D, Space).
Controls KeysOfA();
Controls KeysOfB();

// Steps 1 to 11 of a frame with the given controls: everything but drawing.
void StepRules(const Controls& a, const Controls& b);
void ControlShipA();
void ControlShipB();
// ControlShipA and ControlShipB with controls from anywhere (the keys, a network peer).
void SteerShipA(const Controls& c);
void SteerShipB(const Controls& c);
void Fire(double player);
void BulletHits();
void DrawFrame();
// The explosion frame (0-30) shown at timer value t; -1 outside -10 ... 300.
int ExplosionFrame(double t);
// DrawFrame without the ShowScreen that ends it: HUD, explosions, bullets, ships.
void DrawScene();
