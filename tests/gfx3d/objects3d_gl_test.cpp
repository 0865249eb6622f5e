// Drawing built objects: where they land on screen, and what each effect mode adds.
#define GL_GLEXT_PROTOTYPES  // glGetBufferParameteriv, to read a buffer's size back
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/lights3d.h"
#include "runtime/gfx3d/objects3d.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene3d.h"
#include "runtime/gl/gl_extensions.h"
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
    Enter3D(1, 1000, 2 * std::atan(0.75) * 180 / M_PI);  // 0.75: tan of half the view
    SetCamera(0, 0, 0, 0, 0, -1);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }

  // A level quad at height y from (x0, z0) to (x1, z1), z1 the farther, facing up.
  void Quad(double slot, double x0, double x1, double y, double z0, double z1, double colour) {
    StartObject(slot);
    AddVertex(x0, y, z0, 0, 0, colour);
    AddVertex(x1, y, z0, 1, 0, colour);
    AddVertex(x0, y, z1, 0, 1, colour);
    AddVertex(x1, y, z1, 1, 1, colour);
    EndObject();
  }
  // An upright square x cx-2..cx+2, y -2..2 at depth z, facing the camera.
  void Square(double slot, double z, double cx = 0, double colour = kRed) {
    StartObject(slot);
    AddVertex(cx - 2, -2, z, 0, 0, colour);
    AddVertex(cx + 2, -2, z, 1, 0, colour);
    AddVertex(cx - 2, 2, z, 0, 1, colour);
    AddVertex(cx + 2, 2, z, 1, 1, colour);
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
  // The two triangles share two corners: four vertices go into the buffer, six indices, each
  // vertex only what plain drawing reads (position, normal, u, v, colour: 11 floats).
  const MeshObjectX& part = r->slots[5].parts[0];
  EXPECT_EQ(part.indexCount, 6);
  GLint bytes = 0;
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffers[0]);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  EXPECT_EQ(bytes, 4 * 11 * 4);

  // Placed by level 0: moved right by 4 units (128 pixels).
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetPosition(4, 0, 0);
  DrawObject(5, 0);
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(ReadPixel(448, 240), (Rgba{255, 0, 0, 255}));
  // Behind the camera: the view cone leaves it out.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetPosition(0, 0, 30);
  DrawObject(5, 0);
  EXPECT_EQ(ReadPixel(320, 240), (Rgba{0, 0, 128, 255}));
}

TEST_F(ObjectDrawTest, FramesBlendAndWeightZeroShowsTheSecond) {
  // Frame 0: the square centred at x -4; frame 1 at x 4 (128 pixels either side of 320).
  Square(10, -10, -4);
  Square(11, -10, 4);
  MeshObjectX& part = r->slots[10].parts[0];
  part.frames.Append(r->slots[11].parts[0].frames[0]);
  part.BuildTriangles();
  ComputeFrameBounds(part);
  auto redAt = [](int x) { return ReadPixel(x, 240) == Rgba{255, 0, 0, 255}; };

  DrawObject(10, 0);
  EXPECT_TRUE(redAt(192));
  EXPECT_FALSE(redAt(448));
  EXPECT_NE(part.vertexBuffers[0], 0u);  // frame 0 drawn directly: the static buffer
  EXPECT_EQ(part.vertexBuffers[1], 0u);
  struct Case {
    double a, b, t, flag;
    int red, clear;
  };
  for (Case c : {Case{0, 1, 0, 0, 448, 192},     // weight exactly 0: the second frame
                 Case{0, 1, 0.5, 0, 320, 192},   // halfway
                 Case{0, 1, 0.25, 0, 224, 352},  // a quarter of the way to frame 1
                 Case{1, 0, 0.25, 1, 416, 288},  // descending range 1..0 at 0.25: 0.75
                 Case{0, 1, 0.25, 1, 224, 352}}) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawObjectBlend(10, c.a, c.b, c.t, c.flag);
    EXPECT_TRUE(redAt(c.red)) << c.a << " " << c.b << " " << c.t << " " << c.flag;
    EXPECT_FALSE(redAt(c.clear)) << c.a << " " << c.b << " " << c.t << " " << c.flag;
  }
  EXPECT_NE(part.vertexBuffers[1], 0u);
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

// A light floor and a dark one: the shadow halves what is there, never pulls it towards grey.
TEST_F(ObjectDrawTest, ShadowModeDarkensTheFloorUnderAnOccluder) {
  for (double floor : {0xFEFEFE, 0x202020}) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    Quad(7, -20, 20, -3, -5, -40, floor);
    Quad(8, -1, 1, 0, -14, -16, kRed);  // occluder, edge-on to the camera
    DrawObject(7, 0);
    DrawObject(8, 0);
    // Floor point (0, -3, -15) is pixel (320, 304); (7, -3, -15) is far out of the shadow.
    Rgba lit = ReadPixel(320, 304);
    std::vector<uint8_t> before(640 * 100 * 4), after(before.size());
    glReadPixels(0, 80, 640, 100, GL_RGBA, GL_UNSIGNED_BYTE, before.data());
    SetLight(-3, 0xFFFFFF, 0, 10, -15, 0, 0, 0, 1);  // starts the stencil pass
    DrawObject(8, 0);
    SetLight(-3, 0xFFFFFF, 0, 10, -15, 0, 0, 0, 0);  // ends it: shadowed pixels darkened
    Rgba shadowed = ReadPixel(320, 304);
    EXPECT_EQ(shadowed.r, lit.r / 2) << floor;
    EXPECT_EQ(ReadPixel(470, 304), lit) << floor;
    glReadPixels(0, 80, 640, 100, GL_RGBA, GL_UNSIGNED_BYTE, after.data());
    int lighter = 0;
    for (size_t i = 0; i < before.size(); ++i) lighter += after[i] > before[i] ? 1 : 0;
    EXPECT_EQ(lighter, 0) << floor;
  }
  EXPECT_EQ(ReadPixel(320, 200), (Rgba{0, 0, 128, 255}));  // above the horizon: no floor
}

// A 2 x 2 texture of one RGB colour.
uint32_t PlainTexture(uint8_t red, uint8_t green, uint8_t blue) {
  uint8_t texels[16];
  for (int k = 0; k < 4; ++k) {
    texels[k * 4] = red;
    texels[k * 4 + 1] = green;
    texels[k * 4 + 2] = blue;
    texels[k * 4 + 3] = 255;
  }
  uint32_t name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
}

TEST_F(ObjectDrawTest, BumpModeLightsTheNormalMapFromTheLightsSide) {
  SetBuildQuality(2);
  Square(12, -10);
  // Colour texture white; normal map tilted towards +u (+x on screen): (0.7, 0, 0.7).
  uint32_t names[2] = {PlainTexture(255, 255, 255), PlainTexture(217, 128, 217)};
  BindSlotTexture(0, 1, false, names);
  // A scene light shining on the back must not dim the light vectors the colours carry.
  for (int sceneLight = 0; sceneLight < 2; ++sceneLight) {
    SetLight(0, 0xFFFFFF, 0, 0, 0, 0, 0, sceneLight == 1 ? 1 : 0, sceneLight == 1 ? 180 : 0);
    int brightness[2];
    for (int side = 0; side < 2; ++side) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      SetLight(-1, 0xFFFFFF, side == 0 ? 30 : -30, 0, -9, 0, 0, 0, 1);
      DrawObject(12, 0);
      brightness[side] = Brightness(ReadPixel(320, 240));
    }
    EXPECT_GT(brightness[0], 400) << "scene light " << sceneLight;  // the way the bumps lean
    EXPECT_LT(brightness[1], 60) << "scene light " << sceneLight;
  }
  SetLight(0, 0, 0, 0, 0, 0, 0, 0, 0);
  BindSlotTexture(-1, -1, false, nullptr);
  glDeleteTextures(2, names);
}

TEST_F(ObjectDrawTest, SetObjectTextureTakesSpriteSlotsAndRefusesBadOnes) {
  Square(12, -10, 0, 0xFFFFFF);
  TextureSlot& sprite = *FindSlot(900);
  sprite.texture = PlainTexture(255, 0, 0);
  sprite.mipTexture = PlainTexture(0, 0, 255);
  auto centreWith = [](double slot, double mipmapped) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetObjectTexture(slot, -1, mipmapped);
    DrawObject(12, 0);
    return ReadPixel(320, 240);
  };
  EXPECT_EQ(centreWith(900, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(centreWith(900, 1), (Rgba{0, 0, 255, 255}));
  for (double bad : {-1.0, std::nan(""), 70000.0, 901.0}) {  // 901 holds no image
    EXPECT_EQ(centreWith(bad, 0), (Rgba{255, 255, 255, 255})) << bad;
  }
  glDeleteTextures(1, &sprite.mipTexture);
  sprite.mipTexture = 0;
  sprite.mipPending = true;  // as a sprite loaded from a file is until its first 3D use
  EXPECT_EQ(centreWith(900, 1), (Rgba{255, 0, 0, 255}));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_TRUE(sprite.mipTexture != 0 && !sprite.mipPending);
  EXPECT_EQ(static_cast<GLuint>(bound), sprite.mipTexture);
  glDeleteTextures(1, &sprite.texture);
  glDeleteTextures(1, &sprite.mipTexture);
  sprite.texture = sprite.mipTexture = 0;
}

TEST_F(ObjectDrawTest, CompoundPartsUseTheirTexturesAndTheBindingComesBack) {
  ObjectSlot& slot = r->slots[12];
  ReleaseObjectSlot(slot);
  Square(13, -10, -4, 0xFFFFFF);
  Square(14, -10, 4, 0xFFFFFF);
  slot.parts.Append(r->slots[13].parts[0]);
  slot.parts.Append(r->slots[14].parts[0]);
  ReleaseObjectSlot(r->slots[13]);
  ReleaseObjectSlot(r->slots[14]);
  slot.parts[0].textureA = 0;
  slot.parts[0].textureB = -1;
  slot.parts[1].textureA = 1;
  slot.parts[1].textureB = -1;
  slot.textures.Append(PlainTexture(255, 0, 0));
  slot.textures.Append(PlainTexture(0, 255, 0));
  slot.loaded = slot.isCompound = true;
  DrawObject(12, 0);
  EXPECT_EQ(ReadPixel(192, 240), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(ReadPixel(448, 240), (Rgba{0, 255, 0, 255}));
  // The untextured binding of before is back.
  EXPECT_EQ(runtimeState.graphics->textures.boundSlot, -1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  ReleaseObjectSlot(slot);
}

// The shadow pass ended mid-frame: a textured, lit floor drawn afterwards looks as before it.
TEST_F(ObjectDrawTest, DrawingAfterTheShadowPassIsLitAndTextured) {
  Quad(7, -20, 20, -3, -5, -40, 0xFFFFFF);
  uint32_t grey = PlainTexture(64, 64, 80);
  BindSlotTexture(0, -1, false, &grey);
  SetLight(0, 0x999999, 0, 0, 0, 0, -1, 0, 180);  // from above
  DrawObject(7, 0);
  Rgba before = ReadPixel(320, 304);
  ASSERT_LT(before.r, 64);
  SetLight(-3, 0xFFFFFF, 0, 10, -15, 0, 0, 0, 1);
  SetLight(-3, 0xFFFFFF, 0, 10, -15, 0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetCullMode(0);  // the pass leaves back faces culled, as 3D drawing starts
  DrawObject(7, 0);
  EXPECT_EQ(ReadPixel(320, 304), before);
  SetLight(0, 0, 0, 0, 0, 0, 0, 0, 0);
  BindSlotTexture(-1, -1, false, nullptr);
  glDeleteTextures(1, &grey);
}

// Building the ramp on the first cel draw leaves the part's texture bound: every draw is green.
TEST_F(ObjectDrawTest, TheFirstCelDrawShowsTheTextureNotTheRamp) {
  Square(12, -10, 0, 0xFFFFFF);
  Square(13, -10, 6, 0xFFFFFF);
  uint32_t green = PlainTexture(0, 255, 0);
  BindSlotTexture(0, -1, false, &green);
  SetLight(-2, 0xFFFFFF, 0, 0, 10, 0, 0, 0, 1);
  DrawObject(12, 0);  // builds the ramp
  SetLight(-2, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0);
  DrawObject(13, 0);  // a plain draw after it, same frame
  Rgba cel = ReadPixel(320, 240), plain = ReadPixel(512, 240);
  EXPECT_EQ(plain, (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(cel.r, 0);
  EXPECT_EQ(cel.b, 0);
  EXPECT_GT(cel.g, 90);
  SetLight(-2, 0xFFFFFF, 0, 0, 10, 0, 0, 0, 1);
  glClear(GL_DEPTH_BUFFER_BIT);
  DrawObject(12, 0);  // the ramp is there now
  EXPECT_EQ(ReadPixel(320, 240), cel);
  BindSlotTexture(-1, -1, false, nullptr);
  glDeleteTextures(1, &green);
}

TEST_F(ObjectDrawTest, CelModeDrawsABlackOutlineAroundTheObject) {
  SetBuildQuality(2);
  Box(9, 3, kRed);
  SetPosition(0, 0, -20);
  r->viewConeTan = 10;  // outline offset 20 * 10 * 0.003 = 0.6 units, about 5 pixels across
  SetCullMode(-1);
  // The box spans x -3..3 at depth 17: pixels 320 +- 56. Just outside its right edge:
  int rimX = 379;
  DrawObject(9, 0);
  EXPECT_EQ(ReadPixel(rimX, 240), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(ReadPixel(320, 240).r > 0, true);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetLight(-2, 0xFFFFFF, 0, 0, 10, 0, 0, 0, 1);
  DrawObject(9, 0);
  EXPECT_EQ(ReadPixel(rimX, 240), (Rgba{0, 0, 0, 255}));
  Rgba inside = ReadPixel(320, 240);
  EXPECT_GT(inside.r, 0);
  EXPECT_EQ(ReadPixel(420, 240), (Rgba{0, 0, 128, 255}));  // beyond the rim
  // The ramp's unit is left as 2D drawing expects it: texture arrays go to unit 0 again.
  GLint client = 0;
  glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &client);
  EXPECT_EQ(client, GL_TEXTURE0);
}

}  // namespace
}  // namespace quillon
