#include "runtime/gl/frame_read.h"

#include <GL/gl.h>

#include "runtime/gl/sprite_batch.h"

namespace quillon {

void ReadFramePixels(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t format,
                     void* pixels) {
  Flush2DBatch();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(x, y, width, height, format, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace quillon
