// libFuzzer target for the PNG reader: corrupt streams must fail through the library's recovery
// point, never crash, hang or allocate beyond the image size limits.
// Seeds: tests/gfx2d/fixtures/*.png and PngSuite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/gfx2d/png_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillon::RgbaImage image;
  bool ok = quillon::DecodePngImage(data, size, "fuzz.png", 0x8000FF, image);
  size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
  if (ok != !image.pixels.empty() || image.pixels.size() != expected) std::abort();
  return 0;
}
