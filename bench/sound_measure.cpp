// Sound effects through SDL's disk audio driver: how long from PlaySound to the first sound in
// the output, what one PlaySound call costs, and what mixing 64 copies at once costs the CPU.
//   build/bench/sound_measure
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/quillon.h"
#include "runtime/sound/sound_device.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteTone(const std::string& path, double seconds) {
  using quillon::PutLe16, quillon::PutLe32;
  int frames = static_cast<int>(44100 * seconds);
  std::vector<uint8_t> wav(44 + 2 * static_cast<size_t>(frames));
  uint8_t* h = wav.data();
  std::memcpy(h, "RIFF", 4);
  PutLe32(h + 4, static_cast<uint32_t>(wav.size() - 8));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutLe32(h + 16, 16);
  PutLe16(h + 20, 1);  // PCM
  PutLe16(h + 22, 1);  // mono
  PutLe32(h + 24, 44100);
  PutLe32(h + 28, 88200);
  PutLe16(h + 32, 2);
  PutLe16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  PutLe32(h + 40, 2 * static_cast<uint32_t>(frames));
  for (int i = 0; i < frames; ++i) {
    auto v = static_cast<int16_t>(20000 * std::sin(2 * M_PI * 1000 * i / 44100.0));
    PutLe16(h + 44 + 2 * i, static_cast<uint16_t>(v));
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// CPU-seconds per second of the process while the mixer runs for the given time.
double CpuShare(double seconds) {
  double cpu = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return (CpuSeconds() - cpu) / seconds;
}

}  // namespace

int main() {
  using namespace quillon;
  fs::path dir = fs::temp_directory_path() / "quillon-sound-measure";
  fs::create_directories(dir);
  std::string capture = (dir / "out.raw").string(), tone = (dir / "tone.wav").string();
  WriteTone(tone, 3);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);

  // Latency: the disk driver writes in real time from the moment the device opens, so the first
  // loud sample's position says when the sound started; the file's size cannot tell, since the
  // driver's writes are buffered.
  std::vector<double> latencies;
  for (int round = 0; round < 20; ++round) {
    if (OpenSoundDevice(nullptr) != 1 || LoadSound(StringValue(tone.c_str()), 0, 1) != 1) {
      std::fprintf(stderr, "sound_measure: no sound device\n");
      return 1;
    }
    auto opened = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + 7 * round));
    double playedAt = std::chrono::duration<double, std::milli>(Clock::now() - opened).count();
    PlaySound(0, 0, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CloseSoundDevice();
    std::ifstream in(capture, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
    size_t first = 0;
    while (first + 1 < raw.size() && raw[first] == 0 && raw[first + 1] == 0) first += 2;
    latencies.push_back(first / 4.0 / 44.1 - playedAt);
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "PlaySound to first sound in the output: median %.2f ms, max %.2f ms "
      "(one mixer buffer: %.2f ms)\n",
      latencies[latencies.size() / 2], latencies.back(), kSoundBufferSamples / 44.1);

  // The cost of one call, and the mixer's CPU share: idle, then 64 copies at once.
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  OpenSoundDevice(nullptr);
  for (int slot = 0; slot < 16; ++slot) LoadSound(StringValue(tone.c_str()), slot, 4);
  const int kCalls = 2000;
  auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) PlaySound(i % 16, 0, 1);
  double perCall = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kCalls;
  StopAllSounds();
  std::printf("one PlaySound: %.2f us\n", perCall);
  double idle = CpuShare(2);
  for (int i = 0; i < 64; ++i) PlaySound(i % 16, 0, 0.5);
  double busy = CpuShare(2);
  std::printf("process CPU share: idle mixer %.3f, 64 copies playing %.3f of one core\n", idle,
              busy);
  CloseSoundDevice();
  fs::remove_all(dir);
  return 0;
}
