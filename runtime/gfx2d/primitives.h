// Untextured pixels, lines and filled rectangles, reading one pixel back, and free-form
// polygons built vertex by vertex.
#pragma once

#include <cstdint>

namespace quillon {

// No polygon takes more vertices than this; later ones are ignored.
constexpr int32_t kMaxPolygonVertices = 65536;

// Commands. Colours are packed red + 256 * green + 65536 * blue; 0x8000FF, the sprite colour
// key, is drawn with alpha 0.
// Sets the pixel at (x, y) to the colour.
// Example:
//   for (int star = 0; star < 100; ++star) {  // a starfield
//     SetPixel(RandomInteger(639), RandomInteger(479), 0xFFFFFF);
//   }
void SetPixel(double x, double y, double colour);
// A one-pixel line from (x1, y1) to (x2, y2), both end points included.
// Example:
//   DrawLine(0, 440, 639, 440, 0x00FF00);  // a green ground line
void DrawLine(double x1, double y1, double x2, double y2, double colour);
// Fills the rectangle with corners (x1, y1) and (x2, y2), in either order; both corners are inside
// it, so FillRect(0, 0, 31, 31, c) fills 32 x 32 pixels.
// Example:
//   FillRect(0, 0, 31, 31, 0x0000FF);      // a 32 x 32 red square at the top-left
//   FillRect(100, 470, 160, 476, 0xFFFFFF);  // a 61 x 7 white paddle
void FillRect(double x1, double y1, double x2, double y2, double colour);
// The colour of the pixel at the truncated (x, y) of the frame being drawn; 0 outside the window.
// Example:
//   FillRect(0, 0, 9, 9, 0x00FFFF);
//   double colour = GetPixel(5, 5);  // 0x00FFFF: yellow
double GetPixel(double x, double y);
// Starts a polygon textured with the slot's image; a negative slot draws it untextured.
// Example:
//   LoadSprite("grass.png", 1);
//   BeginPolygon(1);  // a textured quad; a fan of vertices in order around the shape
//   AddPolygonVertex(100, 100, 0, 0, 0xFFFFFF);
//   AddPolygonVertex(300, 120, 64, 0, 0xFFFFFF);
//   AddPolygonVertex(280, 300, 64, 64, 0xFFFFFF);
//   AddPolygonVertex(120, 280, 0, 64, 0xFFFFFF);
//   EndPolygon();
void BeginPolygon(double slot);
// Adds a vertex at the truncated (x, y) with the image's pixel (tx, ty) on it and the colour
// tinting it; colours blend between vertices. Past kMaxPolygonVertices nothing is added.
// Example:
//   BeginPolygon(-1);  // an untextured triangle, shaded from red to blue
//   AddPolygonVertex(320, 100, 0, 0, 0x0000FF);
//   AddPolygonVertex(420, 300, 0, 0, 0xFF0000);
//   AddPolygonVertex(220, 300, 0, 0, 0xFF0000);
//   EndPolygon();
void AddPolygonVertex(double x, double y, double tx, double ty, double colour);
// Draws the vertices added since BeginPolygon as a triangle fan (a convex shape around its first
// vertex).
// Example:
//   BeginPolygon(-1);
//   AddPolygonVertex(0, 0, 0, 0, 0x202020);
//   AddPolygonVertex(639, 0, 0, 0, 0x202020);
//   AddPolygonVertex(639, 479, 0, 0, 0x800000);
//   AddPolygonVertex(0, 479, 0, 0, 0x800000);
//   EndPolygon();  // a sky fading from grey to dark blue
void EndPolygon();

}  // namespace quillon
