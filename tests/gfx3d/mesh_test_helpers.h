// Shared by the mesh tests: a scratch folder whose error log each test reads, and qmo files
// assembled field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace quillon::testing {

// Points TMPDIR (and so the error log) at a fresh folder named after the running test.
class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::string Path(const char* name) const { return dir + "/" + name; }
  std::string Log() const;
  std::string LogPath() const;
  std::string dir;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

// Little-endian fields of a binary qmo file.
struct QmoBytes {
  std::vector<uint8_t> bytes;
  QmoBytes& I32(int32_t v);
  QmoBytes& F32(float v);
  QmoBytes& F64(double v);
  QmoBytes& U8(std::initializer_list<uint8_t> v);
  // Magic, version, F, L, T.
  QmoBytes& Head(int32_t frames, int32_t colours, int32_t texCoords, double version = 1.02);
  // N, offset 0 and scale 1.
  QmoBytes& FrameHead(int32_t n);
};

// A mesh of one frame whose packed vertices carry the given colour indices; vertex k sits at
// q = (k, 2k, 3k) with table normal 0.
MeshObjectX PackedMesh(const std::vector<uint32_t>& colours, const std::vector<uint8_t>& indices);

}  // namespace quillon::testing
