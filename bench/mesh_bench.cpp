// A 100,000-triangle binary qmo file: loading it with its triangles and bounds built, beside a
// plain fread of the same file in the same run, and packing the mesh (a 162-entry normal search
// per vertex). Compare load and fread as a ratio; absolute speeds depend on the machine.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/gfx3d/mesh.h"
#include "runtime/gfx3d/mesh_file.h"

namespace {

using quillon::MeshFrame;
using quillon::MeshObjectX;
using quillon::MeshVertex;

constexpr int kTriangles = 100000;

// One frame of separate triangles (a list run) scattered over a sphere, with varied normals
// and a handful of colours.
MeshObjectX UnpackedMesh() {
  MeshObjectX mesh;
  mesh.frames.Append(MeshFrame());
  auto& out = mesh.frames[0].unpacked;
  MeshVertex marker{};
  marker.colour = quillon::MarkerList;
  out.Append(marker);
  for (int t = 0; t < kTriangles; ++t) {
    for (int c = 0; c < 3; ++c) {
      float a = 0.001f * static_cast<float>(3 * t + c);
      float b = 0.37f * static_cast<float>(t % 997) + static_cast<float>(c);
      MeshVertex v{};
      v.normal[0] = std::cos(a) * std::sin(b);
      v.normal[1] = std::sin(a) * std::sin(b);
      v.normal[2] = std::cos(b);
      for (int i = 0; i < 3; ++i) v.position[i] = 50.0f * v.normal[i];
      v.u = static_cast<float>(c) * 0.5f;
      v.v = static_cast<float>(t % 7) / 7.0f;
      v.colour = 0x101010u * static_cast<uint32_t>(t % 12);
      out.Append(v);
    }
  }
  return mesh;
}

// Written once per run and removed at exit; the string is never destroyed, so the exit
// handler can still read it.
const std::string& MeshPath() {
  static const std::string* path = [] {
    auto* p = new std::string("/tmp/quillon-mesh-bench-" + std::to_string(getpid()) + ".qmo");
    MeshObjectX mesh = UnpackedMesh();
    quillon::PackFrames(mesh);
    quillon::SaveMeshFile(mesh, p->c_str());
    std::atexit([] { std::remove(MeshPath().c_str()); });
    return p;
  }();
  return *path;
}

long FileSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

void BM_LoadBuildBounds(benchmark::State& state) {
  const std::string& path = MeshPath();
  for (auto _ : state) {
    MeshObjectX mesh;
    if (!quillon::LoadMeshFile(mesh, path.c_str(), false)) state.SkipWithError("load failed");
    mesh.BuildTriangles();
    quillon::ComputeFrameBounds(mesh);
    benchmark::DoNotOptimize(mesh.frames[0].radius);
  }
  state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(BM_LoadBuildBounds)->Unit(benchmark::kMillisecond);

void BM_LoadOnly(benchmark::State& state) {
  const std::string& path = MeshPath();
  for (auto _ : state) {
    MeshObjectX mesh;
    benchmark::DoNotOptimize(quillon::LoadMeshFile(mesh, path.c_str(), false));
  }
  state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond);

void BM_PlainFread(benchmark::State& state) {
  const std::string& path = MeshPath();
  long size = FileSize(path);
  for (auto _ : state) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond);

void BM_PackFrames(benchmark::State& state) {
  const MeshObjectX source = UnpackedMesh();
  for (auto _ : state) {
    state.PauseTiming();
    MeshObjectX mesh = source;
    state.ResumeTiming();
    quillon::PackFrames(mesh);
    benchmark::DoNotOptimize(mesh.frames[0].packed.Data());
  }
  // Items are vertices: each one is a search over the 162 table normals.
  state.SetItemsProcessed(state.iterations() * source.frames[0].unpacked.Count());
}
BENCHMARK(BM_PackFrames)->Unit(benchmark::kMillisecond);

}  // namespace
