#include "image_test_helpers.h"

#include <GL/gl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "runtime/gfx2d/png_writer.h"
#include "runtime/gfx2d/render_state_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/quillon.h"

namespace quillon::testing {

const uint8_t kSprite5x3[3][5][3] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}},
    {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}, {130, 140, 150}},
    {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {200, 200, 10}, {10, 200, 200}},
};

std::string FixturePath(const char* name) {
  return std::string(QUILLON_SOURCE_DIR) + "/tests/gfx2d/fixtures/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string TestdataPath(const char* folder) {
  std::string path = std::string(QUILLON_TESTDATA_DIR) + "/" + folder;
  return std::filesystem::is_directory(path) ? path : std::string();
}

std::vector<std::string> FilesIn(const std::string& folder, const char* extension) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == extension) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Rgba ImagePixel(const RgbaImage& image, int x, int y) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void PrintTo(const Rgba& colour, std::ostream* out) {
  *out << "(" << int{colour.r} << ", " << int{colour.g} << ", " << int{colour.b} << ", "
       << int{colour.a} << ")";
}

Rgba SpritePixel(int x, int y) {
  const uint8_t* c = kSprite5x3[y][x];
  return {c[0], c[1], c[2], 255};
}

void Gfx2dTest::SetUp() {
  StartTestRuntime();
  SetAlphaMode(0);
  Reset2DState(0, 0, 0, 0);
  ClearTo(0, 0, 0);
}

void Gfx2dTest::TearDown() {
  SetAlphaMode(0);
  Reset2DState(0, 0, 0, 0);
  Flush2DBatch();
}

Rgba ScreenPixel(int x, int y) {
  Flush2DBatch();
  return ReadPixel(x, y);
}

void ClearTo(uint8_t red, uint8_t green, uint8_t blue) {
  Flush2DBatch();
  glClearColor(red / 255.0f, green / 255.0f, blue / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearColor(0, 0, 0, 1);
}

std::vector<uint8_t> TextureLevel(uint32_t texture, int level, int& width, int& height) {
  Flush2DBatch();
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!pixels.empty())
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Rgba TexelAt(const std::vector<uint8_t>& level, int width, int x, int row) {
  const uint8_t* p = &level[(static_cast<size_t>(row) * width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  ASSERT_TRUE(WritePngRgba(path.c_str(), width, height, rgba.data())) << path;
}

std::vector<uint8_t> ReadFrame() {
  Flush2DBatch();
  int w = runtimeState.graphics->width, h = runtimeState.graphics->height;
  std::vector<uint8_t> bottomUp(static_cast<size_t>(w) * h * 4), topDown(bottomUp.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  size_t row = static_cast<size_t>(w) * 4;
  for (int y = 0; y < h; ++y) {
    std::copy_n(&bottomUp[(h - 1 - y) * row], row, &topDown[y * row]);
  }
  return topDown;
}

std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                            int width) {
  if (got.size() != want.size()) return "sizes differ";
  for (size_t i = 0; i < got.size(); i += 4) {
    if (std::equal(&got[i], &got[i] + 4, &want[i])) continue;
    std::ostringstream out;
    out << (i / 4) % width << "," << (i / 4) / width << " got ";
    PrintTo(Rgba{got[i], got[i + 1], got[i + 2], got[i + 3]}, &out);
    out << " want ";
    PrintTo(Rgba{want[i], want[i + 1], want[i + 2], want[i + 3]}, &out);
    return out.str();
  }
  return "";
}

}  // namespace quillon::testing
