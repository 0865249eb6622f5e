// Sound effects through SDL's disk audio driver: what the mixer really wrote, sample by sample.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/runtime_errors.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/quillon.h"
#include "runtime/sound/sound_device.h"
#include "support/process.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A sine tone as a WAV file; extraChunk goes between "fmt " and "data".
void WriteTone(const std::string& path, int rate, int bits, double hz, double seconds,
               const std::string& extraChunk = "") {
  int frames = static_cast<int>(rate * seconds), bytes = bits / 8;
  std::string data;
  for (int i = 0; i < frames; ++i) {
    double s = 0.9 * std::sin(2 * M_PI * hz * i / rate);
    int32_t v = bits == 8 ? static_cast<int32_t>(128 + 127 * s) : static_cast<int32_t>(32767 * s);
    for (int b = 0; b < bytes; ++b) data += static_cast<char>(v >> (8 * b));
  }
  auto le = [](uint32_t v, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i));
    return out;
  };
  std::string fmt = "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) +
                    le(rate * bytes, 4) + le(bytes, 2) + le(bits, 2);
  std::string body = "WAVE" + fmt + extraChunk + "data" + le(data.size(), 4) + data;
  std::ofstream(path, std::ios::binary) << "RIFF" << le(body.size(), 4) << body;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillon-sound-" + std::to_string(getpid()));
    fs::create_directories(dir);
    capture = (dir / "out.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    tone = (dir / "tone.wav").string();
    WriteTone(tone, 44100, 16, 1000, 0.1);
  }
  void TearDown() override {
    CloseSoundDevice();
    fs::remove_all(dir);
  }
  // Lets the mixer play until every copy of slot 0 ended, then closes the device and returns the
  // captured stereo samples.
  std::vector<int16_t> Played() {
    for (int i = 0; i < 400 && (IsSoundPlaying(0) || IsSoundPlaying(1)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    CloseSoundDevice();
    std::string raw = testing::ReadWholeFile(capture);
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
  }
  static double Peak(const std::vector<int16_t>& s, int side) {
    int peak = 0;
    for (size_t i = side; i < s.size(); i += 2) peak = std::max(peak, std::abs(int{s[i]}));
    return peak;
  }
  fs::path dir;
  std::string capture, tone;
};

double Decibels(double peak) { return 20 * std::log10(peak / (0.9 * 32767)); }

TEST_F(SoundTest, VolumeAndPanAreDecibels) {
  struct Case { double pan, volume, leftDb, rightDb; };
  for (Case c : {Case{0, 1, 0, 0}, Case{0, 0.5, -50, -50}, Case{-1, 1, 0, -999},
                 Case{-3, 1, 0, -999}, Case{0.5, 1, -50, 0}, Case{0, 0, -999, -999}}) {
    ASSERT_EQ(OpenSoundDevice(nullptr), 1);
    ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 0, 1), 1);
    EXPECT_EQ(PlaySound(0, c.pan, c.volume), 0);
    std::vector<int16_t> out = Played();
    for (int side = 0; side < 2; ++side) {
      double want = side == 0 ? c.leftDb : c.rightDb, peak = Peak(out, side);
      if (want < -200) {
        EXPECT_EQ(peak, 0) << "pan " << c.pan << " volume " << c.volume << " side " << side;
      } else {
        EXPECT_NEAR(Decibels(peak), want, 1) << "pan " << c.pan << " volume " << c.volume;
      }
    }
  }
}

TEST_F(SoundTest, CopiesTakeTurnsAndBusySingleCopiesRefuse) {
  WriteTone(tone, 44100, 16, 1000, 2);
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 3, 1), 1);
  EXPECT_EQ(PlaySound(3, 0, 1), 768);
  EXPECT_EQ(PlaySound(3, 0, 1), -1);
  EXPECT_EQ(IsSoundPlaying(768), 1);  // the refused play left it running
  ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 3, 2), 1);
  EXPECT_EQ(PlaySound(3, 0, 1), 768);
  EXPECT_EQ(PlaySound(3, 0, 1), 769);
  EXPECT_EQ(PlaySound(3, 0, 1), 768);  // both busy: copy 0 restarts
  EXPECT_EQ(IsSoundPlaying(-1), 0);
  ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 200, 9), 1);  // slot 127, four copies
  for (int copy = 0; copy < 4; ++copy) EXPECT_EQ(PlaySound(127.0, 0, 1), 127 * 256 + copy);
  EXPECT_EQ(PlaySound(127, 0, 1), 127 * 256);
  ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 5, 0), 1);
  EXPECT_EQ(PlaySound(5, 0, 1), 1280);
  EXPECT_EQ(PlaySound(5, 0, 1), -1);
  StopAllSounds();
  EXPECT_EQ(IsSoundPlaying(768) + IsSoundPlaying(1280) + IsSoundPlaying(127 * 256), 0);
  for (double bad : {-1.0, -0.5, double{NAN}, -1e300}) {
    EXPECT_EQ(LoadSound(StringValue(tone.c_str()), bad, 1), 0);
    EXPECT_EQ(PlaySound(bad, 0, 1), -1);
  }
  EXPECT_EQ(PlaySound(3, NAN, 1), -1);
  EXPECT_EQ(IsSoundPlaying(1e300) + IsSoundPlaying(NAN) + IsSoundPlaying(255 * 256 + 3), 0);
}

TEST_F(SoundTest, FilesOfEveryShapeAndBrokenOnes) {
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  std::string mono8 = (dir / "mono8.wav").string(), list = (dir / "list.wav").string();
  WriteTone(mono8, 11025, 8, 441, 0.2);
  WriteTone(list, 44100, 16, 1000, 0.05, std::string("LIST\4\0\0\0INFO", 12));
  EXPECT_EQ(LoadSound(StringValue(list.c_str()), 1, 1), 1);
  std::string cut = testing::ReadWholeFile(tone).substr(0, 40);
  std::ofstream((dir / "cut.wav").string(), std::ios::binary) << cut;
  std::ofstream((dir / "text.wav").string()) << "not a sound at all\n";
  for (const char* bad : {"cut.wav", "text.wav", "missing.wav"}) {
    EXPECT_EQ(LoadSound(StringValue((dir / bad).c_str()), 1, 1), 0) << bad;
    EXPECT_EQ(PlaySound(1, 0, 1), -1) << bad;  // the failed load left the slot empty
  }
  ASSERT_EQ(LoadSound(StringValue(mono8.c_str()), 0, 1), 1);
  ASSERT_EQ(PlaySound(0, 0, 1), 0);
  std::vector<int16_t> out = Played();
  int crossings = 0;  // 441 Hz: 882 rising and falling crossings a second
  for (size_t i = 2; i < out.size(); i += 2) crossings += (out[i - 2] < 0) != (out[i] < 0);
  EXPECT_NEAR(crossings / 0.2, 882, 30);
}

// A data chunk claiming more than the file holds, and a sound that would decode past 64 MiB at
// the mixer's rate (7 minutes of 8 kHz mono, 3.4 MB on disk), are refused with a line each.
TEST_F(SoundTest, TruncatedAndOversizedWavFilesAreRefused) {
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  setenv("TMPDIR", dir.c_str(), 1);
  ResetErrorLog();
  std::string cut = testing::ReadWholeFile(tone).substr(0, 44) + std::string(64, '\1');
  cut.replace(40, 4, "\xF0\xFF\xFF\xFF");
  std::ofstream((dir / "short.wav").string(), std::ios::binary) << cut;
  EXPECT_EQ(LoadSound(StringValue((dir / "short.wav").c_str()), 1, 1), 0);
  EXPECT_EQ(PlaySound(1, 0, 1), -1);
  std::string longer = (dir / "long.wav").string(), shorter = (dir / "shorter.wav").string();
  WriteTone(longer, 8000, 8, 440, 420);
  WriteTone(shorter, 8000, 8, 440, 300);
  EXPECT_EQ(LoadSound(StringValue(longer.c_str()), 2, 1), 0);
  EXPECT_EQ(LoadSound(StringValue(shorter.c_str()), 2, 1), 1) << "5 minutes fit";
  std::string log = testing::ReadWholeFile(
      (dir / ("quillon-" + std::to_string(geteuid())) / "ErrorLog.txt").string());
  EXPECT_NE(log.find("short.wav"), std::string::npos) << log;
  EXPECT_NE(log.find("long.wav"), std::string::npos) << log;
  EXPECT_NE(log.find("PlayMusic"), std::string::npos) << log;
  unsetenv("TMPDIR");
}

// Sounds nobody here made: the desktop's sound theme, Ogg Vorbis, each loaded over the last one
// while it still plays.
TEST_F(SoundTest, TheDesktopSoundThemeLoadsAndPlaysAtItsLevel) {
  const fs::path theme = "/usr/share/sounds/freedesktop/stereo";
  if (!fs::exists(theme)) GTEST_SKIP() << "sound-theme-freedesktop is not installed";
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(theme)) {
    if (entry.path().extension() != ".oga") continue;
    ++files;
    ASSERT_EQ(LoadSound(StringValue(entry.path().c_str()), 0, 2), 1) << entry.path();
    size_t from = fs::exists(capture) ? fs::file_size(capture) : 0;
    ASSERT_EQ(PlaySound(0, 0, 1), 0) << entry.path();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string raw = testing::ReadWholeFile(capture).substr(from);
    std::vector<int16_t> heard(raw.size() / 2);
    std::memcpy(heard.data(), raw.data(), heard.size() * 2);
    // Each peaks between -20 and 0 dB of full scale in its first half second.
    double peak = std::max(Peak(heard, 0), Peak(heard, 1));
    EXPECT_GT(peak, 3000) << entry.path();
    EXPECT_LT(peak, 32767) << entry.path();
  }
  EXPECT_GE(files, 30);
}

TEST_F(SoundTest, SoundsLoadFromTheAppendedArchive) {
  std::string packed = (dir / "game.pak").string();
  ASSERT_EQ(std::system(("'" QUILLON_BINARY_DIR "/qpack' '" + packed + "' '" + tone + "'").c_str()), 0);
  fs::remove(tone);
  CreateAssetResolvers(packed);
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  EXPECT_EQ(LoadSound(StringValue("TONE.WAV"), 2, 1), 1);
  DestroyAssetResolvers();
}

TEST_F(SoundTest, WithoutADeviceTheGameRunsOn) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(OpenSoundDevice(nullptr), 0);
  EXPECT_EQ(LoadSound(StringValue(tone.c_str()), 0, 1), 0);
  EXPECT_EQ(PlaySound(0, 0, 1), -1);
  EXPECT_EQ(IsSoundPlaying(0), 0);
  StopAllSounds();
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// The mixer drops a channel's effects when it stops: the second play of a copy kept its gain
// only once the gain was attached at every start.
TEST_F(SoundTest, AReplayedCopyKeepsItsPanAndVolume) {
  ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  ASSERT_EQ(LoadSound(StringValue(tone.c_str()), 0, 1), 1);
  EXPECT_EQ(PlaySound(0, -1, 1), 0);
  for (int i = 0; i < 400 && IsSoundPlaying(0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(PlaySound(0, -1, 1), 0);
  std::vector<int16_t> out = Played();
  EXPECT_GT(Peak(out, 0), 20000);
  EXPECT_EQ(Peak(out, 1), 0) << "the right side of a hard-left sound must stay silent";
}

}  // namespace
}  // namespace quillon
