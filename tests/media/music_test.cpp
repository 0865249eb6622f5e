// Music through SDL's disk audio driver: what the mixer wrote while frames went by.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/clip_helpers.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/video.h"
#include "runtime/program/program_end.h"
#include "runtime/quillon.h"
#include "runtime/sound/sound_device.h"
#include "support/process.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string Le(uint32_t v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i));
  return out;
}

void WriteToneWav(const std::string& path, double seconds) {
  const int rate = 44100, frames = static_cast<int>(rate * seconds);
  std::string data;
  for (int i = 0; i < frames; ++i)
    data += Le(static_cast<int16_t>(20000 * std::sin(2 * M_PI * 440.0 * i / rate)), 2);
  std::string fmt = "fmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(rate, 4) + Le(rate * 2, 4) +
                    Le(2, 2) + Le(16, 2);
  std::string body = "WAVE" + fmt + "data" + Le(data.size(), 4) + data;
  std::ofstream(path, std::ios::binary) << "RIFF" << Le(body.size(), 4) << body;
}

// One note, middle C for a second, on the piano.
void WriteMidi(const std::string& path) {
  std::string track = std::string("\x00\x90\x3C\x64", 4) + "\x83\x60" +
                      std::string("\x80\x3C\x00", 3) + std::string("\x00\xFF\x2F\x00", 4);
  std::string be32 = {0, 0, 0, static_cast<char>(track.size())};
  std::string head = std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14);
  std::ofstream(path, std::ios::binary) << head << "MTrk" << be32 << track;
}

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillon-music-" + std::to_string(getpid()));
    fs::create_directories(dir);
    capture = (dir / "out.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    tone = (dir / "tone.wav").string();
    WriteToneWav(tone, 1.0);
    ASSERT_EQ(OpenSoundDevice(nullptr), 1);
  }
  void TearDown() override {
    StopAllMedia();
    CloseSoundDevice();
    fs::remove_all(dir);
  }
  // Sample frames the driver has written so far.
  size_t Written() const { return fs::exists(capture) ? fs::file_size(capture) / 4 : 0; }
  // Runs frames (ShowScreen without a window) or just waits, for about ms.
  void Frames(int ms, bool present = true) {
    InstallTopLayerFlow();
    for (int t = 0; t < ms; t += 16) {
      if (present) ShowScreen();
      platform::SleepMilliseconds(16);
    }
  }
  // Loudest sample between two frame positions of the capture.
  int Peak(size_t from, size_t to) const {
    std::string raw = testing::ReadWholeFile(capture);
    std::vector<int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    int peak = 0;
    for (size_t i = 2 * from; i < std::min(2 * to, s.size()); ++i)
      peak = std::max(peak, std::abs(int{s[i]}));
    return peak;
  }
  fs::path dir;
  std::string capture, tone;
};

TEST_F(MusicTest, ALoopSoundsWhileFramesGoOnAndStopsWithStopMusicOrWithoutFrames) {
  PlayMusic(StringValue(tone.c_str()));
  ASSERT_NE(runtimeState.mediaWindow, nullptr);
  Frames(3200);
  size_t now = Written();
  EXPECT_GT(Peak(now - 8820, now), 10000) << "the one-second tone should still sound after 3 s";
  StopMusic();
  EXPECT_EQ(runtimeState.mediaWindow, nullptr);
  Frames(200);
  size_t stopped = Written();
  Frames(300);
  EXPECT_EQ(Peak(stopped, Written()), 0);

  // No frames presented: the tone ends after its second and is not started again.
  PlayMusic(StringValue(tone.c_str()));
  size_t start = Written();
  Frames(1600, false);
  EXPECT_GT(Peak(start, start + 22050), 10000);
  EXPECT_EQ(Peak(start + 1.25 * 44100, Written()), 0);
}

TEST_F(MusicTest, AMissingFileStopsTheOldMusicAndPlaysNothing) {
  PlayMusic(StringValue(tone.c_str()));
  Frames(200);
  PlayMusic(StringValue((dir / "missing.ogg").c_str()));
  EXPECT_EQ(runtimeState.mediaWindow, nullptr);
  std::ofstream((dir / "junk.ogg").string()) << "not music at all";
  PlayMusic(StringValue((dir / "junk.ogg").c_str()));
  EXPECT_EQ(runtimeState.mediaWindow, nullptr);
  Frames(200);
  size_t from = Written();
  Frames(400);
  EXPECT_EQ(Peak(from, Written()), 0);
}

TEST_F(MusicTest, MidiPlaysWithTheSoundFont) {
  std::string midi = (dir / "note.mid").string();
  WriteMidi(midi);
  size_t from = Written();
  PlayMusic(StringValue(midi.c_str()));
  ASSERT_NE(runtimeState.mediaWindow, nullptr);
  Frames(600);
  EXPECT_GT(Peak(from, Written()), 1000);
}

TEST_F(MusicTest, ArchivedMusicSurvivesLaterSoundLoads) {
  std::string packed = (dir / "game.pak").string();
  WriteToneWav((dir / "other.wav").string(), 0.1);
  std::string command = "'" QUILLON_BINARY_DIR "/qpack' '" + packed + "' '" + tone + "' '" +
                        (dir / "other.wav").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  fs::remove(tone);
  fs::remove(dir / "other.wav");
  CreateAssetResolvers(packed);
  PlayMusic(StringValue("TONE.WAV"));
  ASSERT_NE(runtimeState.mediaWindow, nullptr);
  EXPECT_EQ(LoadSound(StringValue("other.wav"), 1, 1), 1);
  // Played twice: the same file starts again from its beginning.
  PlayMusic(StringValue("tone.wav"));
  ASSERT_NE(runtimeState.mediaWindow, nullptr);
  Frames(1500);
  size_t now = Written();
  EXPECT_GT(Peak(now - 8820, now), 10000);
  StopMusic();
  DestroyAssetResolvers();
}

// The program's end stops the music and the movie sound before the mixer closes.
TEST_F(MusicTest, TheProgramsEndStopsMusicAndMovieSound) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto ending = [&] {
    PlayMusic(StringValue(tone.c_str()));
    std::vector<int16_t> sound(2 * 44100, 9000);
    platform::StartPcmStream();
    platform::QueuePcmFrames(sound.data(), 44100);
    std::atexit([] {
      if (runtimeState.mediaWindow != nullptr || platform::QueuedPcmFrames() != 0) std::_Exit(3);
    });
    InstallTopLayerFlow();
    EndProgram();
  };
  EXPECT_EXIT(ending(), ::testing::ExitedWithCode(0), "");
}

// Eight minutes of silence in FLAC, a few kilobytes, would take 85 MB decoded: refused before
// it is decoded; music streams it instead.
TEST_F(MusicTest, ALongCompressedSoundIsRefusedButPlaysAsMusic) {
  std::string silence = (dir / "silence.flac").string();
  ASSERT_TRUE(testing::WriteClip(silence, {.toneHz = 440, .toneLevel = 0, .soundSeconds = 480,
                                           .withVideo = false, .container = "flac"}));
  EXPECT_LT(fs::file_size(silence), 1000000u);
  EXPECT_EQ(LoadSound(StringValue(silence.c_str()), 4, 1), 0);
  EXPECT_EQ(PlaySound(4, 0, 1), -1);
  PlayMusic(StringValue(silence.c_str()));
  EXPECT_NE(runtimeState.mediaWindow, nullptr);
}

// A movie's sound track whose frames switch from stereo to mono: the mono half is decoded and
// heard on both sides, rather than read as the two planes the stereo half had.
TEST(MovieSound, ATrackThatTurnsMonoMidwayGoesOnDecoding) {
  std::string clip =
      (fs::temp_directory_path() / ("quillon-mono-" + std::to_string(getpid()) + ".mkv")).string();
  testing::ClipSpec spec{.width = 64, .height = 48, .fps = 30, .frames = 60, .toneHz = 440};
  spec.toneTurnsMono = true;
  ASSERT_TRUE(testing::WriteClip(clip, spec));
  platform::VideoFile* video = platform::OpenVideo(clip.c_str());
  ASSERT_NE(video, nullptr);
  while (platform::ReadVideoPacket(video)) {
  }
  EXPECT_NEAR(platform::DecodedSoundSeconds(video), 2.0, 0.1);
  int frames = platform::PendingSoundFrames(video);
  const int16_t* sound = platform::PendingSound(video);
  int left = 0, right = 0;
  for (int i = frames - 22050; i >= 0 && i < frames; ++i) {
    left = std::max(left, std::abs(int{sound[2 * i]}));
    right = std::max(right, std::abs(int{sound[2 * i + 1]}));
  }
  EXPECT_GT(left, 10000);
  EXPECT_GT(right, 10000);
  platform::CloseVideo(video);
  fs::remove(clip);
}

}  // namespace
}  // namespace quillon
