// The duel's rules, run frame by frame in-process with scripted keys.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "game/gravduel.h"
#include "runtime/input/input_script.h"
#include "runtime/platform/window.h"
#include "support/gl_runtime.h"

namespace {

using namespace quillon;

class Duel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    quillon::testing::StartTestRuntime(640, 480);
    // The pictures sit beside the game program.
    std::filesystem::current_path(std::filesystem::path(QUILLON_GRAVDUEL_PATH).parent_path());
    GameStartup();
  }
  void SetUp() override {
    ClearInputScript();
    SetInitialValues();
    deadA = deadB = scoreA = scoreB = 0;
    nextBulletA = nextBulletB = 0;
  }
  void TearDown() override { ClearInputScript(); }

  // Holds the given scan codes for every following frame.
  static void Hold(std::initializer_list<int> codes) {
    std::string script;
    for (int code : codes) script += "0 key " + std::to_string(code) + " down\n";
    ASSERT_TRUE(LoadInputScript(script));
  }
  // Far from the sun and from each other, at rest.
  static void Park() {
    shipA = {100, 100, 0, 0, 0};
    shipB = {600, 500, 0, 0, 0};
  }
  static int LiveCount(DimArray<double>& live) {
    int n = 0;
    for (int i = 0; i <= 100; ++i) n += live.At(i) != 0;
    return n;
  }
};

TEST_F(Duel, StartupLoadsThePicturesAndGrabsTheBackdrop) {
  int w = 0, h = 0;
  platform::GetClientSize(runtimeState.window, w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 640);
  EXPECT_EQ(runtimeState.currentFont, 1);
  double sw, sh;
  for (int slot : {0, 1, 2, 3, 130, 131, 30, 45, 60, 500, 600, 700, 800}) {
    GetSpriteSize(slot, sw, sh);
    EXPECT_GT(sw * sh, 0) << "slot " << slot;
  }
  GetSpriteSize(130, sw, sh);
  EXPECT_EQ(sw, 768);
  EXPECT_EQ(sh, 640);
  GetSpriteSize(61, sw, sh);
  EXPECT_EQ(sw, 0);
  EXPECT_EQ(liveA.Bound(0), 101);
  EXPECT_EQ(bulletsB.Bound(0), 101);

  // Every frame starts on the backdrop with the sun: black left of the 768-pixel picture.
  ShowScreen();
  quillon::testing::Rgba sun = quillon::testing::ReadPixel(400, 336);
  EXPECT_GT(sun.r, 200);
  EXPECT_GT(sun.g, 100);
  quillon::testing::Rgba margin = quillon::testing::ReadPixel(5, 300);
  EXPECT_EQ(margin.r + margin.g + margin.b, 0);
  quillon::testing::Rgba sky = quillon::testing::ReadPixel(200, 300);
  EXPECT_GT(sky.b, 0);
}

TEST_F(Duel, EnergyComesFromTheSun) {
  struct Case {
    double distance, gain;
  } cases[] = {{69, 0.1}, {71, 0.05}, {70, 0}};
  for (const Case& c : cases) {
    SetInitialValues();
    Park();
    shipA.x = sunX + c.distance;
    shipA.y = sunY;
    energyA = 50;
    GameFrame();
    EXPECT_NEAR(energyA, 50 + c.gain, 1e-12) << c.distance;
  }
  Park();
  energyA = 99.99;
  GameFrame();
  EXPECT_EQ(energyA, 100);
}

TEST_F(Duel, RamCostsTheStrongerWhatTheWeakerHad) {
  Park();
  shipB = shipA;
  hullA = 100;
  hullB = 40;
  GameFrame();
  EXPECT_EQ(hullA, 60);
  EXPECT_EQ(hullB, 0);
  EXPECT_EQ(deadB, 1);  // in the same frame
  EXPECT_EQ(deadA, 0);
}

TEST_F(Duel, EqualRamDestroysBothAndNobodyScores) {
  Park();
  shipB = shipA;
  hullA = hullB = 50;
  GameFrame();
  EXPECT_EQ(deadA, 1);
  EXPECT_EQ(deadB, 1);
  int frames = 1;
  while ((deadA == 1 || deadB == 1) && frames < 200) {
    GameFrame();
    ++frames;
  }
  EXPECT_EQ(frames, 31);  // both steps advance the timer: 10 a frame
  EXPECT_EQ(scoreA + scoreB, 0);
  EXPECT_EQ(shipA.x, 300);
  EXPECT_EQ(shipB.y, 500);
  EXPECT_EQ(hullA + hullB, 200);
  EXPECT_EQ(explosionTimer, 300);
}

TEST_F(Duel, TheSunKillsWhateverTheHull) {
  Park();
  shipA.x = sunX + 4;
  shipA.y = sunY + 4;
  hullA = 100;
  GameFrame();
  EXPECT_EQ(deadA, 1);
  EXPECT_EQ(hullA, 100);
}

TEST_F(Duel, ShipsWrapButBulletsLeave) {
  Park();
  shipA.x = -0.5;
  shipB.x = 800;
  GameFrame();
  EXPECT_EQ(shipA.x, 799.5);
  EXPECT_EQ(shipB.x, 800);

  liveA.At(3) = 1;
  bulletsA.At(3) = {800, 10, 0, 0, 0};
  liveB.At(4) = 1;
  bulletsB.At(4) = {800.1, 10, 0, 0, 0};
  GameFrame();
  EXPECT_EQ(liveA.At(3), 1);
  EXPECT_EQ(liveB.At(4), 0);
}

TEST_F(Duel, HoldingFireForASecond) {
  Park();
  Hold({157});
  for (int i = 0; i < 60; ++i) GameFrame();
  EXPECT_EQ(nextBulletA, 60);
  // Each frame: 0.05 from the far sun (capped at 100), then 1 for the shot.
  EXPECT_NEAR(energyA, 100 - 60 + 59 * 0.05, 1e-9);
  EXPECT_GT(LiveCount(liveA), 0);
  EXPECT_EQ(LiveCount(liveB), 0);
}

TEST_F(Duel, ShotsFlyAlongTheHeadingAndIndicesWrapAt100) {
  Park();
  shipA.angle = 90;
  Fire(1);
  const Body& b = bulletsA.At(0);
  EXPECT_EQ(b.x, 110);
  EXPECT_EQ(b.y, 117);
  EXPECT_NEAR(b.vx, 0, 1e-9);
  EXPECT_NEAR(b.vy, 5, 1e-9);
  GameFrame();
  EXPECT_NEAR(bulletsA.At(0).y, 112, 1e-9);  // straight up

  nextBulletA = 99;
  Fire(1);
  EXPECT_EQ(liveA.At(99), 1);
  EXPECT_EQ(nextBulletA, 0);
  Fire(3);  // no such player
  EXPECT_EQ(nextBulletA, 0);
}

TEST_F(Duel, LastEnergyStillFiresThenControlsStop) {
  Park();
  energyA = 0.5;
  Fire(1);
  EXPECT_EQ(energyA, -0.5);
  Hold({157, 200});
  GameFrame();  // 0.05 from the sun is not enough to steer
  EXPECT_NEAR(energyA, -0.45, 1e-12);
  EXPECT_EQ(shipA.vx, 0);
  EXPECT_EQ(nextBulletA, 1);
}

TEST_F(Duel, BrakeOfAOnlySlowsPositiveComponentsAndSStopsB) {
  Park();
  shipA.vx = 1;
  shipB.vx = 2;
  shipB.vy = -3;
  Hold({208, 31});
  ControlShipA();
  ControlShipB();
  EXPECT_NEAR(shipA.vx, 1 - 0.11, 1e-9);
  EXPECT_EQ(shipB.vx, 0);
  EXPECT_EQ(shipB.vy, 0);
  EXPECT_NEAR(energyB, 99.9, 1e-12);
  shipA.vx = -1;
  ControlShipA();
  EXPECT_EQ(shipA.vx, -1);
}

TEST_F(Duel, TurningAndThrustFollowTheHeading) {
  Park();
  Hold({203, 200});  // left and thrust: turn first costs, thrust uses the old angle
  ControlShipA();
  EXPECT_EQ(shipA.angle, 5.625);
  EXPECT_NEAR(shipA.vx, 0.11, 1e-9);  // heading 0 points right
  EXPECT_NEAR(energyA, 99.8, 1e-12);
  Hold({32});
  ControlShipB();
  EXPECT_EQ(shipB.angle, -5.625);
}

TEST_F(Duel, BulletsHitTheOtherShipOnce) {
  Park();
  liveA.At(0) = 1;
  bulletsA.At(0) = {shipB.x + 10, shipB.y + 10, 0, 0, 0};
  liveA.At(1) = 1;
  bulletsA.At(1) = {shipA.x + 10, shipA.y + 10, 0, 0, 0};  // own ship: no hit
  BulletHits();
  EXPECT_EQ(hullB, 99);
  EXPECT_EQ(liveA.At(0), 0);
  EXPECT_EQ(hullA, 100);
  EXPECT_EQ(liveA.At(1), 1);
  BulletHits();
  EXPECT_EQ(hullB, 99);

  // On the sun and on ship B at once: one hit point.
  shipB.x = sunX + 20;
  shipB.y = sunY;
  liveA.At(2) = 1;
  bulletsA.At(2) = {sunX + 21, sunY + 10, 0, 0, 0};
  BulletHits();
  EXPECT_EQ(hullB, 98);
  EXPECT_EQ(liveA.At(2), 0);
}

TEST_F(Duel, DestroyedShipExplodesThenRespawnsAndTheOtherScores) {
  Park();
  hullB = 0;
  energyB = 37;
  GameFrame();
  EXPECT_EQ(deadB, 1);
  int frames = 1;
  while (deadB == 1 && frames < 200) {
    GameFrame();
    ++frames;
  }
  EXPECT_EQ(frames, 62);
  EXPECT_EQ(scoreA, 1);
  EXPECT_EQ(scoreB, 0);
  EXPECT_EQ(shipB.x, 300);
  EXPECT_EQ(shipB.y, 500);
  EXPECT_EQ(hullB, 100);
  EXPECT_NEAR(energyB, 37 + 62 * 0.05, 1e-9);
}

TEST_F(Duel, ExplosionFrameTable) {
  EXPECT_EQ(ExplosionFrame(300), 0);
  EXPECT_EQ(ExplosionFrame(295), 0);
  EXPECT_EQ(ExplosionFrame(290), 0);
  EXPECT_EQ(ExplosionFrame(289.9), 1);
  EXPECT_EQ(ExplosionFrame(280), 1);
  EXPECT_EQ(ExplosionFrame(5), 29);
  EXPECT_EQ(ExplosionFrame(0), 29);
  EXPECT_EQ(ExplosionFrame(-5), 30);
  EXPECT_EQ(ExplosionFrame(-10), 30);
  EXPECT_EQ(ExplosionFrame(-10.5), -1);
  EXPECT_EQ(ExplosionFrame(300.5), -1);
}

// The second ship dies while the first one's explosion runs: who gets back first depends on
// whether the shared timer stands on a multiple of 10.
TEST_F(Duel, SecondDeathDuringAnExplosion) {
  for (int parity : {0, 5}) {
    SetUp();
    Park();
    hullB = 0;
    GameFrame();
    ASSERT_EQ(deadB, 1);
    while (std::fmod(explosionTimer, 10) != parity) GameFrame();
    hullA = 0;
    int frames = 0;
    while ((deadA == 1 || deadB == 1 || frames == 0) && frames < 300) {
      GameFrame();
      ++frames;
    }
    if (parity == 0) {
      EXPECT_EQ(scoreA + scoreB, 0) << "both return together";
    } else {
      EXPECT_EQ(scoreB, 1) << "A returns first and B scores";
      EXPECT_EQ(scoreA, 1) << "then B's own explosion ends and A scores";
    }
    EXPECT_EQ(hullA + hullB, 200);
  }
}

TEST_F(Duel, MissingPicturesChangeNothingButThePicture) {
  for (int slot = 30; slot <= 60; ++slot) LoadSprite("explosion/missing.bmp", slot);
  Park();
  hullB = 0;
  int frames = 0;
  do {
    GameFrame();
    ++frames;
  } while (deadB == 1 && frames < 200);
  EXPECT_EQ(frames, 62);  // an invisible explosion still takes its time
  EXPECT_EQ(scoreA, 1);
  for (int n = 0; n <= 30; ++n) {
    LoadSprite(StringValue("explosion/explos") + n + (n <= 10 ? ".bmp" : "_1.bmp"), 30 + n);
  }
}

TEST_F(Duel, LayersShipsOverBulletsOverTheBackdrop) {
  Park();
  // B's yellow bullets: one under ship A's middle, one out on the backdrop.
  liveB.At(0) = 1;
  bulletsB.At(0) = {110, 110, 0, 0, 0};
  liveB.At(1) = 1;
  bulletsB.At(1) = {400, 200, 0, 0, 0};
  ShowScreen();
  DrawScene();
  quillon::testing::Rgba underShip = quillon::testing::ReadPixel(112, 112);
  EXPECT_GT(underShip.b, 150);  // the blue ship covers the bullet
  EXPECT_LT(underShip.r, 150);
  quillon::testing::Rgba bullet = quillon::testing::ReadPixel(402, 202);
  EXPECT_GT(bullet.r + bullet.g, 400);  // the bullet covers the backdrop
  quillon::testing::Rgba empty = quillon::testing::ReadPixel(400, 230);
  EXPECT_LT(empty.r + empty.g, 200);  // where nothing flies, the backdrop shows
}

TEST_F(Duel, HudShowsTruncatedEnergy) {
  auto hudDigits = [] {
    ShowScreen();
    DrawScene();
    std::string pixels;
    for (int y = 50; y < 66; ++y) {
      for (int x = 730; x < 790; ++x) {
        quillon::testing::Rgba p = quillon::testing::ReadPixel(x, y);
        pixels += static_cast<char>(p.r);
      }
    }
    return pixels;
  };
  Park();
  energyA = 45.9;
  std::string fractional = hudDigits();
  energyA = 45;
  std::string whole = hudDigits();
  energyA = 46;
  std::string next = hudDigits();
  EXPECT_EQ(fractional, whole);
  EXPECT_NE(whole, next);
}

}  // namespace
