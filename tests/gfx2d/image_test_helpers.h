// Shared by the 2D tests: fixture files, the pixels the fixtures were made from, and pixel
// read-back that first draws whatever the sprite batch still holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/gfx2d/rgba_image.h"
#include "support/gl_runtime.h"

namespace quillon::testing {

std::string FixturePath(const char* name);
std::vector<uint8_t> ReadBytes(const std::string& path);
// A folder of the outside test data, or "" when that data is not on this machine.
std::string TestdataPath(const char* folder);
std::vector<std::string> FilesIn(const std::string& folder, const char* extension);

Rgba ImagePixel(const RgbaImage& image, int x, int y);
void PrintTo(const Rgba& colour, std::ostream* out);

// The 5 x 3 sprite of make-fixtures.sh, red, green, blue per pixel, top row first.
extern const uint8_t kSprite5x3[3][5][3];
Rgba SpritePixel(int x, int y);

// 2D drawing tests: the runtime's window, blending off, the whole area, cleared to black.
class Gfx2dTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Back-buffer pixel after the pending sprites are drawn.
Rgba ScreenPixel(int x, int y);
void ClearTo(uint8_t red, uint8_t green, uint8_t blue);
// Level of a texture as RGBA bytes, row 0 the texture's bottom row.
std::vector<uint8_t> TextureLevel(uint32_t texture, int level, int& width, int& height);
Rgba TexelAt(const std::vector<uint8_t>& level, int width, int x, int row);

// Writes width x height RGBA pixels, top row first, as a PNG file.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);
// The whole drawing area after the pending sprites are drawn, RGBA, top row first.
std::vector<uint8_t> ReadFrame();
// First pixel where two RGBA pictures of the given width differ, as "x,y got/want", or "".
std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                            int width);

}  // namespace quillon::testing
