// Untextured pixels, lines and filled rectangles, reading one pixel back, and free-form
// polygons built vertex by vertex.
#pragma once

#include <cstdint>

namespace quillon {

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

}  // namespace quillon
