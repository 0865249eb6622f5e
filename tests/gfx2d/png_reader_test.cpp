// PNG decoding: conversions to 8-bit grey, RGB or RGBA, the colour key rule, the two messages,
// hostile files, and PngSuite against its published pixels where it is present.
#include "runtime/gfx2d/png_reader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "image_test_helpers.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gl/texture_slots.h"

// The largest single request to operator new since the last reset, so that a test can see how
// much a decode asked for; the decoder's buffers are vectors and come from here.
namespace {
std::atomic<size_t> largestNew{0};
void* CountedNew(size_t size) noexcept {
  size_t seen = largestNew.load(std::memory_order_relaxed);
  while (size > seen && !largestNew.compare_exchange_weak(seen, size)) {
  }
  return std::malloc(size != 0 ? size : 1);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = CountedNew(size)) return p;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
// Both sides of the pair are replaced, so free is the right release for what new returned.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace quillon::testing {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

RgbaImage Decode(const std::vector<uint8_t>& bytes, int32_t key = kNoColourKey) {
  RgbaImage image;
  bool ok = DecodePngImage(bytes.data(), bytes.size(), "test.png", key, image);
  EXPECT_EQ(ok, !image.pixels.empty());
  EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * 4);
  return image;
}

RgbaImage Fixture(const char* name, int32_t key = kNoColourKey) {
  RgbaImage image;
  ReadPngImage(FixturePath(name).c_str(), key, image);
  return image;
}

TEST(PngReader, KeyAppliesOnlyToImagesWithoutAlpha) {
  EXPECT_EQ(ImagePixel(Fixture("key_rgba.png", SpriteColourKey), 0, 0), (Rgba{255, 0, 128, 255}));
  for (const char* name : {"key_rgb.png", "key_palette.png"}) {
    RgbaImage image = Fixture(name, SpriteColourKey);
    ASSERT_EQ(image.width, 4) << name;
    EXPECT_EQ(ImagePixel(image, 0, 0), (Rgba{0, 0, 0, 0})) << name;
    EXPECT_EQ(ImagePixel(image, 1, 1), (Rgba{0, 0, 0, 0})) << name;
    EXPECT_EQ(ImagePixel(image, 1, 0), (Rgba{255, 0, 127, 255})) << name;
    EXPECT_EQ(ImagePixel(image, 3, 0), (Rgba{20, 40, 60, 255})) << name;
    EXPECT_EQ(ImagePixel(Fixture(name), 0, 0), (Rgba{255, 0, 128, 255})) << name;
  }
}

TEST(PngReader, GreyAlphaFailsSilentlySixteenBitsKeepTheHighByte) {
  CaptureStdout();
  EXPECT_TRUE(Fixture("grey_alpha.png").pixels.empty());
  EXPECT_EQ(GetCapturedStdout(), "");
  RgbaImage wide = Fixture("rgb16.png");  // 0x1234 0x5678 0x9ABC, 0xFFFF 0x0100 0x01FF
  ASSERT_EQ(wide.width, 2);
  EXPECT_EQ(ImagePixel(wide, 0, 0), (Rgba{0x12, 0x56, 0x9A, 255}));
  EXPECT_EQ(ImagePixel(wide, 1, 0), (Rgba{0xFF, 0x01, 0x01, 255}));
}

TEST(PngReader, FormatMessagesGoToStandardOutput) {
  CaptureStdout();
  EXPECT_FALSE(AcceptPngFormat("a.png", 3, 16, PNG_COLOR_TYPE_RGB));
  EXPECT_FALSE(AcceptPngFormat("b.png", 3, 8, PNG_COLOR_TYPE_PALETTE));
  EXPECT_FALSE(AcceptPngFormat("c.png", 2, 16, PNG_COLOR_TYPE_GRAY_ALPHA));  // silent
  EXPECT_TRUE(AcceptPngFormat("d.png", 1, 8, PNG_COLOR_TYPE_GRAY));
  EXPECT_EQ(
      GetCapturedStdout(),
      "File a.png has bit depth 16.\nOnly bit depth of 8 is supported.\n"
      "File b.png has unsupported color type.\nTypes GRAY, RGB and RGB_ALPHA are supported.\n");
}

TEST(PngReader, TruncatedMutatedAndHugeFilesFailQuietly) {
  for (const char* name : {"key_rgb.png", "key_palette.png", "rgb16.png", "font128x64.png"}) {
    const std::vector<uint8_t> good = ReadBytes(FixturePath(name));
    ::testing::internal::CaptureStderr();
    CaptureStdout();
    for (size_t length = 0; length < good.size(); ++length) {
      ASSERT_TRUE(Decode({good.begin(), good.begin() + length}).pixels.empty()) << name << length;
    }
    for (size_t at = 0; at < good.size(); ++at) {
      for (uint8_t flip : {0x01, 0x80, 0xFF}) {
        std::vector<uint8_t> bytes = good;
        bytes[at] ^= flip;
        Decode(bytes, SpriteColourKey);
      }
    }
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
  // Width and height set huge, with the header's CRC made right again: refused before rows
  // are allocated.
  std::vector<uint8_t> bytes = ReadBytes(FixturePath("key_rgb.png"));
  for (int i = 16; i < 24; ++i) bytes[i] = i % 4 == 0 ? 0x00 : 0x7F;
  uint32_t crc = 0xFFFFFFFFu;
  for (int i = 12; i < 29; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc = ~crc;
  for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  EXPECT_TRUE(Decode(bytes).pixels.empty());
}

// key_rgb.png with the header's size set and its CRC made right again.
std::vector<uint8_t> ClaimingSize(uint32_t width, uint32_t height) {
  std::vector<uint8_t> bytes = ReadBytes(FixturePath("key_rgb.png"));
  for (int i = 0; i < 4; ++i) {
    bytes[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    bytes[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (int i = 12; i < 29; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc = ~crc;
  for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return bytes;
}

TEST(PngReader, SizesTheDataCannotHoldAllocateNothing) {
  // 8192 x 8192 from a few dozen bytes of data: 256 MiB of rows were zeroed before the first
  // row failed to arrive.
  largestNew = 0;
  EXPECT_TRUE(Decode(ClaimingSize(8192, 8192)).pixels.empty());
  EXPECT_LT(largestNew.load(), size_t{1} << 20);
  // Data that really does inflate that far still loads: 1024 x 1024 of black compresses to
  // about 4 KB, close to the limit, and its 4 MiB are counted.
  std::string dir = MakeTempDir("png_reader");
  WritePng(dir + "/black.png", 1024, 1024, std::vector<uint8_t>(1024 * 1024 * 4, 0));
  std::vector<uint8_t> black = ReadBytes(dir + "/black.png");
  std::filesystem::remove_all(dir);
  ASSERT_LT(black.size(), 6000u);
  largestNew = 0;
  RgbaImage image = Decode(black);
  EXPECT_EQ(image.width * image.height, 1024 * 1024);
  EXPECT_GE(largestNew.load(), size_t{4} << 20);
}

std::vector<int> JsonNumbers(const std::string& path) {
  std::ifstream in(path);
  std::vector<int> values;
  for (char c; in.get(c);) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      in.unget();
      values.emplace_back();
      in >> values.back();
    }
  }
  return values;
}

TEST(PngSuite, ImagesDecodeToTheirPublishedPixels) {
  std::string root = TestdataPath("pngsuite");
  if (root.empty()) GTEST_SKIP() << "PngSuite not on this machine";
  int compared = 0;
  for (const std::string& path : FilesIn(root + "/png", ".png")) {
    std::string stem = std::filesystem::path(path).stem().string();
    std::vector<uint8_t> bytes = ReadBytes(path);
    RgbaImage image = Decode(bytes);
    // Corrupt files (x...) fail; so does grey with alpha, from the file or a tRNS chunk.
    bool hasTrns = std::search(bytes.begin(), bytes.end(), "tRNS", "tRNS" + 4) != bytes.end();
    if (stem[0] == 'x' || bytes[25] == 4 || (bytes[25] == 0 && hasTrns)) {
      EXPECT_TRUE(image.pixels.empty()) << stem;
      continue;
    }
    std::vector<int> expected = JsonNumbers(root + "/json/" + stem + ".json");
    if (bytes[24] == 16) {
      for (int& value : expected) value >>= 8;  // published whole; the reader keeps the high byte
    }
    ASSERT_EQ(std::vector<int>(image.pixels.begin(), image.pixels.end()), expected) << stem;
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace quillon::testing
