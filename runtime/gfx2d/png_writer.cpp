#include "runtime/gfx2d/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace quillon {

bool WritePngRgba(const char* path, int width, int height, const uint8_t* rgba,
                  bool whiteBackground) {
  if (width <= 0 || height <= 0 || rgba == nullptr) return false;
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color_16 white{};
  white.red = white.green = white.blue = 255;
  if (whiteBackground) png_set_bKGD(png, info, &white);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

}  // namespace quillon
