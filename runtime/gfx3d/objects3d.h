// 3D objects: loading, saving, building from vertices and drawing them in the object slots.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Object slots are 0 to 4095; NaN, negative and larger slot numbers do nothing and
// give 0. Frame numbers outside the object's frames are clamped to its first and last frame.

// Loads a qmo mesh or a compound object file into the slot; 1 on success, 0 when the file
// cannot be found or holds no vertices (the slot is then empty).
// Example:
//   if (LoadObject("ship.qmo", 1) == 0) ErrorLog("ship.qmo is missing");
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 40, -80, 0, 0, 0);
//   SetLightColour(0, 0xFFFFFF);
//   DrawObject(1, 0);
double LoadObject(const StringValue& file, double slot);
// Writes the slot's (first) mesh as a binary qmo file; 1 once the whole file is in place, 0 for
// a slot without a mesh or a file that cannot be written (an old file of that name is kept).
// Example:
//   StartObject(7);  // a built object, kept as a file for the next run
//   AddVertex(-10, 0, -10, 0, 0, 0xFFFFFF);
//   AddVertex(10, 0, -10, 1, 0, 0xFFFFFF);
//   AddVertex(-10, 0, 10, 0, 1, 0xFFFFFF);
//   AddVertex(10, 0, 10, 1, 1, 0xFFFFFF);
//   EndObject();
//   SaveObject("floor.qmo", 7);
double SaveObject(const StringValue& file, double slot);
// Textures for the single-mesh objects drawn next (compound objects bring their own): the image
// in sprite slot on the first texture unit and, for two-texture objects (bump mapping), the one
// in secondSlot on the second; -1 for none. mipmapped non-zero uses the images' mipmapped
// copies where they have them (images loaded from files do; the copy is made from the image's
// texture on its first such use, not at load). A slot outside the store or
// without an image counts as -1. Enter3D switches textures off again.
// Example:
//   LoadSprite("hull.png", 4);
//   SetObjectTexture(4, -1, 1);  // the hull's picture, mipmapped, on the next objects drawn
//   DrawObject(1, 0);
void SetObjectTexture(double slot, double secondSlot, double mipmapped);
// Draws the slot's frame at the place the transform levels give.
// Example:
//   LoadObject("ship.qmo", 1);
//   Enter3D(1, 1000, 60);
//   SetCamera(0, 40, -80, 0, 0, 0);  // behind and above the ship
//   SetLightColour(0, 0xFFFFFF);
//   double heading = 30;
//   PushTransform();
//   SetPosition(0, 0, 0);
//   AddRotation(heading, 0, 1, 0);
//   DrawObject(1, 0);
//   PopTransform();
void DrawObject(double slot, double frame);
// Draws frameA blended towards frameB by blend (0..1). With flag non-zero, frameA..frameB is an
// animation range and blend the position in it (wrapped into 0..1).
// Example:
//   LoadObject("runner.qmo", 2);  // frames 0 to 7: one stride
//   double stride = ElapsedMilliseconds() / 800;  // a stride every 0.8 s
//   DrawObjectBlend(2, 0, 7, stride - std::floor(stride), 1);
void DrawObjectBlend(double slot, double frameA, double frameB, double blend, double flag);
// Empties the slot and starts building an object in it from AddVertex and NewStrip calls.
// Example:
//   StartObject(3);  // one square, as a strip of two triangles
//   AddVertex(-5, 0, -5, 0, 0, 0xFFFFFF);
//   AddVertex(5, 0, -5, 1, 0, 0xFFFFFF);
//   AddVertex(-5, 0, 5, 0, 1, 0xFFFFFF);
//   AddVertex(5, 0, 5, 1, 1, 0xFFFFFF);
//   EndObject();
void StartObject(double slot);
// Appends a vertex at (x, y, z) with texture coordinate (u, v) and colour 0xBBGGRR to the
// object being built; colour -1, -2 or -3 starts a list, strip or fan run instead. Nothing
// without StartObject, for a non-finite position, and (one error-log line) past 1,048,576
// vertices. Coordinates up to the float range pack without overflow.
// Example:
//   StartObject(4);
//   AddVertex(0, 0, 0, 0, 0, -1);  // what follows is a list of triangles
//   AddVertex(0, 10, 0, 0.5, 0, 0x0000FF);  // a red top
//   AddVertex(-8, 0, 0, 0, 1, 0xFF0000);
//   AddVertex(8, 0, 0, 1, 1, 0xFF0000);
//   EndObject();
void AddVertex(double x, double y, double z, double u, double v, double colour);
// Starts a new triangle strip in the object being built; nothing without StartObject.
// Example:
//   StartObject(5);  // two separate strips in one object
//   AddVertex(0, 0, 0, 0, 0, 0xFFFFFF);
//   AddVertex(1, 0, 0, 1, 0, 0xFFFFFF);
//   AddVertex(0, 1, 0, 0, 1, 0xFFFFFF);
//   NewStrip();
//   AddVertex(3, 0, 0, 0, 0, 0xFFFFFF);
//   AddVertex(4, 0, 0, 1, 0, 0xFFFFFF);
//   AddVertex(3, 1, 0, 0, 1, 0xFFFFFF);
//   EndObject();
void NewStrip();
// Finishes the object being built: packed, normals computed (build quality 1 or 2) and made
// drawable. Two entries or fewer in all (StartObject's strip mark counts as one) leave the slot
// loaded but empty.
// Example:
//   StartObject(6);
//   AddVertex(0, 0, 0, 0, 0, 0x00FF00);
//   AddVertex(1, 0, 0, 1, 0, 0x00FF00);
//   AddVertex(0, 0, 1, 0, 1, 0x00FF00);
//   EndObject();  // now drawable with DrawObject(6, 0)
void EndObject();
// Normals of objects built after it: 0 none, 1 per run (creases where runs meet), 2 smooth
// over every triangle sharing a corner position; n is taken modulo 3.
// Example:
//   SetBuildQuality(2);  // smooth normals: a round object shades without edges
//   StartObject(8);
//   AddVertex(0, 0, 0, 0, 0, 0xFFFFFF);
//   AddVertex(1, 0, 0, 1, 0, 0xFFFFFF);
//   AddVertex(0, 1, 0, 0, 1, 0xFFFFFF);
//   EndObject();
void SetBuildQuality(double n);
// The number of triangle vertices of frame 0 over all the slot's parts; 0 for an empty slot.
// Example:
//   LoadObject("ship.qmo", 1);
//   std::printf("ship: %.0f vertices\n", ObjectVertexCount(1));
double ObjectVertexCount(double slot);

}  // namespace quillon
