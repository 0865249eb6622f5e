// Movies in a real window: the fitted picture read back, the waiting rules under a script, the
// sound in the disk driver's capture, and files that must not hang or be trusted.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/clip_helpers.h"
#include "runtime/core/flow_hooks.h"
#include "runtime/gfx2d/png_reader.h"
#include "runtime/gfx2d/rgba_image.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/input/input_script.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/clock.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"
#include "support/process.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

class Movie : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = testing::MakeTempDir("movie");
    capture = dir + "/sound.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    testing::StartTestRuntime(640, 400);
  }
  void SetUp() override { ClearInputScript(); }
  void TearDown() override { ClearInputScript(); }
  static std::string Clip(const std::string& name, const testing::ClipSpec& spec) {
    std::string path = dir + "/" + name;
    EXPECT_TRUE(testing::WriteClip(path, spec)) << name;
    return path;
  }
  // A script event at a frame counted from now.
  static void ScriptFromNow(const std::string& lines) {
    std::string text;
    size_t start = 0;
    while (start < lines.size()) {
      size_t end = lines.find('\n', start);
      std::string line = lines.substr(start, end - start);
      int offset = std::atoi(line.c_str());
      text += std::to_string(ShowScreenCount() + offset) + line.substr(line.find(' ')) + "\n";
      start = end == std::string::npos ? lines.size() : end + 1;
    }
    ASSERT_TRUE(LoadInputScript(text));
  }
  static size_t Written() { return fs::exists(capture) ? fs::file_size(capture) / 4 : 0; }
  static std::vector<int16_t> Captured() {
    std::string raw = testing::ReadWholeFile(capture);
    std::vector<int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
  }
  static int Peak(size_t from, size_t to) {
    std::vector<int16_t> s = Captured();
    int peak = 0;
    for (size_t i = 2 * from; i < std::min(2 * to, s.size()); ++i) {
      peak = std::max(peak, std::abs(int{s[i]}));
    }
    return peak;
  }
  // The last frame the movie presented, as the automation's screenshots caught it.
  static RgbaImage LastScreenshot(const std::string& clip) {
    std::string shots = testing::MakeTempDir("movie-shots");
    setenv("QUILLON_SCREENSHOT", (shots + "/frame.png").c_str(), 1);
    setenv("QUILLON_SCREENSHOT_EVERY", "1", 1);
    platform::ReloadAutomation();
    PlayMovie(StringValue(clip.c_str()));
    unsetenv("QUILLON_SCREENSHOT");
    unsetenv("QUILLON_SCREENSHOT_EVERY");
    platform::ReloadAutomation();
    std::string last;
    for (const auto& entry : fs::directory_iterator(shots)) {
      last = std::max(last, entry.path().string());
    }
    RgbaImage image;
    EXPECT_TRUE(ReadPngImage(last.c_str(), -1, image)) << "no movie frame was caught";
    fs::remove_all(shots);
    return image;
  }
  // Plays the clip: seconds of its tone captured, the longest silence inside it, and the seconds
  // the driver wrote between the tone's end and the movie's return.
  struct Played {
    double heard = 0, longestGap = 0, afterEnd = 0;
  };
  static Played PlayAndHear(const std::string& clip) {
    size_t from = Written();
    PlayMovie(StringValue(clip.c_str()));
    size_t returned = Written(), first = 0, last = 0;
    platform::SleepMilliseconds(200);  // the driver writes what the mixer took
    std::vector<int16_t> s = Captured();
    Played p;
    for (size_t at = from; 2 * at < s.size(); ++at) {
      if (std::abs(int{s[2 * at]}) < 200) continue;  // a 440 Hz tone passes 200 every few frames
      if (first == 0) first = last = at;
      p.longestGap = std::max(p.longestGap, (at - last) / 44100.0);
      last = at;
    }
    p.heard = (last - first) / 44100.0;
    p.afterEnd = (double(returned) - last) / 44100;
    return p;
  }
  static std::string dir, capture;
};
std::string Movie::dir, Movie::capture;

testing::Rgba PixelAt(const RgbaImage& image, int x, int y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return {1, 2, 3, 4};
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
  return {p[0], p[1], p[2], 255};
}

bool Near(testing::Rgba p, uint32_t rgb) {
  return std::abs(p.r - int(rgb >> 16 & 255)) <= 12 && std::abs(p.g - int(rgb >> 8 & 255)) <= 12 &&
         std::abs(p.b - int(rgb & 255)) <= 12;
}

TEST(MovieFit, ScaledByTheSmallerRatioAndCentred) {
  MovieRectangle r = FitMovie(320, 240, 640, 400);
  EXPECT_EQ(r.width, 533);
  EXPECT_EQ(r.height, 400);
  EXPECT_EQ(r.x, 53);
  EXPECT_EQ(r.y, 0);
  r = FitMovie(200, 400, 640, 400);
  EXPECT_EQ(r.width, 200);
  EXPECT_EQ(r.x, 220);
  EXPECT_EQ(FitMovie(0, 0, 640, 400).width, 0);
  EXPECT_EQ(FitMovie(320, -5, 640, 400).width, 0);
}

TEST_F(Movie, ASolidClipFillsItsFittedRectangleAndNothingElse) {
  const uint32_t colour = 0xC83C28;
  std::string clip = Clip("solid.mkv", {.frames = 15, .colourAt = [&](int) { return colour; }});
  RgbaImage frame = LastScreenshot(clip);
  ASSERT_TRUE(LastMovieReport().opened);
  ASSERT_EQ(frame.width, 640);
  const testing::Rgba black{0, 0, 0, 255};
  for (int y : {0, 200, 399}) {
    EXPECT_TRUE(Near(PixelAt(frame, 53, y), colour)) << "left edge, row " << y;
    EXPECT_TRUE(Near(PixelAt(frame, 585, y), colour)) << "right edge, row " << y;
    EXPECT_EQ(PixelAt(frame, 52, y), black) << "left of it, row " << y;
    EXPECT_EQ(PixelAt(frame, 586, y), black) << "right of it, row " << y;
  }
}

// Colour bars on every way a picture reaches the screen: 4:2:0 planes as decoded at limited and
// full levels (rows padded past the width), planes converted from 4:2:2 and from RGB, scaled and
// at their own size, through the shader and as RGBA.
TEST_F(Movie, ColourBarsKeepTheirColoursOnEveryPath) {
  using testing::Pictures;
  const std::vector<uint32_t> bars = {0xFFFFFF, 0xE0E000, 0x00C0C0, 0x10A010,
                                      0xC020C0, 0xC83C28, 0x2020D0, 0x202020};
  struct Case {
    const char* name;
    Pictures pictures;
    int width, height;
  };
  for (Case c : {Case{"mpeg4-200x150.mkv", Pictures::Mpeg4, 200, 150},
                 Case{"mpeg4-640x400.mkv", Pictures::Mpeg4, 640, 400},
                 Case{"jpeg420.mkv", Pictures::Jpeg420, 320, 240},
                 Case{"jpeg422.mkv", Pictures::Jpeg422, 320, 240},
                 Case{"png.mkv", Pictures::PngRgb, 320, 240}}) {
    std::string clip = Clip(
        c.name,
        {.width = c.width, .height = c.height, .frames = 3, .bars = bars, .pictures = c.pictures});
    MovieRectangle place = FitMovie(c.width, c.height, 640, 400);
    for (MoviePictures choice : {MoviePictures::Planes, MoviePictures::Rgba}) {
      ChooseMoviePictures(choice);
      RgbaImage frame = LastScreenshot(clip);
      bool planes = choice == MoviePictures::Planes;
      EXPECT_EQ(LastMovieReport().drewPlanes, planes) << c.name;
      for (size_t i = 0; i < bars.size(); ++i) {
        int x = place.x + static_cast<int>((i + 0.5) * place.width / bars.size());
        for (int y : {place.y + 2, place.y + place.height / 2, place.y + place.height - 3}) {
          EXPECT_TRUE(Near(PixelAt(frame, x, y), bars[i]))
              << c.name << (planes ? " planes" : " RGBA") << ", bar " << i << ", row " << y;
        }
      }
    }
  }
  ChooseMoviePictures(MoviePictures::Automatic);
  // The shader path leaves the fixed-function state the 2D layer draws with.
  GLint program = -1, unit = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
  EXPECT_EQ(program, 0);
  EXPECT_EQ(unit, GL_TEXTURE0);
  for (int i = 1; i < 3; ++i) {
    arb.glActiveTextureARB(GL_TEXTURE0 + i);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << i;
  }
  arb.glActiveTextureARB(GL_TEXTURE0);
}

TEST_F(Movie, PlaysToItsEndAndAHeldKeyDoesNotEndIt) {
  std::string clip = Clip("short.mkv", {.frames = 20});
  PlayMovie(StringValue(clip.c_str()));
  EXPECT_GE(LastMovieReport().framesShown + LastMovieReport().framesDropped, 19);
  EXPECT_FALSE(LastMovieReport().hadSound);

  // The key that started it is still down for a few frames: the movie waits and then plays.
  ScriptFromNow("0 key a down\n5 key a up\n");
  PlayMovie(StringValue(clip.c_str()));
  EXPECT_GE(LastMovieReport().framesShown + LastMovieReport().framesDropped, 19);
}

TEST_F(Movie, ALoopedMovieRunsUntilAScriptedKeyOrButton) {
  std::string clip = Clip("loop.mkv", {.frames = 10});
  ScriptFromNow("45 key space down\n50 key space up\n");
  PlayMovieLooped(StringValue(clip.c_str()));
  EXPECT_GE(LastMovieReport().loops, 2);
  EXPECT_LE(LastMovieReport().framesShown, 60);

  ScriptFromNow("25 button left down\n30 button left up\n");
  PlayMovieLooped(StringValue(clip.c_str()));
  EXPECT_GE(LastMovieReport().loops, 1);
  EXPECT_LE(LastMovieReport().framesShown, 40);
}

TEST_F(Movie, SoundPlaysThroughTheMixer) {
  std::string clip = Clip("tone.mkv", {.frames = 30, .toneHz = 660});
  std::string silent = Clip("silent.mkv", {.frames = 15});
  size_t from = Written();
  PlayMovie(StringValue(silent.c_str()));
  size_t between = Written();
  PlayMovie(StringValue(clip.c_str()));
  EXPECT_TRUE(LastMovieReport().hadSound);
  EXPECT_EQ(Peak(from, between), 0);
  EXPECT_GT(Peak(between, Written()), 12000);
}

// The movie runs on its own clock, the sound device's: whatever pace the game set, its sound
// plays its length without a gap, the movie ends with it, and each picture goes up near its time
// in the sound. (The disk driver's clock is the device's; on a loaded machine it runs slower than
// the wall clock, so lengths are counted in captured samples.)
TEST_F(Movie, KeepsItsLengthAndUnbrokenSoundAtAnyGameRate) {
  std::string clip = Clip("tone3s.mkv", {.frames = 90, .toneHz = 440});
  for (int rate : {60, 5, 2}) {
    SetFrameRate(rate);
    Played p = PlayAndHear(clip);
    const MovieReport& r = LastMovieReport();
    EXPECT_NEAR(p.heard, 3.0, 0.06) << "game rate " << rate;
    EXPECT_LT(p.longestGap, 0.05) << "game rate " << rate;
    EXPECT_LT(p.afterEnd, 0.5) << "game rate " << rate;  // a loaded machine returns late
    // Late pictures are dropped on a loaded machine, but never half of them.
    EXPECT_GE(r.framesShown + r.framesDropped, 88) << "game rate " << rate;
    EXPECT_GE(r.framesShown, 45) << "game rate " << rate;
    EXPECT_LT(r.medianOffsetMs, 34) << "game rate " << rate;
    EXPECT_LT(r.worstOffsetMs, 500) << "game rate " << rate;
  }
  SetFrameRate(60);
}

TEST_F(Movie, HoldsItsLastPictureUntilItsLongerSoundHasPlayed) {
  std::string clip = Clip("long-sound.mkv", {.frames = 30, .toneHz = 440, .soundSeconds = 4});
  Played p = PlayAndHear(clip);
  EXPECT_NEAR(p.heard, 4.0, 0.08);
  EXPECT_LT(p.longestGap, 0.05);
  EXPECT_LT(p.afterEnd, 0.5);
}

TEST_F(Movie, BrokenTruncatedAndUntrustedFilesEndWithoutAHang) {
  std::string whole = Clip("whole.mkv", {.frames = 90, .toneHz = 440});
  std::string cut = dir + "/cut.mkv";
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) / 3);
  PlayMovie(StringValue(cut.c_str()));
  EXPECT_TRUE(LastMovieReport().opened);
  EXPECT_LT(LastMovieReport().framesShown + LastMovieReport().framesDropped, 60);
  // The same cut looped: every pass ends early, a key still ends it.
  ScriptFromNow("60 key x down\n");
  PlayMovieLooped(StringValue(cut.c_str()));
  EXPECT_GE(LastMovieReport().loops, 1);
  ClearInputScript();

  std::string soundOnly = Clip("sound-only.mkv", {.toneHz = 440, .withVideo = false});
  std::ofstream(dir + "/junk.mkv") << "no movie here";
  // Uncompressed 320 x 256 pictures whose container claims 16000 x 16000 (1 GB a picture) or 0 x 0.
  std::string bytes = testing::ReadWholeFile(Clip(
      "raw.avi", {.width = 320, .height = 256, .frames = 3, .rawVideo = true, .container = "avi"}));
  auto claim = [&](const std::string& name, const std::string& size) {
    std::string patched = bytes, real = std::string("\x40\x01\0\0\0\x01\0\0", 8);
    int found = 0;
    for (size_t at = patched.find(real); at != std::string::npos; at = patched.find(real, at)) {
      patched.replace(at, 8, size);
      ++found;
    }
    EXPECT_GE(found, 1);
    std::ofstream(dir + "/" + name, std::ios::binary) << patched;
    return dir + "/" + name;
  };
  std::string huge = claim("huge.avi", std::string("\x80\x3E\0\0\x80\x3E\0\0", 8));
  std::string zero = claim("zero.avi", std::string(8, '\0'));
  // 320 x 512 claimed: every packet is half a picture, none decodes. Looped, it must still end.
  std::string halves = claim("halves.avi", std::string("\x40\x01\0\0\0\x02\0\0", 8));
  PlayMovieLooped(StringValue(halves.c_str()));
  EXPECT_TRUE(LastMovieReport().opened);
  EXPECT_EQ(LastMovieReport().framesShown, 0);
  PlayMovie(StringValue((dir + "/raw.avi").c_str()));
  EXPECT_TRUE(LastMovieReport().opened) << "the clip as written plays";
  for (std::string name : {soundOnly, dir + "/junk.mkv", dir + "/missing.mkv", huge, zero}) {
    PlayMovie(StringValue(name.c_str()));
    EXPECT_FALSE(LastMovieReport().opened) << name;
  }
}

}  // namespace
}  // namespace quillon
