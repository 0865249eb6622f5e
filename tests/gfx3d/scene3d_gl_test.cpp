// Scene state, lights and shaders of the 3D renderer against the GL state and pixels they give.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

class SceneGlTest : public testing::MeshTest {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    MeshTest::SetUp();
    SetViewport(0, 0, 0, 0);
    testing::ClearScreen();
    renderer = Renderer3D();
    ASSERT_NE(renderer, nullptr);
  }
  void TearDown() override {
    UseShader(255);
    SetViewport(0, 0, 0, 0);
  }
  // Enter3D keeps level 0's placement; SetCamera starts it afresh.
  void EnterScene(double fieldOfView, double farPlane = 1000) {
    Enter3D(1, farPlane, fieldOfView);
    SetCamera(0, 0, 10, 0, 0, 0);
  }
  Rainbows3D* renderer = nullptr;
};

// Left, right, bottom, top, near, far of the projection in force.
struct Bounds {
  double l, r, b, t, n, f;
};

Bounds FrustumBounds() {
  double m[16];
  glGetDoublev(GL_PROJECTION_MATRIX, m);
  double n = m[14] / (m[10] - 1), f = m[14] / (m[10] + 1);
  double width = 2 * n / m[0], height = 2 * n / m[5];
  double sumX = m[8] * width, sumY = m[9] * height;
  return {(sumX - width) / 2, (sumX + width) / 2, (sumY - height) / 2, (sumY + height) / 2, n, f};
}

Bounds OrthoBounds() {
  double m[16];
  glGetDoublev(GL_PROJECTION_MATRIX, m);
  double width = 2 / m[0], height = 2 / m[5], depth = -2 / m[10];
  double sumX = -m[12] * width, sumY = -m[13] * height, sumZ = -m[14] * depth;
  return {(sumX - width) / 2,  (sumX + width) / 2, (sumY - height) / 2,
          (sumY + height) / 2, (sumZ - depth) / 2, (sumZ + depth) / 2};
}

void ExpectBounds(const Bounds& got, const Bounds& want, double tolerance) {
  EXPECT_NEAR(got.l, want.l, tolerance);
  EXPECT_NEAR(got.r, want.r, tolerance);
  EXPECT_NEAR(got.b, want.b, tolerance);
  EXPECT_NEAR(got.t, want.t, tolerance);
  EXPECT_NEAR(got.n, want.n, tolerance);
  EXPECT_NEAR(got.f, want.f, 1000 * tolerance);
}

// A square of side 2 about the origin in the z = 0 plane, placed by the transform levels.
void DrawPlacedSquare(const Rainbows3D& renderer, float nx = 0, float ny = 0, float nz = 1) {
  glPushMatrix();
  ApplyPlacement(renderer);
  glBegin(GL_QUADS);
  glNormal3f(nx, ny, nz);
  glVertex3f(-1, -1, 0);
  glVertex3f(1, -1, 0);
  glVertex3f(1, 1, 0);
  glVertex3f(-1, 1, 0);
  glEnd();
  glPopMatrix();
}

int Grey(int x, int y) { return testing::ReadPixel(x, y).g; }

TEST_F(SceneGlTest, ProjectionBoundsFollowTheFieldOfView) {
  Enter3D(1, 1000, 45);
  ExpectBounds(FrustumBounds(), {-0.5523, 0.5523, -0.4142, 0.4142, 1, 1000}, 1e-4);
  EXPECT_NEAR(renderer->viewConeTan, std::tan(50 * M_PI / 180), 1e-5);
  Enter3D(1, 1000, -45);  // a box 100 times the perspective near plane
  ExpectBounds(OrthoBounds(), {-55.23, 55.23, -41.42, 41.42, 1, 1000}, 1e-2);
  EXPECT_NEAR(renderer->viewConeTan, std::tan(89 * M_PI / 180), 1e-2);
  SetViewport(0, 0, 320, 480);  // the aspect is the viewport's
  Enter3D(1, 1000, 45);
  ExpectBounds(FrustumBounds(), {-0.2761, 0.2761, -0.4142, 0.4142, 1, 1000}, 1e-4);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 480);
}

TEST_F(SceneGlTest, LinearFogWithoutLimitsSpansNearToFarAndColourMinusOneEndsIt) {
  Enter3D(2, 500, 60);
  SetFog(0x0000FF, 0, 0, 0);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  float start = 0, end = 0, colour[4];
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  glGetFloatv(GL_FOG_COLOR, colour);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 500);
  EXPECT_FLOAT_EQ(colour[0], 1);
  EXPECT_FLOAT_EQ(colour[2], 0);
  SetFog(0, 0, 10, 20);
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  EXPECT_EQ(start, 10);
  EXPECT_EQ(end, 20);
  SetFog(-1, 0, 0, 0);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(SceneGlTest, SetPositionAndSetScaleDropTheLevelsRotations) {
  EnterScene(45);
  AddRotation(90, 0, 1, 0);
  SetPosition(1, 2, 3);
  Matrix4 placed = ComposePlacement(*renderer);
  Matrix4 moved = TranslationMatrix(1, 2, 3);
  for (int e = 0; e < 16; ++e) EXPECT_FLOAT_EQ(placed.m[e], moved.m[e]) << e;
  AddRotation(90, 0, 1, 0);
  SetScale(2, 2, 2);
  EXPECT_EQ(renderer->levels[0].rotationCount, 0);
  EXPECT_FLOAT_EQ(ComposePlacement(*renderer).m[0], 2);
}

TEST_F(SceneGlTest, PlacementEqualsTheGlMatrixStack) {
  EnterScene(45);
  DimArray<double> shear;
  shear.FillFromList({1, 0, 0, 0, 0.5, 1, 0, 0, 0, 0, 1, 0, 4, 0, 0, 1});
  SetPosition(1, 2, 3);
  AddRotation(30, 0, 0, 1);
  AddRotation(45, 1, 1, 0);
  PushTransform();
  EXPECT_EQ(AddMatrix(shear), 16);
  SetScale(1, 2, 3);  // drops the matrix
  EXPECT_EQ(AddMatrix(shear), 16);
  AddRotation(-60, 0, 1, 0);
  PushTransform();
  SetPosition(-5, 0, 2);
  AddRotation(10, 1, 0, 0);
  DimArray<double> wrong;
  wrong.FillFromList({1, 2, 3});
  EXPECT_EQ(AddMatrix(wrong), 3);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(1, 2, 3);
  glRotatef(45, 1, 1, 0);
  glRotatef(30, 0, 0, 1);
  float m[16];
  for (int e = 0; e < 16; ++e) m[e] = static_cast<float>(shear.elements[e]);
  glMultMatrixf(m);
  glTranslatef(0, 0, 0);
  glRotatef(-60, 0, 1, 0);
  glScalef(1, 2, 3);
  glTranslatef(-5, 0, 2);
  glRotatef(10, 1, 0, 0);
  float stack[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, stack);
  glPopMatrix();
  Matrix4 placed = ComposePlacement(*renderer);
  for (int e = 0; e < 16; ++e) EXPECT_NEAR(placed.m[e], stack[e], 1e-4) << e;
  PopTransform();
  PopTransform();
}

TEST_F(SceneGlTest, PushesBeyondTheLastLevelStayBalancedWithTheirPops) {
  EnterScene(45);
  GLint depthBefore = 0, depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  for (int i = 0; i < 20; ++i) PushTransform();
  EXPECT_EQ(renderer->currentLevel, kTransformLevels - 1);
  SetPosition(5, 0, 0);
  for (int i = 0; i < 5; ++i) PopTransform();  // the five ignored pushes
  EXPECT_EQ(renderer->currentLevel, kTransformLevels - 1);
  EXPECT_FLOAT_EQ(ComposePlacement(*renderer).m[12], 5);
  for (int i = 0; i < 20; ++i) PopTransform();
  EXPECT_EQ(renderer->currentLevel, 0);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, depthBefore);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The camera set while levels are pushed is the one in force once they are gone, for GL
// drawing and ProjectPoint alike; so is the fresh start of Enter3D after a frame left a push.
TEST_F(SceneGlTest, CameraAndEnter3DWithPushedLevelsKeepTheirMatrices) {
  auto expectCamera = [&](float tz) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int e = 0; e < 16; ++e) EXPECT_EQ(m[e], renderer->cameraMatrix[e]) << e;
    EXPECT_EQ(m[14], tz);
    EXPECT_EQ(renderer->currentLevel, 0);
  };
  Enter3D(1, 1000, 90);
  PushTransform();
  PushTransform();
  SetCamera(0, 0, 50, 0, 0, 0);
  expectCamera(-50);
  double sx = -1, sy = -1, depth = -1;
  ProjectPoint(0, 0, 0, sx, sy, depth);
  EXPECT_NEAR(sx, 320, 1e-6);
  EXPECT_NEAR(sy, 240, 1e-6);
  SetCamera(0, 0, 50, 0, 0, 0);
  PushTransform();  // the frame ends with a level pushed
  Enter3D(1, 1000, 90);
  expectCamera(0);
  ProjectPoint(0, 10, -10, sx, sy, depth);  // 45 degrees up: the window's top edge
  EXPECT_NEAR(sy, 0, 1e-3);
}

// 90 degrees, 10 units away: one unit is 24 pixels (half the height, 240, is 10 units).
TEST_F(SceneGlTest, ASquareCoversTheWindowRectangleTheCameraGives) {
  EnterScene(90);
  SetPosition(2, 1, 0);
  glColor3f(1, 1, 1);
  DrawPlacedSquare(*renderer);
  // x 1..3 -> pixels 344..392; y 0..2 -> rows 192..240 counted from the top.
  EXPECT_EQ(Grey(346, 194), 255);
  EXPECT_EQ(Grey(390, 238), 255);
  EXPECT_EQ(Grey(341, 216), 0);
  EXPECT_EQ(Grey(395, 216), 0);
  EXPECT_EQ(Grey(368, 189), 0);
  EXPECT_EQ(Grey(368, 243), 0);
}

TEST_F(SceneGlTest, CullModeChoosesWhichWindingIsTheFront) {
  EnterScene(90);
  glColor3f(1, 1, 1);
  SetCullMode(0.5);  // the square winds counter-clockwise on screen: a back face now
  DrawPlacedSquare(*renderer);
  EXPECT_EQ(Grey(320, 240), 0);
  SetCullMode(-2);
  DrawPlacedSquare(*renderer);
  EXPECT_EQ(Grey(320, 240), 255);
  SetCullMode(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(SceneGlTest, DirectionalLightFromAboveLightsTheFloorsTop) {
  auto floorBrightness = [&](double fromY) {
    testing::ClearScreen();
    Enter3D(1, 1000, 90);
    SetCamera(0, 10, 10, 0, 0, 0);
    SetLight(0, 0xFFFFFF, 0, 0, 0, 0, fromY, 0, 180);
    AddRotation(-90, 1, 0, 0);  // the square lies flat, its normal up
    DrawPlacedSquare(*renderer);
    return Grey(320, 240);
  };
  EXPECT_GT(floorBrightness(-1), 230);
  EXPECT_LT(floorBrightness(1), 80);  // the scene's ambient light alone: 0.2
  EXPECT_EQ(renderer->enabledLights, 1);
  SetLight(0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(renderer->enabledLights, 0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(SceneGlTest, DebugModeMarksALightButNotTheOneAtTheEye) {
  EnterScene(90);
  SetLightColour(1, 0xFFFFFF);
  EXPECT_EQ(Grey(320, 240), 0);
  SetLight(1, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 120);  // a point light: marked only in debug mode
  EXPECT_EQ(Grey(320, 240), 0);
  runtimeState.debugMode = 1;
  SetLight(1, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 120);
  runtimeState.debugMode = 0;
  EXPECT_EQ(testing::ReadPixel(320, 240), (testing::Rgba{0xFF, 0xC8, 0x80, 0xFF}));
  EXPECT_EQ(renderer->enabledLights, 2);
}

TEST_F(SceneGlTest, LightNumbersOutsideTheTableDoNothingAndMinusThreeRunsTheShadowPass) {
  Enter3D(1, 1000, 90);
  for (double index : {8.0, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
    SetLight(index, 0xFFFFFF, 0, 0, 0, 0, -1, 0, 180);
    SetLightColour(index, 0xFFFFFF);
  }
  EXPECT_EQ(renderer->enabledLights, 0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  SetLight(-3, 0xFFFFFF, 1, 2, 3, 0, 0, 0, 1);
  EXPECT_TRUE(renderer->shadowPassActive);
  EXPECT_TRUE(renderer->effectLightOn);
  EXPECT_EQ(renderer->effectMode, EffectShadow);
  SetLight(-3, 0xFFFFFF, 1, 2, 3, 0, 0, 0, 0);
  EXPECT_FALSE(renderer->shadowPassActive);
  SetLight(-7, 0xFFFFFF, 1, 2, 3, 0, 0, 0, 1);
  EXPECT_EQ(renderer->effectMode, EffectCel);
  Enter3D(1, 1000, 90);
  EXPECT_FALSE(renderer->effectLightOn);
}

TEST_F(SceneGlTest, FogDarkensWithDistance) {
  Enter3D(1, 100, 90);
  SetCamera(0, 0, 0, 0, 0, -1);
  SetFog(0, 0, 0, 0);
  glColor3f(1, 1, 1);
  SetPosition(-1, 0, -10);  // x -2..0, 10 units away: pixels 272..320
  DrawPlacedSquare(*renderer);
  SetScale(40, 40, 1);
  SetPosition(40, 0, -80);  // x 0..80, 80 units away: pixels 320..560
  DrawPlacedSquare(*renderer);
  int nearGrey = Grey(300, 240), farGrey = Grey(340, 240);
  EXPECT_NEAR(nearGrey, 255 * 90 / 99, 6);
  EXPECT_NEAR(farGrey, 255 * 20 / 99, 6);
}

const char* kVertexShader = "void main() { gl_Position = ftransform(); }\n";
const char* kRedShader =
    "uniform float level;\nvoid main() { gl_FragColor = vec4(level, 0.0, 0.0, 1.0); }\n";

TEST_F(SceneGlTest, ShadersLoadAndBadFilesGiveZeroWithALog) {
  if (arb.glCreateShaderObjectARB == nullptr) GTEST_SKIP() << "no shader objects here";
  testing::WriteText(Path("plain.vert"), kVertexShader);
  testing::WriteText(Path("red.frag"), kRedShader);
  testing::WriteText(Path("broken.frag"), "void main() { gl_FragColor = nonsense; }\n");
  testing::WriteText(Path("empty.frag"), "");
  EXPECT_EQ(LoadShader(3, Path("plain.vert").c_str(), Path("broken.frag").c_str()), 0);
  EXPECT_NE(Log().find("broken.frag"), std::string::npos) << Log();
  EXPECT_EQ(LoadShader(3, Path("plain.vert").c_str(), Path("empty.frag").c_str()), 0);
  EXPECT_EQ(LoadShader(3, Path("plain.vert").c_str(), Path("gone.frag").c_str()), 0);
  EXPECT_NE(Log().find("gone.frag"), std::string::npos);
  for (double slot : {-1.0, 255.0, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(LoadShader(slot, Path("plain.vert").c_str(), Path("red.frag").c_str()), 0);
  }
  EXPECT_EQ(renderer->programs[3].program, 0u);

  ASSERT_EQ(LoadShader(3, Path("plain.vert").c_str(), Path("red.frag").c_str()), 1);
  EnterScene(90);
  UseShader(3);
  SetShaderFloat("level", 1);
  SetShaderFloat("missing", 1);
  DrawPlacedSquare(*renderer);
  EXPECT_EQ(testing::ReadPixel(320, 240), (testing::Rgba{255, 0, 0, 255}));
  UseShader(-1);  // nothing
  EXPECT_EQ(renderer->currentProgram, renderer->programs[3].program);
  UseShader(255);
  EXPECT_EQ(renderer->currentProgram, 0u);
}

// 2D drawing after 3D state (and the other way round) in one frame.
TEST_F(SceneGlTest, TwoDAndThreeDMixInOneFrame) {
  FillRect(0, 0, 100, 100, 0x00FF00);
  EnterScene(90);
  SetFog(0xFFFFFF, 1, 1, 0);
  SetLight(2, 0x0000FF, 0, 0, 0, 0, -1, 0, 180);
  SetCullMode(1);
  SetSphereMapping(1);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glEnableClientState(GL_COLOR_ARRAY);
  if (arb.glCreateShaderObjectARB != nullptr) {
    testing::WriteText(Path("plain.vert"), kVertexShader);
    testing::WriteText(Path("red.frag"), kRedShader);
    ASSERT_EQ(LoadShader(4, Path("plain.vert").c_str(), Path("red.frag").c_str()), 1);
    UseShader(4);
  }
  SetViewport(0, 0, 0, 0);
  FillRect(200, 0, 300, 100, 0xFF00FF);
  EXPECT_EQ(testing::ReadPixel(50, 50), (testing::Rgba{0, 255, 0, 255}));
  EXPECT_EQ(testing::ReadPixel(250, 50), (testing::Rgba{255, 0, 255, 255}));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
  // Back to 3D in the same frame: the program chosen before comes back with Enter3D.
  EnterScene(90);
  glColor3f(1, 1, 1);
  SetShaderFloat("level", 1);
  DrawPlacedSquare(*renderer);
  testing::Rgba centre = testing::ReadPixel(320, 240);
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.b, arb.glCreateShaderObjectARB != nullptr ? 0 : 255);
}

}  // namespace
}  // namespace quillon
