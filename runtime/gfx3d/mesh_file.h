// The qmo mesh file: binary (magic 13021975, version 1.02) and the text variant ("QMOA").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

constexpr int32_t kMeshMagic = 13021975;
constexpr double kMeshVersion = 1.02;
// Text tokens longer than this are cut.
constexpr size_t kMaxMeshToken = 1024;

// Clears the mesh (freeing storage) and reads a binary or text qmo file into it; with
// unpackFrames a binary file also fills each frame's unpacked list. False with the mesh cleared
// when the file cannot be opened (nothing logged) or is damaged ("# read error" or
// "# malloc error" and the path in the error log; a wrong version logs "Wrong .qmo version."
// first). Every count is checked against the file's size before anything is allocated. A
// binary file may hold no texture coordinates (T = 0: every u, v is 0); otherwise each frame
// has one vertex per coordinate. Non-finite coordinates are refused: a text vertex that is not
// finite, a binary offset or scale that would unpack to one.
bool LoadMeshFile(MeshObject& mesh, const char* path, bool unpackFrames);
// The same for a file already in memory; path only names it in the error log.
bool LoadMeshData(MeshObject& mesh, const uint8_t* data, size_t size, bool unpackFrames,
                  const char* path);

// The binary file's bytes for the mesh's packed frames, colours and texture coordinates.
std::vector<uint8_t> EncodeMeshFile(const MeshObject& mesh);
// Writes the binary file through a new file beside path, renamed over it when every byte is
// written; 1 then, else 0 with the old file (if any) untouched. A path that names something
// other than a regular file (a folder, a device) is not replaced: 0.
int SaveMeshFile(const MeshObject& mesh, const char* path);
// Frame 0's runs as text polygons (one per triangle) and every frame's vertices with normals
// (version 1.1).
std::string EncodeMeshText(const MeshObject& mesh);
// EncodeMeshText written as SaveMeshFile writes: 1 when the file is in place, else 0.
int SaveMeshText(const MeshObject& mesh, const char* path);

}  // namespace quillon
