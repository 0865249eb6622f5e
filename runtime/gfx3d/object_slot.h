// An object slot of the 3D renderer: its meshes and, for compound objects, their textures.
#pragma once

#include <cstdint>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

struct ObjectSlot {
  bool loaded = false;
  bool isCompound = false;
  GrowList<MeshObjectX> parts;
  GrowList<uint32_t> textures;  // GL names; 0 = not loaded
};

// Frees every part (lists, buffers, ramp) and deletes the slot's textures; the slot is then
// empty, not loaded and not compound.
void ReleaseObjectSlot(ObjectSlot& slot);
// Releases the slot and loads path into it: a file starting ";QMW" as a compound object, any
// other as one qmo mesh. 1 when a mesh with at least one packed vertex in frame 0 (or a compound
// file) was loaded, its triangles and bounds built; else 0.
int LoadObjectSlot(ObjectSlot& slot, const char* path);
// Releases the slot and reads the INI file path: [textures] count and 1..N image files,
// [objects] count, 1..M qmo files and kta / ktb texture numbers (1-based), names relative to
// path's folder. Always true; missing files leave empty parts or unset textures. Counts beyond
// the keys the section holds are cut to that, and texture numbers beyond the textures loaded
// become -1 (untextured).
bool LoadCompoundObject(const char* path, ObjectSlot& slot);

}  // namespace quillon
