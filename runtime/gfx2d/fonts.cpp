#include "runtime/gfx2d/fonts.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx2d/builtin_font.h"
#include "runtime/gfx2d/fonts_internal.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"

namespace quillon {

namespace {

int32_t ClampFont(double font) {
  if (std::isnan(font) || font < 0) return 0;
  if (font >= kFontCount - 1) return kFontCount - 1;
  return static_cast<int32_t>(font);
}

// The cell grid of a loaded font image.
struct FontCells {
  int32_t slot = 0;
  int32_t cellWidth = 0, cellHeight = 0;
  int32_t rows = 8;      // 16 rows (codes 0-255) for images narrower than tall, else 8 (0-127)
  float du = 0, dv = 0;  // one cell in texture coordinates
  int32_t imageHeight = 0;
};

bool FindFont(int32_t font, FontCells& cells) {
  if (font < 0 || font >= kFontCount) return false;
  cells.slot = FontSlotBase + font;
  const TextureSlot* s = FindSlot(cells.slot);
  if (s == nullptr || s->texture == 0 || s->width <= 0 || s->height <= 0) return false;
  cells.rows = s->width < s->height ? 16 : 8;
  cells.cellWidth = s->width / 16;
  cells.cellHeight = s->height / cells.rows;
  cells.du = (static_cast<float>(s->width) / static_cast<float>(s->paddedWidth)) / 16;
  cells.dv = (static_cast<float>(s->height) / static_cast<float>(s->paddedHeight)) /
             static_cast<float>(cells.rows);
  cells.imageHeight = s->height;
  return true;
}

// Texture coordinates of the cell of byte b: s0, t0 at its bottom-left.
void CellOrigin(const FontCells& cells, uint8_t b, float& s0, float& t0) {
  int code = b % (16 * cells.rows);
  s0 = static_cast<float>(code % 16) * cells.du;
  t0 = static_cast<float>(cells.rows - 1 - code / 16) * cells.dv;
}

void LoadBuiltinFont(int32_t slot) {
  FreeSlot(slot);
  TextureSlot* s = FindSlot(slot);
  if (s == nullptr || runtimeState.graphics->ready == 0) return;
  uint32_t texture = 0;
  if (!UploadTexture(BuiltinFont(), 0, 0, 0, 0, texture, false, true)) return;
  s->texture = texture;
  s->paddedWidth = kBuiltinFontWidth;
  s->paddedHeight = kBuiltinFontHeight;
  s->width = kBuiltinFontWidth;
  s->height = kBuiltinFontHeight;
}

// Culling is off while 3D text is drawn, whatever path the drawing takes.
struct CullingOff {
  GLboolean wasOn = glIsEnabled(GL_CULL_FACE);
  CullingOff() {
    if (wasOn) glDisable(GL_CULL_FACE);
  }
  ~CullingOff() {
    if (wasOn) glEnable(GL_CULL_FACE);
  }
};

void AddWorldText(const FontCells& cells, const char* text, const float p[3], float size) {
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const float right[3] = {m[0], m[4], m[8]};
  const float up[3] = {m[1], m[5], m[9]};
  float e = size * static_cast<float>(cells.cellWidth);
  size_t length = std::strlen(text);
  float start = -static_cast<float>(length) / 2 * e;
  Use2DSlot(cells.slot);
  for (size_t i = 0; i < length; ++i) {
    float s0 = 0, t0 = 0;
    CellOrigin(cells, static_cast<uint8_t>(text[i]), s0, t0);
    float along = start + static_cast<float>(i) * e;
    auto corner = [&](float dx, float dy, float s, float t) {
      BatchVertex v{s, t, 0, 0, 0};
      float* out = &v.x;
      for (int k = 0; k < 3; ++k) out[k] = p[k] + right[k] * (along + dx) + up[k] * dy;
      return v;
    };
    BatchVertex quad[4] = {corner(0, 0, s0, t0), corner(e, 0, s0 + cells.du, t0),
                           corner(e, e, s0 + cells.du, t0 + cells.dv),
                           corner(0, e, s0, t0 + cells.dv)};
    Add2DQuad(quad);
  }
}

void DrawScreenText(const FontCells& cells, int32_t font, const char* text, const float p[3]) {
  float modelview[16], projection[16];
  GLint viewport[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  float eye[4], clip[4];
  for (int r = 0; r < 4; ++r) {
    eye[r] =
        modelview[r] * p[0] + modelview[4 + r] * p[1] + modelview[8 + r] * p[2] + modelview[12 + r];
  }
  for (int r = 0; r < 4; ++r) {
    clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
              projection[12 + r] * eye[3];
  }
  if (clip[3] == 0) return;
  float nx = clip[0] / clip[3], ny = clip[1] / clip[3], nz = clip[2] / clip[3];
  float vx = static_cast<float>(viewport[0]), vy = static_cast<float>(viewport[1]);
  float vw = static_cast<float>(viewport[2]), vh = static_cast<float>(viewport[3]);
  float sx = vx + (nx + 1) * vw / 2;
  float sy = vh - (vy + vh * (ny + 1) / 2);
  float length = static_cast<float>(std::strlen(text));

  GLint matrixMode = GL_MODELVIEW;
  glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, vw, -vh, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  DrawText(font, text, sx - length * static_cast<float>(cells.cellWidth) / 2 - vx,
           vy + sy - static_cast<float>(cells.imageHeight / 8), -nz);
  Flush2DBatch();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(matrixMode);
}

}  // namespace

void LoadFont(const StringValue& file, double font) {
  int32_t n = ClampFont(font);
  runtimeState.currentFont = n;
  int32_t slot = FontSlotBase + n;
  StringValue path;
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) != 0 &&
      LoadImageIntoSlot(slot, path.CStr(), 0, false)) {
    return;
  }
  LoadBuiltinFont(slot);
}

void SetFont(double font) { runtimeState.currentFont = ClampFont(font); }

void PrintText(const StringValue& text, double x, double y) {
  DrawText(runtimeState.currentFont, text.CStr(), static_cast<float>(x), static_cast<float>(y), 0);
}

void PrintNumber(double value, double x, double y) { PrintText(NumberToText(value), x, y); }

void GetFontSize(double& width, double& height) {
  FontCells cells;
  bool found = FindFont(runtimeState.currentFont, cells);
  width = found ? cells.cellWidth : 0;
  height = found ? cells.cellHeight : 0;
}

void DrawText(int32_t font, const char* text, float x, float y, float z) {
  FontCells cells;
  if (text == nullptr || !FindFont(font, cells)) return;
  float left = std::ceil(x);
  float top = std::ceil(y);
  float cw = static_cast<float>(cells.cellWidth);
  float ch = static_cast<float>(cells.cellHeight);
  Use2DSlot(cells.slot);
  for (const char* c = text; *c != '\0'; ++c, left += cw) {
    float s0 = 0, t0 = 0;
    CellOrigin(cells, static_cast<uint8_t>(*c), s0, t0);
    float s1 = s0 + cells.du, t1 = t0 + cells.dv;
    BatchVertex quad[4] = {{s0, t0, left, -(top + ch), z},
                           {s1, t0, left + cw, -(top + ch), z},
                           {s1, t1, left + cw, -top, z},
                           {s0, t1, left, -top, z}};
    Add2DQuad(quad);
  }
}

void PrintText3D(int32_t font, const char* text, float x, float y, float z, float size) {
  FontCells cells;
  if (text == nullptr || !FindFont(font, cells)) return;
  Flush2DBatch();
  CullingOff culling;
  const float p[3] = {x, y, z};
  if (size != 0) {
    AddWorldText(cells, text, p, size);
  } else {
    DrawScreenText(cells, font, text, p);
  }
  // The 3D renderer's matrices and culling apply only to this text.
  Flush2DBatch();
}

}  // namespace quillon
