// BMP decoding: the ImageMagick fixtures, header fields that lie, every truncation, mutations,
// and the BMP Suite where it is present.
#include "runtime/gfx2d/bmp_reader.h"

#include <gtest/gtest.h>

#include "image_test_helpers.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gl/texture_slots.h"

namespace quillon::testing {
namespace {

RgbaImage Decode(const std::vector<uint8_t>& bytes, int32_t key = kNoColourKey) {
  RgbaImage image;
  bool ok = DecodeBmpImage(bytes.data(), bytes.size(), key, image);
  EXPECT_EQ(ok, !image.pixels.empty());
  EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * 4);
  return image;
}

RgbaImage Fixture(const char* name, int32_t key = kNoColourKey) {
  return Decode(ReadBytes(FixturePath(name)), key);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(BmpReader, DepthsAndRowOrder) {
  RgbaImage sprite = Fixture("sprite5x3.bmp");
  RgbaImage topDown = Fixture("topdown.bmp");  // its true picture is the sprite
  ASSERT_EQ(sprite.width, 5);
  ASSERT_EQ(topDown.height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(ImagePixel(sprite, x, y), SpritePixel(x, y));
      EXPECT_EQ(ImagePixel(topDown, x, y), SpritePixel(x, 2 - y)) << "read upside down";
    }
  }
  RgbaImage palette8 = Fixture("palette8.bmp");  // colours as given in make-fixtures.sh
  ASSERT_EQ(palette8.width, 6);
  EXPECT_EQ(ImagePixel(palette8, 1, 0), (Rgba{40, 3, 170, 255}));
  EXPECT_EQ(ImagePixel(palette8, 5, 2), (Rgba{214, 175, 28, 255}));
  EXPECT_EQ(ReadBytes(FixturePath("palette4.bmp"))[28], 4);
  EXPECT_TRUE(Fixture("palette4.bmp").pixels.empty());
  RgbaImage image;
  EXPECT_FALSE(ReadBmpImage(FixturePath("missing.bmp").c_str(), kNoColourKey, image));
  EXPECT_FALSE(ReadBmpImage(FixturePath("key_rgb.png").c_str(), kNoColourKey, image));
}

TEST(BmpReader, ColourKeyClearsOnlyTheExactColour) {
  for (const char* name : {"key24.bmp", "key32.bmp"}) {
    RgbaImage keyed = Fixture(name, SpriteColourKey);
    EXPECT_EQ(ImagePixel(keyed, 0, 0), (Rgba{0, 0, 0, 0})) << name;
    EXPECT_EQ(ImagePixel(keyed, 1, 1), (Rgba{0, 0, 0, 0})) << name;
    EXPECT_EQ(ImagePixel(keyed, 1, 0), (Rgba{255, 0, 127, 255})) << name;
    EXPECT_EQ(ImagePixel(Fixture(name), 0, 0), (Rgba{255, 0, 128, 255})) << name;
    EXPECT_EQ(ImagePixel(Fixture(name, 0), 0, 0), (Rgba{255, 0, 128, 255})) << name;
  }
}

TEST(BmpReader, HeaderFieldsThatLieFailTheLoad) {
  const std::vector<uint8_t> good = ReadBytes(FixturePath("sprite5x3.bmp"));
  // offset, value: data offset past the end / inside the headers, bit counts 16 and 4, widths
  // and heights beyond the data, zero, negative, INT32_MIN, and 65536 x 65536.
  const uint32_t lies[][2] = {{10, 5000},       {10, 13}, {10, 29}, {28, 16},
                              {28, 4},          {18, 6},  {18, 0},  {18, 0xFFFFFFFB},
                              {18, 0x7FFFFFFF}, {22, 4},  {22, 0},  {22, 0x80000000}};
  for (const auto& lie : lies) {
    std::vector<uint8_t> bytes = good;
    PutU32(bytes, lie[0], lie[1]);
    if (lie[0] == 28) bytes[30] = bytes[31] = 0;  // restore the compression field
    EXPECT_TRUE(Decode(bytes).pixels.empty()) << lie[0] << " = " << lie[1];
  }
  std::vector<uint8_t> huge = good;
  PutU32(huge, 18, 0x10000);
  PutU32(huge, 22, 0x10000);
  EXPECT_TRUE(Decode(huge).pixels.empty());
}

TEST(BmpReader, PaletteIndicesMustLieInTheTable) {
  // The 8-bit fixture cut down to a table of n entries right before its pixels.
  std::vector<uint8_t> file = ReadBytes(FixturePath("palette8.bmp"));
  uint32_t offset = file[10] | file[11] << 8;
  int used = *std::max_element(file.begin() + offset, file.end()) + 1;
  auto withTable = [&](int n, int firstIndex) {
    std::vector<uint8_t> out(file.begin(), file.begin() + 54 + 4 * n);
    out.insert(out.end(), file.begin() + offset, file.end());
    PutU32(out, 10, 54 + 4 * n);
    out[54 + 4 * n] = static_cast<uint8_t>(firstIndex);
    return Decode(out);
  };
  EXPECT_FALSE(withTable(used, used - 1).pixels.empty());
  EXPECT_TRUE(withTable(used, used).pixels.empty());
  EXPECT_TRUE(withTable(0, 0).pixels.empty());
}

TEST(BmpReader, ColourTableFollowsLongerInformationHeaders) {
  // The 8-bit fixture with its 40-byte header grown to the 108- and 124-byte kinds.
  const std::vector<uint8_t> file = ReadBytes(FixturePath("palette8.bmp"));
  const RgbaImage plain = Decode(file);
  ASSERT_FALSE(plain.pixels.empty());
  for (uint32_t headerSize : {108u, 124u}) {
    std::vector<uint8_t> longer = file;
    longer.insert(longer.begin() + 54, headerSize - 40, 0);
    PutU32(longer, 14, headerSize);
    PutU32(longer, 10, (file[10] | file[11] << 8) + headerSize - 40);
    EXPECT_EQ(Decode(longer).pixels, plain.pixels) << headerSize;
    // A header claiming to run past the pixel data leaves no table.
    PutU32(longer, 14, 0xFFFFFFF0);
    EXPECT_TRUE(Decode(longer).pixels.empty()) << headerSize;
  }
}

TEST(BmpReader, TruncatedAndMutatedFilesNeverCrash) {
  for (const char* name : {"sprite5x3.bmp", "palette8.bmp", "key32.bmp"}) {
    const std::vector<uint8_t> good = ReadBytes(FixturePath(name));
    for (size_t length = 0; length < good.size(); ++length) {
      ASSERT_TRUE(Decode({good.begin(), good.begin() + length}).pixels.empty()) << name << length;
    }
    for (size_t at = 0; at < std::min<size_t>(good.size(), 80); ++at) {
      for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = value;
        RgbaImage image = Decode(bytes, SpriteColourKey);
        if (!image.pixels.empty()) {
          ASSERT_TRUE(ImageSizeAllowed(image.width, image.height));
        }
      }
    }
  }
}

TEST(BmpSuite, GoodBadAndQuestionableFiles) {
  std::string root = TestdataPath("bmpsuite");
  if (root.empty()) GTEST_SKIP() << "BMP Suite not on this machine";
  auto read = [&](const std::string& name) {
    RgbaImage image;
    ReadBmpImage((root + "/" + name).c_str(), kNoColourKey, image);
    return image;
  };
  auto meanDifference = [](const RgbaImage& a, const RgbaImage& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size() && a.pixels.size() == b.pixels.size(); ++i) {
      sum += std::abs(a.pixels[i] - b.pixels[i]);
    }
    return a.pixels.size() == b.pixels.size() ? sum / a.pixels.size() : 1e9;
  };
  RgbaImage reference = read("g/rgb24.bmp");
  ASSERT_EQ(reference.width, 127);
  for (const char* name : {"g/rgb24pal.bmp", "g/rgb32.bmp", "g/rgb32bfdef.bmp"}) {
    EXPECT_EQ(read(name).pixels, reference.pixels) << name;
  }
  // The 8-bit files hold a quantised copy, near the true colours, whatever their header.
  RgbaImage pal8 = read("g/pal8.bmp");
  EXPECT_LT(meanDifference(pal8, reference), 12.0);
  for (const char* name : {"g/pal8-0.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp"}) {
    EXPECT_EQ(read(name).pixels, pal8.pixels) << name;
  }
  RgbaImage topDown = read("g/pal8topdown.bmp");
  for (int y = 0; y < 64; ++y) ASSERT_EQ(ImagePixel(topDown, 9, y), ImagePixel(pal8, 9, 63 - y));
  for (const char* name :
       {"g/pal1.bmp", "g/pal4.bmp", "g/pal8rle.bmp", "g/pal8os2.bmp", "g/rgb16.bmp",
        "b/reallybig.bmp", "b/shortfile.bmp", "b/badbitcount.bmp", "b/pal8badindex.bmp"}) {
    EXPECT_TRUE(read(name).pixels.empty()) << name;
  }
  for (const char* folder : {"/b", "/q", "/x"}) {
    for (const std::string& path : FilesIn(root + folder, ".bmp")) Decode(ReadBytes(path), 0);
  }
}

}  // namespace
}  // namespace quillon::testing
