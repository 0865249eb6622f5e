#include "mesh_test_helpers.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillon::testing {

void MeshTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = std::string(QUILLON_BINARY_DIR) + "/test-tmp/gfx3d-" + info->test_suite_name() + "-" +
        info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("TMPDIR", dir.c_str(), 1);
}

// The log lives in the user's own directory below the temporary directory.
std::string MeshTest::LogPath() const {
  return dir + "/quillon-" + std::to_string(geteuid()) + "/ErrorLog.txt";
}

std::string MeshTest::Log() const {
  std::vector<uint8_t> bytes = ReadBytes(LogPath());
  return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

QmoBytes& QmoBytes::I32(int32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  return *this;
}

QmoBytes& QmoBytes::F32(float v) {
  int32_t bits;
  std::memcpy(&bits, &v, 4);
  return I32(bits);
}

QmoBytes& QmoBytes::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  I32(static_cast<int32_t>(bits));
  return I32(static_cast<int32_t>(bits >> 32));
}

QmoBytes& QmoBytes::U8(std::initializer_list<uint8_t> v) {
  bytes.insert(bytes.end(), v);
  return *this;
}

QmoBytes& QmoBytes::Head(int32_t frames, int32_t colours, int32_t texCoords, double version) {
  return I32(13021975).F64(version).I32(frames).I32(colours).I32(texCoords);
}

QmoBytes& QmoBytes::FrameHead(int32_t n) {
  return I32(n).F32(0).F32(0).F32(0).F32(1).F32(1).F32(1);
}

MeshObjectX PackedMesh(const std::vector<uint32_t>& colours, const std::vector<uint8_t>& indices) {
  MeshObjectX mesh;
  for (uint32_t c : colours) mesh.colours.Append(c);
  mesh.frames.Append(MeshFrame());
  for (size_t k = 0; k < indices.size(); ++k) {
    uint8_t q = static_cast<uint8_t>(k);
    mesh.frames[0].packed.Append(PackedVertex{
        {q, static_cast<uint8_t>(2 * q), static_cast<uint8_t>(3 * q)}, 0, 0, 0, indices[k]});
    mesh.texU.Append(0);
    mesh.texV.Append(0);
  }
  return mesh;
}

}  // namespace quillon::testing
