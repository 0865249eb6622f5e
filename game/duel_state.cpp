#include "game/duel_state.h"

#include <cstring>

using namespace quillon;

DuelState CaptureDuel() {
  DuelState s{};
  s.shipA = shipA;
  s.shipB = shipB;
  s.energyA = energyA;
  s.energyB = energyB;
  s.hullA = hullA;
  s.hullB = hullB;
  s.deadA = deadA;
  s.deadB = deadB;
  s.scoreA = scoreA;
  s.scoreB = scoreB;
  s.nextBulletA = nextBulletA;
  s.nextBulletB = nextBulletB;
  s.explosionTimer = explosionTimer;
  s.explosionX = explosionX;
  s.explosionY = explosionY;
  for (int i = 0; i <= 100; ++i) {
    s.bulletsA[i] = bulletsA.At(i);
    s.bulletsB[i] = bulletsB.At(i);
    s.liveA[i] = liveA.At(i);
    s.liveB[i] = liveB.At(i);
  }
  return s;
}

void RestoreDuel(const DuelState& s) {
  shipA = s.shipA;
  shipB = s.shipB;
  energyA = s.energyA;
  energyB = s.energyB;
  hullA = s.hullA;
  hullB = s.hullB;
  deadA = s.deadA;
  deadB = s.deadB;
  scoreA = s.scoreA;
  scoreB = s.scoreB;
  for (int i = 0; i <= 100; ++i) {
    bulletsA.At(i) = s.bulletsA[i];
    bulletsB.At(i) = s.bulletsB[i];
    liveA.At(i) = s.liveA[i];
    liveB.At(i) = s.liveB[i];
  }
  nextBulletA = s.nextBulletA;
  nextBulletB = s.nextBulletB;
  explosionTimer = s.explosionTimer;
  explosionX = s.explosionX;
  explosionY = s.explosionY;
}

namespace {

void Mix(uint64_t& hash, double value) {
  unsigned char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  for (unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
}

void Mix(uint64_t& hash, const Body& b) {
  for (double v : {b.x, b.y, b.vx, b.vy, b.angle}) Mix(hash, v);
}

}  // namespace

uint64_t DuelChecksum(const DuelState& s) {
  uint64_t hash = 14695981039346656037ull;
  Mix(hash, s.shipA);
  Mix(hash, s.shipB);
  for (double v : {s.energyA, s.energyB, s.hullA, s.hullB, s.deadA, s.deadB, s.scoreA, s.scoreB,
                   s.nextBulletA, s.nextBulletB, s.explosionTimer, s.explosionX, s.explosionY}) {
    Mix(hash, v);
  }
  for (int i = 0; i <= 100; ++i) {
    Mix(hash, s.bulletsA[i]);
    Mix(hash, s.bulletsB[i]);
    Mix(hash, s.liveA[i]);
    Mix(hash, s.liveB[i]);
  }
  return hash;
}
