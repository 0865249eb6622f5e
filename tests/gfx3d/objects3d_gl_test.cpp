// Drawing built objects: where they land on screen, and what each effect mode adds.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/objects3d.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/texture_slots.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

using testing::ReadPixel;
using testing::Rgba;

constexpr double kRed = 0x0000FF;

// A perspective camera at the origin looking down -z: at depth 10 the 640 x 480 window spans
// x -10..10 and y -7.5..7.5 (32 pixels per unit), centre (320, 240).
class ObjectDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    r = Renderer3D();
    ASSERT_NE(r, nullptr);
    runtimeState.graphics->textures.globalAlpha = 1;
    BindSlotTexture(-1, -1, false, nullptr);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -0.75, 0.75, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    r->levels[0] = TransformLevel{};
    r->currentLevel = 0;
    for (int i = 0; i < 3; ++i) r->eye[i] = 0;
    r->target[0] = r->target[1] = 0;
    r->target[2] = -1;
    r->viewConeTan = 1.5f;
    r->effectLightOn = false;
    r->effectMode = 0;
    r->cullMode = 0;
    r->enabledLights = 0;
    r->uvScroll[0] = r->uvScroll[1] = 0;
  }
  void TearDown() override { r->effectLightOn = false; }

  // A level quad at height y from (x0, z0) to (x1, z1), z1 the farther, facing up.
  void Quad(double slot, double x0, double x1, double y, double z0, double z1, double colour) {
    StartObject(slot);
    AddVertex(x0, y, z0, 0, 0, colour);
    AddVertex(x1, y, z0, 1, 0, colour);
    AddVertex(x0, y, z1, 0, 1, colour);
    AddVertex(x1, y, z1, 1, 1, colour);
    EndObject();
  }
  // An upright red square x, y -2..2 at depth z, facing the camera.
  void Square(double slot, double z) {
    StartObject(slot);
    AddVertex(-2, -2, z, 0, 0, kRed);
    AddVertex(2, -2, z, 1, 0, kRed);
    AddVertex(-2, 2, z, 0, 1, kRed);
    AddVertex(2, 2, z, 1, 1, kRed);
    EndObject();
  }
  void Box(double slot, double h, double colour) {
    static const int kFaces[6][4][3] = {{{-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}},
                                        {{1, -1, -1}, {-1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},
                                        {{1, -1, 1}, {1, -1, -1}, {1, 1, 1}, {1, 1, -1}},
                                        {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1}, {-1, 1, 1}},
                                        {{-1, 1, 1}, {1, 1, 1}, {-1, 1, -1}, {1, 1, -1}},
                                        {{-1, -1, -1}, {1, -1, -1}, {-1, -1, 1}, {1, -1, 1}}};
    StartObject(slot);
    for (const auto& face : kFaces) {
      NewStrip();
      for (const auto& c : face) AddVertex(c[0] * h, c[1] * h, c[2] * h, 0, 0, colour);
    }
    EndObject();
  }
  static int Brightness(Rgba p) { return p.r + p.g + p.b; }

  Rainbows3D* r = nullptr;
};

TEST_F(ObjectDrawTest, BuiltQuadCoversItsPlaceOnScreen) {
  Square(5, -10);
  ASSERT_EQ(ObjectVertexCount(5), 6);
  DrawObject(5, 0);
  // x -2..2 at depth 10 is pixels 256..384, y 2..-2 is 176..304.
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(ReadPixel(260, 180), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(ReadPixel(380, 300), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(ReadPixel(250, 240), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(ReadPixel(320, 310), (Rgba{0, 0, 128, 255}));

  // Placed by level 0: moved right by 4 units (128 pixels).
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  r->levels[0].position[0] = 4;
  DrawObject(5, 0);
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(ReadPixel(448, 240), (Rgba{255, 0, 0, 255}));
  // Behind the camera: the view cone leaves it out.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  r->levels[0].position[0] = 0;
  r->levels[0].position[2] = 30;
  DrawObject(5, 0);
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{0, 0, 128, 255}));
}

TEST_F(ObjectDrawTest, BadSlotsAndFramesDrawNothingAndCountZero) {
  Square(6, -10);
  for (double slot : {-1.0, 4096.0, 1e300, double(NAN)}) {
    DrawObject(slot, 0);
    DrawObjectBlend(slot, 0, 1, 0.5, 1);
    EXPECT_EQ(ObjectVertexCount(slot), 0);
    EXPECT_EQ(SaveObject("unused.qmo", slot), 0);
  }
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{0, 0, 128, 255}));
  // Frame numbers past the table are clamped to the one frame there is.
  for (double frame : {-5.0, 3.0, double(NAN), double(INFINITY)}) DrawObject(6, frame);
  DrawObjectBlend(6, NAN, 1e9, NAN, 1);
  EXPECT_EQ(ReadPixel(320, 300), (Rgba{255, 0, 0, 255}));
}

TEST_F(ObjectDrawTest, ShadowModeDarkensTheFloorUnderAnOccluder) {
  Quad(7, -20, 20, -3, -5, -40, 0xFEFEFE);  // floor
  Quad(8, -1, 1, 0, -14, -16, kRed);        // occluder, edge-on to the camera
  DrawObject(7, 0);
  DrawObject(8, 0);
  // Floor point (0, -3, -15) is pixel (320, 304); (7, -3, -15) is far out of the shadow.
  Rgba lit = ReadPixel(320, 304);
  ASSERT_GT(Brightness(lit), 600);
  r->effectLightOn = true;
  r->effectMode = EffectShadow;
  r->effectPosition[0] = 0;
  r->effectPosition[1] = 10;
  r->effectPosition[2] = -15;
  BeginShadowPass(*r);
  DrawObject(8, 0);
  r->effectLightOn = false;
  EndShadowPass(*r);
  EXPECT_LT(Brightness(ReadPixel(320, 304)) + 150, Brightness(lit));
  EXPECT_EQ(ReadPixel(470, 304), lit);
  EXPECT_EQ(ReadPixel(320, 200), (Rgba{0, 0, 128, 255}));  // above the horizon: no floor
}

TEST_F(ObjectDrawTest, CelModeDrawsABlackOutlineAroundTheObject) {
  SetBuildQuality(2);
  Box(9, 3, kRed);
  r->levels[0].position[2] = -20;
  r->viewConeTan = 10;  // outline offset 20 * 10 * 0.003 = 0.6 units, about 5 pixels across
  r->cullMode = -1;
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  // The box spans x -3..3 at depth 17: pixels 320 +- 56. Just outside its right edge:
  int rimX = 379;
  DrawObject(9, 0);
  EXPECT_EQ(ReadPixel(rimX, 240), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(ReadPixel(320, 240).r > 0, true);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  r->effectLightOn = true;
  r->effectMode = EffectCel;
  r->effectPosition[2] = 10;
  DrawObject(9, 0);
  EXPECT_EQ(ReadPixel(rimX, 240), (Rgba{0, 0, 0, 255}));
  Rgba inside = ReadPixel(320, 240);
  EXPECT_GT(inside.r, 0);
  EXPECT_EQ(ReadPixel(420, 240), (Rgba{0, 0, 128, 255}));  // beyond the rim
  glDisable(GL_CULL_FACE);
}

}  // namespace
}  // namespace quillon
