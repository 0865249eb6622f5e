// The image slot store of the graphics device.
#pragma once

namespace quillon {

struct TextureStore {
  // Intensity of SetAlphaMode, also the GL colour sprites are modulated with.
  float globalAlpha = 0.0f;
};

}  // namespace quillon
