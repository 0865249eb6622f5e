// The language's random numbers: Bob Jenkins' ISAAC, one full generation pass per draw.
#pragma once

#include <cstdint>

namespace quillon {

constexpr int kIsaacWords = 256;

struct IsaacState {
  uint32_t results[kIsaacWords];
  uint32_t memory[kIsaacWords];
  uint32_t a;
  uint32_t b;
  uint32_t c;
};

// Golden-ratio initialisation over a seed block that is zero except for word 0, then the first
// generation pass. Seed 0 therefore reproduces the published ISAAC test vector.
// Example:
//   IsaacState level;  // a generator of its own: the same seed builds the same level
//   IsaacInitialise(level, 42);
//   uint32_t firstRoom = level.results[0];
void IsaacInitialise(IsaacState& state, uint32_t seed);
// One generation pass: c counts up, all 256 result words are recomputed.
// Example:
//   IsaacState level;
//   IsaacInitialise(level, 42);
//   IsaacGenerate(level);  // 256 fresh words in level.results
void IsaacGenerate(IsaacState& state);

// Re-seeds the runtime's generator.
// Example:
//   SeedRandom(20261207);  // the same daily challenge for every player
//   double firstEnemyX = RandomInteger(639);
void SeedRandom(uint32_t seed);
// Start-up's seeding: QUILLON_SEED when it is set, else the low 32 bits of the clock reading.
// Example:
//   SeedRandomAtStartup(NowMilliseconds());  // what start-up does
void SeedRandomAtStartup(double nowMilliseconds);
// The seed start-up used, so that a recorded run can be replayed with it.
uint32_t StartupRandomSeed();
// One pass, first result word. A generator nobody seeded behaves as if seeded with 0.
uint32_t NextRandomWord();
// 0 to n inclusive, as r mod (n + 1) in unsigned 32-bit arithmetic; n = -1 gives 0.
// Example:
//   double enemyX = RandomInteger(639);  // 0 to 639
//   double dice = 1 + RandomInteger(5);  // 1 to 6
double RandomInteger(double n);

}  // namespace quillon
