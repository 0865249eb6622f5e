// Turning a decoded image (or a part of it) into power-of-two GL textures.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx2d/rgba_image.h"

namespace quillon {

// Smallest power of two not below n, doubling from start at least once: 1 -> 2, 5 -> 8.
int32_t PaddedSize(int32_t n, int32_t start = 1);

// The buffer a texture is made from: pw x ph RGBA bytes, row 0 the region's bottom row.
struct TextureBuffer {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

// Copies the w x h region with top-left (x, y) into a zeroed buffer of padded size, flipped so
// that row 0 is the region's bottom row. w and h must already be at least 1.
void FillTextureBuffer(const RgbaImage& image, int32_t x, int32_t y, int32_t w, int32_t h,
                       TextureBuffer& buffer);
// Gives every transparent pixel the average colour of its opaque neighbours off the outer
// border (black without any), so linear filtering pulls no dark fringe into sprite edges.
void BleedColours(TextureBuffer& buffer);
// The image's blue channel read as a height field (edges wrap), replaced by its normal map.
RgbaImage NormalMap(const RgbaImage& image);
// Shrinks level (width x height, RGBA, in place) to the next mipmap level; sizes are updated.
void NextMipLevel(std::vector<uint8_t>& level, int32_t& width, int32_t& height);

// Makes texture (deleting an old one of that name) from the region of the image with top-left
// (x, y) and size w x h (0 = up to the right or bottom edge). bump turns the image into its normal
// map first; nearest picks point filtering and skips the colour bleeding. False, with nothing
// created, when the region is empty.
bool UploadTexture(const RgbaImage& image, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint32_t& texture, bool bump, bool nearest);
// Makes mipTexture (deleting an old one of that name) a mipmapped copy of level 0 of texture,
// read back from GL, so its levels are those a copy made at upload would have. Binds both on the
// current unit. False, with mipTexture 0, when texture has no level 0.
bool MakeMipmappedCopy(uint32_t texture, uint32_t& mipTexture);

}  // namespace quillon
