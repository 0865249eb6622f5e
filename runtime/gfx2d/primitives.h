// Untextured pixels, lines and filled rectangles, reading one pixel back, and free-form
// polygons built vertex by vertex.
#pragma once

#include <cstdint>
#include <memory>

namespace quillon {

// One vertex as handed to GL: 32 bytes.
struct PolygonVertex {
  float x, y;  // y negated
  float s, t;  // texture coordinates
  float red, green, blue, alpha;
};
static_assert(sizeof(PolygonVertex) == 32);

// The polygon being built. Capacity grows to 512 records, then by 128 at a time.
struct VertexList {
  std::unique_ptr<PolygonVertex[]> records;
  int32_t slot = -1;  // negative: untextured
  int32_t count = 0;
  int32_t capacity = 0;
};

// No polygon takes more vertices than this; later ones are ignored.
constexpr int32_t kMaxPolygonVertices = 65536;

// Commands. Colours are packed red + 256 * green + 65536 * blue; 0x8000FF, the sprite colour
// key, is drawn with alpha 0.
void SetPixel(double x, double y, double colour);
void DrawLine(double x1, double y1, double x2, double y2, double colour);
void FillRect(double x1, double y1, double x2, double y2, double colour);
double GetPixel(double x, double y);
void BeginPolygon(double slot);
void AddPolygonVertex(double x, double y, double tx, double ty, double colour);
void EndPolygon();

const VertexList& CurrentPolygon();
// Program end: the vertex storage is given back.
void ReleasePolygonVertices();

}  // namespace quillon
