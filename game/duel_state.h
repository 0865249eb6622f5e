// The whole state of a duel as one value: to draw a frame again without advancing it, and to
// compare two machines' games by checksum.
#pragma once

#include <array>
#include <cstdint>

#include "game/gravduel.h"

struct DuelState {
  Body shipA, shipB;
  double energyA, energyB, hullA, hullB, deadA, deadB, scoreA, scoreB;
  std::array<Body, 101> bulletsA, bulletsB;
  std::array<double, 101> liveA, liveB;
  double nextBulletA, nextBulletB;
  double explosionTimer, explosionX, explosionY;
};

DuelState CaptureDuel();
void RestoreDuel(const DuelState& state);
// FNV-1a over the bits of every number: positions, velocities, energies, hit points, scores,
// bullets and the explosion. Equal games give equal sums; a difference in any bit shows.
uint64_t DuelChecksum(const DuelState& state);
