// The two mesh steps that talk to GL: releasing a drawable mesh and its colour ramp.
#include <GL/gl.h>

#include "runtime/gfx3d/colour_ramp.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

void ClearMesh(MeshObjectX& mesh, bool freeStorage) {
  ClearMesh(static_cast<MeshObject&>(mesh), freeStorage);
  if (!freeStorage) return;
  mesh.edgeNeighbours.Clear(true);
  mesh.faceFlags.Clear(true);
  DeleteFrameZeroBuffers(mesh);
  if (arb.glDeleteBuffersARB != nullptr && mesh.vertexBuffers[1] != 0) {
    arb.glDeleteBuffersARB(1, &mesh.vertexBuffers[1]);
  }
  mesh.vertexBuffers[1] = 0;
  if (mesh.rampTexture != 0) {
    Flush2DBatch();
    glDeleteTextures(1, &mesh.rampTexture);
    mesh.rampTexture = 0;
  }
}

void DeleteFrameZeroBuffers(MeshObjectX& mesh) {
  if (arb.glDeleteBuffersARB != nullptr) {
    if (mesh.vertexBuffers[0] != 0) arb.glDeleteBuffersARB(1, &mesh.vertexBuffers[0]);
    if (mesh.indexBuffer != 0) arb.glDeleteBuffersARB(1, &mesh.indexBuffer);
  }
  mesh.vertexBuffers[0] = 0;
  mesh.indexBuffer = 0;
  mesh.indexCount = 0;
}

int32_t RampRows(int32_t colourCount) {
  if (colourCount > 16384) return colourCount;
  int32_t rows = 1;
  while (rows < colourCount) rows *= 2;
  return rows;
}

std::vector<uint8_t> ColourRampTexels(const GrowList<uint32_t>& colours) {
  static const int32_t kLevels[kRampColumns] = {100, 160, 160, 160, 160, 160, 160, 207,
                                                255, 255, 255, 255, 255, 255, 255, 255};
  int32_t rows = RampRows(colours.Count());
  std::vector<uint8_t> texels(static_cast<size_t>(rows) * kRampColumns * 4);
  uint8_t* out = texels.data();
  for (int32_t r = 0; r < rows; ++r) {
    uint32_t c = r < colours.Count() ? colours[r] : colours.Count() > 0 ? colours[0] : MarkerList;
    for (int32_t level : kLevels) {
      if (c < kFirstNonColour) {
        *out++ = static_cast<uint8_t>((c & 0xFF) * level / 255);
        *out++ = static_cast<uint8_t>(((c >> 8) & 0xFF) * level / 255);
        *out++ = static_cast<uint8_t>(((c >> 16) & 0xFF) * level / 255);
      } else {
        for (int i = 0; i < 3; ++i) *out++ = static_cast<uint8_t>(level);
      }
      *out++ = 255;
    }
  }
  return texels;
}

void BuildColourRamp(MeshObjectX& mesh) {
  if (mesh.rampTexture != 0) return;
  int32_t rows = RampRows(mesh.colours.Count());
  mesh.rampRowStep = 1.0f / static_cast<float>(rows);
  std::vector<uint8_t> texels = ColourRampTexels(mesh.colours);
  Flush2DBatch();
  // Built in the middle of a draw: the part's own texture must still be bound afterwards.
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGenTextures(1, &mesh.rampTexture);
  glBindTexture(GL_TEXTURE_2D, mesh.rampTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kRampColumns, rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

}  // namespace quillon
