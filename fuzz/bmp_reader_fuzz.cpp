// libFuzzer target for the BMP reader: any bytes must decode to a consistent image or fail,
// without crashing, hanging or allocating more than the file can justify.
// Seeds: tests/gfx2d/fixtures/*.bmp and the BMP Suite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/gfx2d/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int32_t key : {quillon::kNoColourKey, 0, 0x8000FF}) {
    quillon::RgbaImage image;
    bool ok = quillon::DecodeBmpImage(data, size, key, image);
    size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
    if (ok != !image.pixels.empty() || image.pixels.size() != expected) std::abort();
  }
  return 0;
}
