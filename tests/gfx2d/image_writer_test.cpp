// Saved BMP and PNG files: the format chosen by the name, the exact bytes of a BMP, and the
// pixels as our readers and a reader that is not ours see them.
#include "runtime/gfx2d/image_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "image_test_helpers.h"
#include "runtime/gfx2d/bmp_reader.h"
#include "runtime/gfx2d/image_writer_internal.h"
#include "runtime/gfx2d/png_reader.h"

namespace quillon::testing {
namespace {

// Blue, green, red rows, bottom first, as read back from the screen; some pixels carry the
// key's blue 128 and green 0 with any red.
struct BgrPicture {
  int width, height, rowLength;
  std::vector<uint8_t> bytes;
  bool Save(const std::string& path) const {
    return SaveImage(path.c_str(), bytes.data(), width, height, rowLength);
  }
  // What a reader should return for pixel (x, y), top row first.
  Rgba Read(int x, int y, bool png) const {
    const uint8_t* p = &bytes[((height - 1 - y) * rowLength + x) * 3];
    if (png && p[0] == 128 && p[1] == 0) return {0, 0, 255, 0};
    return {p[2], p[1], p[0], 255};
  }
};

BgrPicture RandomPicture(int width, int height, int rowLength) {
  BgrPicture picture{width, height, rowLength, std::vector<uint8_t>(rowLength * height * 3)};
  std::mt19937 random(width * 1000 + height);
  for (uint8_t& b : picture.bytes) b = static_cast<uint8_t>(random());
  for (int i = 0; i < 20; ++i) {
    uint8_t* p = &picture.bytes[(random() % (rowLength * height)) * 3];
    p[0] = 128, p[1] = 0;
  }
  return picture;
}

std::string FileStart(const std::string& path, size_t n) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
}

std::string RunCommand(const std::string& command) {
  std::string out;
  char buffer[256];
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  if (pipe != nullptr) pclose(pipe);
  return out;
}

TEST(ImageWriterTest, NamesChooseTheFormat) {
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(MakeTempDir("writer-names"));  // names as a program gives them
  BgrPicture p = RandomPicture(3, 2, 3);
  for (auto [name, png] : {std::pair{"x.PNG", true},
                           {"a.png", true},
                           {"b.pNg", true},
                           {".png", false},
                           {"c.pn", false},
                           {"d.apng", false},
                           {"e", false}}) {
    ASSERT_TRUE(p.Save(name)) << name;
    EXPECT_EQ(FileStart(name, png ? 4 : 2), png ? "\x89PNG" : "BM") << name;
  }
  std::filesystem::current_path(previous);
}

TEST(ImageWriterTest, BmpHeaderAndPaddedRows) {
  std::string path = MakeTempDir("writer-bmp") + "/five.bmp";
  BgrPicture p = RandomPicture(5, 3, 7);  // only the first 5 of each 7 pixels are written
  ASSERT_TRUE(p.Save(path));
  std::vector<uint8_t> b = ReadBytes(path);
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  auto le32 = [&](int at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; };
  const int fields[][2] = {
      {2, 102}, {6, 0},  {10, 54},    {14, 40},    {18, 5}, {22, 3}, {26, 1 | 24 << 16},
      {30, 0},  {34, 0}, {38, 10000}, {42, 10000}, {46, 0}, {50, 0}};
  for (const auto& f : fields) EXPECT_EQ(le32(f[0]), f[1]) << "offset " << f[0];
  for (int row = 0; row < 3; ++row) {
    EXPECT_TRUE(std::equal(&p.bytes[row * 7 * 3], &p.bytes[row * 7 * 3 + 15], &b[54 + 16 * row]));
    EXPECT_EQ(b[54 + 16 * row + 15], 0) << row;
  }
}

TEST(ImageWriterTest, OurReadersAndImageMagickReadTheSamePixels) {
  std::string dir = MakeTempDir("writer-read");
  BgrPicture p = RandomPicture(37, 23, 40);
  bool magick =
      RunCommand("command -v compare; command -v identify").find("identify") != std::string::npos;
  for (bool png : {false, true}) {
    std::string saved = dir + (png ? "/p.png" : "/p.bmp"), want = dir + "/want.pam";
    ASSERT_TRUE(p.Save(saved));
    RgbaImage image;
    ASSERT_TRUE(png ? ReadPngImage(saved.c_str(), kNoColourKey, image)
                    : ReadBmpImage(saved.c_str(), kNoColourKey, image));
    ASSERT_EQ(image.width * 1000 + image.height, 37023);
    std::ofstream pam(want, std::ios::binary);
    pam << "P7\nWIDTH 37\nHEIGHT 23\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int i = 0; i < 37 * 23; ++i) {
      Rgba c = p.Read(i % 37, i / 37, png);
      ASSERT_EQ(ImagePixel(image, i % 37, i / 37), c) << saved << " " << i;
      pam << c.r << c.g << c.b << c.a;
    }
    pam.close();
    if (!magick) continue;
    EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + saved), png ? "PNG 37 23" : "BMP3 37 23");
    EXPECT_EQ(RunCommand("compare -metric AE " + saved + " " + want + " null:"), "0") << saved;
  }
  // 8-bit RGBA, not interlaced, white background.
  std::string png = FileStart(dir + "/p.png", 4096);
  EXPECT_EQ(png.substr(24, 5), std::string("\x08\x06\x00\x00\x00", 5));
  ASSERT_NE(png.find("bKGD"), std::string::npos);
  EXPECT_EQ(png.substr(png.find("bKGD") - 4, 14),
            std::string("\0\0\0\6bKGD\0\xFF\0\xFF\0\xFF", 14));
  if (!magick) GTEST_SKIP() << "ImageMagick (compare, identify) is not installed";
}

TEST(ImageWriterTest, UnwritablePathsAndBadSizesGiveZero) {
  std::string dir = MakeTempDir("writer-fail");
  BgrPicture p = RandomPicture(4, 4, 4);
  for (std::string name : {dir + "/missing/a.bmp", dir + "/missing/a.png", dir, std::string()}) {
    EXPECT_FALSE(p.Save(name)) << name;
  }
  std::string path = dir + "/bad.bmp";
  const uint8_t* pixels = p.bytes.data();
  EXPECT_FALSE(SaveImage(path.c_str(), pixels, 0, 4, 4) ||
               SaveImage(path.c_str(), pixels, 4, -1, 4) ||
               SaveImage(path.c_str(), pixels, 4, 4, 3) ||
               SaveImage(path.c_str(), nullptr, 4, 4, 4) || SaveImage(nullptr, pixels, 4, 4, 4));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quillon::testing
