// libFuzzer target for the qmo mesh reader, binary and text alike: any bytes must load into a
// consistent mesh with finite geometry or fail with a cleared one, without crashing, hanging or allocating more than
// the file can justify. A loaded mesh must build its triangles and survive a save and reload
// byte for byte.
//
//   qmo_reader_fuzz -max_len=4096 -rss_limit_mb=2048 fuzz/corpus/qmo_reader_fuzz
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/core/runtime_errors.h"
#include "runtime/gfx3d/mesh_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Failures write the error log; keep it out of the shared temporary folder.
  static std::string dir = "/tmp/qmo-fuzz-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  setenv("TMPDIR", dir.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillon::MeshObjectX mesh;
  bool ok = quillon::LoadMeshData(mesh, data, size, true, "fuzz");
  if (!ok) {
    if (mesh.frames.Count() != 0 || mesh.colours.Count() != 0 || mesh.texU.Count() != 0) {
      std::abort();
    }
    quillon::ResetErrorLog();
    return 0;
  }
  for (const quillon::MeshFrame& frame : mesh.frames.items) {
    if (mesh.texU.Count() != 0 && frame.packed.Count() != mesh.texU.Count()) std::abort();
  }
  mesh.BuildTriangles();
  quillon::ComputeFrameBounds(mesh);
  // Non-finite numbers from the file never reach geometry.
  for (const quillon::MeshFrame& frame : mesh.frames.items) {
    for (const quillon::MeshVertex& v : frame.triangles.items) {
      for (float x : v.position) {
        if (!std::isfinite(x)) std::abort();
      }
    }
  }
  std::vector<uint8_t> bytes = quillon::EncodeMeshFile(mesh);
  quillon::MeshObjectX again;
  if (!quillon::LoadMeshData(again, bytes.data(), bytes.size(), false, "again")) std::abort();
  if (quillon::EncodeMeshFile(again) != bytes) std::abort();
  quillon::ResetErrorLog();
  return 0;
}
