// World and window coordinates through the GL matrices, and the debug shapes the collision
// tests draw.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/collision3d.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

// Sets a perspective view in a 640 x 480 window and restores the matrices and viewport after.
class ProjectionGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime(640, 480);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(-0.5523, 0.5523, -0.4142, 0.4142, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
  }
  void TearDown() override {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    runtimeState.debugMode = 0;
  }
  GLint viewport[4];
};

TEST_F(ProjectionGlTest, UnprojectInvertsProject) {
  double sx = -1, sy = -1, sz = -1;
  ProjectPoint(0, 0, -10, sx, sy, sz);
  EXPECT_NEAR(sx, 320, 1e-9);
  EXPECT_NEAR(sy, 240, 1e-9);
  EXPECT_GT(sz, 0);
  EXPECT_LT(sz, 1);
  ProjectPoint(1, 2, 0, sx, sy, sz);  // in the eye's plane: w is 0, nothing changes
  EXPECT_NEAR(sx, 320, 1e-9);
  glTranslatef(1, -2, -50);
  glRotatef(30, 0.3f, 1, 0.2f);
  const double points[][3] = {{0, 0, 0}, {5, -3, 7}, {-12, 8, -20}, {0.25, 0.5, 30}};
  for (const auto& p : points) {
    ProjectPoint(p[0], p[1], p[2], sx, sy, sz);
    double x = 0, y = 0, z = 0;
    // Unproject counts rows from the top, so the point Project puts at sy is row sy - 1.
    UnprojectPoint(sx, sy - 1, sz, x, y, z);
    EXPECT_NEAR(x, p[0], 1e-4);
    EXPECT_NEAR(y, p[1], 1e-4);
    EXPECT_NEAR(z, p[2], 1e-4);
  }
}

TEST_F(ProjectionGlTest, DebugShapesAreDrawnAndStateIsKept) {
  Rainbows3D* renderer = Renderer3D();
  ASSERT_NE(renderer, nullptr);
  for (float& e : renderer->cameraMatrix) e = 0;
  for (int i : {0, 5, 10, 15}) renderer->cameraMatrix[i] = 1;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 640, 480, 0, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glColor4f(0.25f, 0.5f, 0.75f, 1);
  glLineWidth(2);
  testing::ClearScreen();
  runtimeState.debugMode = 1;
  // An empty slot: no hit, so a red line of 1000 units along the ray.
  EXPECT_EQ(ObjectRayDistance(4095, 0, 100, 100.5, 0, 1, 0, 0), 0);
  EXPECT_EQ(ObjectHitsBox(4095, 0, 400, 300, 0, 100, 60), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(testing::ReadPixel(300, 100), (testing::Rgba{255, 0, 0, 255}));
  EXPECT_EQ(testing::ReadPixel(90, 100), (testing::Rgba{0, 0, 0, 255}));
  testing::Rgba edge = testing::ReadPixel(400, 270);  // the box's top edge, green and wide
  EXPECT_EQ(edge.g, 255);
  EXPECT_EQ(edge.r, 0);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  float colour[4], width = 0;
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_FLOAT_EQ(colour[1], 0.5f);
  EXPECT_FLOAT_EQ(width, 2);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace
}  // namespace quillon
