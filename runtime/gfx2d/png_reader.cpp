#include "runtime/gfx2d/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->position) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->position, count);
  reader->position += count;
}

// No deflate stream inflates to more than 1032 times its size (a 258-byte match in two bits).
constexpr uint64_t kMaxInflateRatio = 1032;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Bytes of image data the file holds: the IDAT chunk lengths, cut to what is really present.
uint64_t CompressedDataBytes(const uint8_t* data, size_t size) {
  constexpr size_t kSignature = 8, kChunkFrame = 12;  // length, type, CRC
  uint64_t total = 0;
  for (size_t at = kSignature; size - at >= kChunkFrame;) {
    uint64_t length = ReadBigEndian32(data + at);
    uint64_t present = size - at - kChunkFrame;
    if (std::memcmp(data + at + 4, "IDAT", 4) == 0) total += length < present ? length : present;
    if (length > present) break;
    at += kChunkFrame + length;
  }
  return total;
}

// A header may claim any size; the rows are allocated only when the data could fill them.
bool DataCouldHold(png_structp png, png_infop info, uint64_t compressedBytes) {
  uint64_t bitsPerPixel = uint64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
  uint64_t pixelBytes =
      uint64_t{png_get_image_width(png, info)} * png_get_image_height(png, info) * bitsPerPixel / 8;
  return pixelBytes <= compressedBytes * kMaxInflateRatio;
}

// The library's messages would go to standard error; a corrupt file only makes the load fail.
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

void AskForConversions(png_structp png, png_infop info) {
  int colourType = png_get_color_type(png, info);
  int bitDepth = png_get_bit_depth(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if (bitDepth < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

void ConvertRows(const uint8_t* rows, size_t rowBytes, int channels, int32_t colourKey,
                 RgbaImage& out) {
  uint8_t* dst = out.pixels.data();
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* src = rows + rowBytes * y;
    for (int32_t x = 0; x < out.width; ++x, src += channels, dst += 4) {
      if (channels == 4) {
        std::memcpy(dst, src, 4);
      } else if (channels == 3) {
        if (colourKey != kNoColourKey && PackColour(src[0], src[1], src[2]) == colourKey) continue;
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 255;
      } else {
        dst[0] = dst[1] = dst[2] = src[0];
        dst[3] = 255;
      }
    }
  }
}

// Everything that may longjmp lives here, with no objects that need destructors on its frame.
bool DecodeWithLibrary(png_structp png, png_infop info, const char* path, int32_t colourKey,
                       uint64_t compressedBytes, std::vector<uint8_t>& rows,
                       std::vector<png_bytep>& rowPointers, RgbaImage& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  if (!DataCouldHold(png, info, compressedBytes)) return false;
  AskForConversions(png, info);
  int channels = png_get_channels(png, info);
  if (!AcceptPngFormat(path, channels, png_get_bit_depth(png, info),
                       png_get_color_type(png, info))) {
    return false;
  }
  png_uint_32 width = png_get_image_width(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  if (!ImageSizeAllowed(width, height) || rowBytes < static_cast<size_t>(width) * channels) {
    return false;
  }
  // A little slack after the last row, as the rows are handed to the library whole.
  rows.assign(rowBytes * height + 16, 0);
  rowPointers.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rowPointers[y] = rows.data() + rowBytes * y;
  png_read_image(png, rowPointers.data());
  png_read_end(png, nullptr);
  if (!ResizeImage(out, static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  ConvertRows(rows.data(), rowBytes, channels, colourKey, out);
  return true;
}

}  // namespace

bool AcceptPngFormat(const char* path, int channels, int bitDepth, int colourType) {
  if (channels != 1 && channels != 3 && channels != 4) return false;
  if (bitDepth != 8) {
    std::printf("File %s has bit depth %d.\n", path, bitDepth);
    std::puts("Only bit depth of 8 is supported.");
    return false;
  }
  if (colourType != PNG_COLOR_TYPE_GRAY && colourType != PNG_COLOR_TYPE_RGB &&
      colourType != PNG_COLOR_TYPE_RGB_ALPHA) {
    std::printf("File %s has unsupported color type.\n", path);
    std::puts("Types GRAY, RGB and RGB_ALPHA are supported.");
    return false;
  }
  return true;
}

bool DecodePngImage(const uint8_t* data, size_t size, const char* path, int32_t colourKey,
                    RgbaImage& out) {
  out = RgbaImage{};
  if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  MemoryReader reader{data, size, 0};
  png_set_read_fn(png, &reader, ReadFromMemory);
  std::vector<uint8_t> rows;
  std::vector<png_bytep> rowPointers;
  bool ok = DecodeWithLibrary(png, info, path != nullptr ? path : "", colourKey,
                              CompressedDataBytes(data, size), rows, rowPointers, out);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) out = RgbaImage{};
  return ok;
}

bool ReadPngImage(const char* path, int32_t colourKey, RgbaImage& out) {
  out = RgbaImage{};
  std::vector<uint8_t> bytes;
  if (!ReadImageFileBytes(path, bytes)) return false;
  return DecodePngImage(bytes.data(), bytes.size(), path, colourKey, out);
}

}  // namespace quillon
