#include "runtime/values/random.h"

#include "runtime/platform/automation.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr uint32_t kGoldenRatio = 0x9e3779b9;

struct Mixer {
  uint32_t v[8];
};

void Mix(Mixer& m) {
  uint32_t* v = m.v;
  // One line per round, as the algorithm is published.
  // clang-format off
  v[0] ^= v[1] << 11; v[3] += v[0]; v[1] += v[2];
  v[1] ^= v[2] >> 2;  v[4] += v[1]; v[2] += v[3];
  v[2] ^= v[3] << 8;  v[5] += v[2]; v[3] += v[4];
  v[3] ^= v[4] >> 16; v[6] += v[3]; v[4] += v[5];
  v[4] ^= v[5] << 10; v[7] += v[4]; v[5] += v[6];
  v[5] ^= v[6] >> 4;  v[0] += v[5]; v[6] += v[7];
  v[6] ^= v[7] << 8;  v[1] += v[6]; v[7] += v[0];
  v[7] ^= v[0] >> 9;  v[2] += v[7]; v[0] += v[1];
  // clang-format on
}

// Adds eight words of source into the mixer, mixes, and stores the mixer into memory.
void MixInto(Mixer& m, const uint32_t* source, uint32_t* memory) {
  for (int i = 0; i < kIsaacWords; i += 8) {
    for (int k = 0; k < 8; ++k) m.v[k] += source[i + k];
    Mix(m);
    for (int k = 0; k < 8; ++k) memory[i + k] = m.v[k];
  }
}

uint32_t Stir(uint32_t a, int i) {
  switch (i & 3) {
    case 0: return a ^ (a << 13);
    case 1: return a ^ (a >> 6);
    case 2: return a ^ (a << 2);
    default: return a ^ (a >> 16);
  }
}

uint32_t ClockSeed(double milliseconds) {
  if (!(milliseconds >= 0) || !(milliseconds < 1.8e19)) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(milliseconds));
}

IsaacState generator;
bool generatorSeeded = false;
uint32_t startupSeed = 0;

}  // namespace

void IsaacGenerate(IsaacState& s) {
  uint32_t* m = s.memory;
  uint32_t a = s.a;
  uint32_t b = s.b + ++s.c;
  for (int i = 0; i < kIsaacWords; ++i) {
    uint32_t x = m[i];
    a = Stir(a, i) + m[(i + kIsaacWords / 2) & 255];
    uint32_t y = m[(x >> 2) & 255] + a + b;
    m[i] = y;
    b = m[(y >> 10) & 255] + x;
    s.results[i] = b;
  }
  s.a = a;
  s.b = b;
}

void IsaacInitialise(IsaacState& s, uint32_t seed) {
  s = IsaacState{};
  s.results[0] = seed;
  Mixer m;
  for (uint32_t& v : m.v) v = kGoldenRatio;
  for (int i = 0; i < 4; ++i) Mix(m);
  MixInto(m, s.results, s.memory);
  MixInto(m, s.memory, s.memory);
  IsaacGenerate(s);
}

void SeedRandom(uint32_t seed) {
  IsaacInitialise(generator, seed);
  generatorSeeded = true;
}

void SeedRandomAtStartup(double nowMilliseconds) {
  const platform::Automation& automation = platform::GetAutomation();
  startupSeed = automation.hasSeed ? static_cast<uint32_t>(automation.seed)
                                   : ClockSeed(nowMilliseconds);
  SeedRandom(startupSeed);
}

uint32_t StartupRandomSeed() { return startupSeed; }

uint32_t NextRandomWord() {
  if (!generatorSeeded) SeedRandom(0);
  IsaacGenerate(generator);
  return generator.results[0];
}

double RandomInteger(double n) {
  uint32_t r = NextRandomWord();
  uint32_t divisor = static_cast<uint32_t>(TruncateToInt32(n)) + 1u;
  return divisor == 0 ? 0.0 : static_cast<double>(r % divisor);
}

}  // namespace quillon
