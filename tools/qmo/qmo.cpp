// qmo: brings models into the runtime's mesh file and looks inside mesh files.
//   qmo import IN OUT.qmo   OBJ, glTF 2.0, 3DS, PLY or MD2 to a binary qmo file
//   qmo info FILE           counts, bounds, colours and runs of a qmo file
//   qmo text FILE [OUT]     the text variant of a qmo file (to OUT or standard output)
// Exit status 1: the work failed; 2: the command line was wrong.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/gfx3d/mesh.h"
#include "runtime/gfx3d/mesh_file.h"
#include "tools/tool_cli.h"

namespace {

using quillon::MeshFrame;
using quillon::MeshObjectX;
using quillon::MeshVertex;

// Validation runs before the other steps: unchecked, a face index past the vertices crashes
// them (and the copy below).
constexpr unsigned kImportSteps = aiProcess_ValidateDataStructure | aiProcess_Triangulate |
                                  aiProcess_GenNormals | aiProcess_FlipUVs | aiProcess_SortByPType;

uint8_t ColourByte(float x) {
  if (!(x > 0)) return 0;
  if (x >= 1) return 255;
  return static_cast<uint8_t>(x * 255.0f + 0.5f);
}

uint32_t ColourValue(const aiColor4D& c) {
  return ColourByte(c.r) | ColourByte(c.g) << 8 | ColourByte(c.b) << 16;
}

// The frames one scene gives: the meshes' own positions, then one per morph target.
struct SceneFrames {
  const aiScene* scene;
  std::vector<std::vector<MeshVertex>> frames;
};

// Positions and normals of mesh for frame f: the base mesh for frame 0 and for morph targets the
// mesh does not have.
void MeshArrays(const aiMesh* mesh, unsigned f, const aiVector3D*& positions,
                const aiVector3D*& normals) {
  positions = mesh->mVertices;
  normals = mesh->mNormals;
  if (f == 0 || f > mesh->mNumAnimMeshes) return;
  const aiAnimMesh* target = mesh->mAnimMeshes[f - 1];
  if (target->mVertices != nullptr && target->mNumVertices == mesh->mNumVertices) {
    positions = target->mVertices;
  }
  if (target->mNormals != nullptr && target->mNumVertices == mesh->mNumVertices) {
    normals = target->mNormals;
  }
}

void AddMesh(const aiScene* scene, const aiMesh* mesh, const aiMatrix4x4& transform,
             std::vector<std::vector<MeshVertex>>& frames) {
  if ((mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) return;
  aiColor4D diffuse(1, 1, 1, 1);
  // The importer's stand-in material (grey) is no colour of the model: keep plain white.
  if (mesh->mMaterialIndex < scene->mNumMaterials) {
    const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
    aiString name;
    material->Get(AI_MATKEY_NAME, name);
    if (std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) != 0) {
      aiGetMaterialColor(material, AI_MATKEY_COLOR_DIFFUSE, &diffuse);
    }
  }
  aiMatrix3x3 normalTransform = aiMatrix3x3(transform).Inverse().Transpose();
  for (unsigned f = 0; f < frames.size(); ++f) {
    const aiVector3D* positions;
    const aiVector3D* normals;
    MeshArrays(mesh, f, positions, normals);
    for (unsigned i = 0; i < mesh->mNumFaces; ++i) {
      const aiFace& face = mesh->mFaces[i];
      if (face.mNumIndices != 3) continue;
      for (unsigned c = 0; c < 3; ++c) {
        unsigned k = face.mIndices[c];
        MeshVertex v{};
        aiVector3D p = transform * positions[k];
        v.position[0] = p.x;
        v.position[1] = p.y;
        v.position[2] = p.z;
        if (normals != nullptr) {
          aiVector3D n = normalTransform * normals[k];
          v.normal[0] = n.x;
          v.normal[1] = n.y;
          v.normal[2] = n.z;
        }
        if (mesh->HasTextureCoords(0)) {
          v.u = mesh->mTextureCoords[0][k].x;
          v.v = mesh->mTextureCoords[0][k].y;
        }
        v.colour = ColourValue(mesh->HasVertexColors(0) ? mesh->mColors[0][k] : diffuse);
        frames[f].push_back(v);
      }
    }
  }
}

void AddNode(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent,
             std::vector<std::vector<MeshVertex>>& frames) {
  aiMatrix4x4 transform = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    if (node->mMeshes[i] < scene->mNumMeshes) {
      AddMesh(scene, scene->mMeshes[node->mMeshes[i]], transform, frames);
    }
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i) {
    AddNode(scene, node->mChildren[i], transform, frames);
  }
}

// Triangle corners of every frame of the scene (one list per frame).
std::vector<std::vector<MeshVertex>> SceneTriangles(const aiScene* scene) {
  unsigned targets = 0;
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    targets = std::max(targets, scene->mMeshes[i]->mNumAnimMeshes);
  }
  std::vector<std::vector<MeshVertex>> frames(1 + targets);
  if (scene->mRootNode != nullptr) AddNode(scene, scene->mRootNode, aiMatrix4x4(), frames);
  return frames;
}

// The frame count in an MD2 header, or 0 for any other file.
int Md2FrameCount(const char* path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t head[44] = {};
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
  if (std::memcmp(head, "IDP2", 4) != 0) return 0;
  int32_t frames = quillon::ReadLeI32(head + 40);
  return frames > 0 && frames <= 512 ? frames : 0;
}

bool ImportFrames(const char* path, std::vector<std::vector<MeshVertex>>& frames) {
  int md2Frames = Md2FrameCount(path);
  for (int keyframe = 0; keyframe < std::max(md2Frames, 1); ++keyframe) {
    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_IMPORT_MD2_KEYFRAME, keyframe);
    const aiScene* scene = importer.ReadFile(path, kImportSteps);
    if (scene == nullptr || scene->mRootNode == nullptr) {
      std::fprintf(stderr, "qmo: cannot read it (%s): %s\n", importer.GetErrorString(), path);
      return false;
    }
    std::vector<std::vector<MeshVertex>> got = SceneTriangles(scene);
    if (md2Frames > 0) got.resize(1);
    for (auto& frame : got) frames.push_back(std::move(frame));
  }
  for (const auto& frame : frames) {
    if (frame.size() != frames[0].size()) {
      std::fprintf(stderr, "qmo: its frames differ in their triangles: %s\n", path);
      return false;
    }
    for (const MeshVertex& v : frame) {
      if (!std::isfinite(v.position[0]) || !std::isfinite(v.position[1]) ||
          !std::isfinite(v.position[2])) {
        std::fprintf(stderr, "qmo: %s has a coordinate that is not finite\n", path);
        return false;
      }
    }
  }
  if (frames.empty() || frames[0].empty()) {
    std::fprintf(stderr, "qmo: it has no triangles: %s\n", path);
    return false;
  }
  return true;
}

int Import(const char* in, const char* out) {
  std::vector<std::vector<MeshVertex>> triangles;
  if (!ImportFrames(in, triangles)) return 1;
  MeshObjectX mesh;
  MeshVertex marker{};
  marker.colour = quillon::MarkerList;
  for (const auto& corners : triangles) {
    mesh.frames.Append(MeshFrame());
    auto& unpacked = mesh.frames[mesh.frames.Count() - 1].unpacked;
    unpacked.Reserve(corners.size() + 1);
    unpacked.Append(marker);
    for (const MeshVertex& v : corners) unpacked.Append(v);
  }
  quillon::PackFrames(mesh);
  if (!quillon::SaveMeshFile(mesh, out)) {
    std::fprintf(stderr, "qmo: cannot write it: %s\n", out);
    return 1;
  }
  std::printf("%s: %d frames, %zu triangles, %d colours\n", out, mesh.frames.Count(),
              triangles[0].size() / 3, mesh.colours.Count());
  return 0;
}

const char* RunName(uint32_t c) {
  return c == quillon::MarkerStrip ? "strip" : c == quillon::MarkerFan ? "fan" : "list";
}

int Info(const char* path) {
  MeshObjectX mesh;
  if (!quillon::LoadMeshFile(mesh, path, false)) {
    std::fprintf(stderr, "qmo: cannot load it (see the error log): %s\n", path);
    return 1;
  }
  mesh.BuildTriangles();
  quillon::ComputeFrameBounds(mesh);
  std::printf("%s: %d frames, %d colours, %d texture coordinates\n", path, mesh.frames.Count(),
              mesh.colours.Count(), mesh.texU.Count());
  std::printf("colours:");
  for (uint32_t c : mesh.colours.items) {
    if (quillon::IsMarker(c)) {
      std::printf(" %s-marker", RunName(c));
    } else {
      std::printf(" %06X", c);
    }
  }
  std::printf("\n");
  for (int32_t f = 0; f < mesh.frames.Count(); ++f) {
    const MeshFrame& frame = mesh.frames[f];
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (int32_t i = 0; i < frame.triangles.Count(); ++i) {
      for (int a = 0; a < 3; ++a) {
        float x = frame.triangles[i].position[a];
        if (i == 0 || x < lo[a]) lo[a] = x;
        if (i == 0 || x > hi[a]) hi[a] = x;
      }
    }
    std::printf(
        "frame %d: %d vertices, %d triangles, box (%g %g %g)-(%g %g %g), "
        "centre (%g %g %g), radius %g\n",
        f, frame.packed.Count(), frame.triangles.Count() / 3, lo[0], lo[1], lo[2], hi[0], hi[1],
        hi[2], frame.centre[0], frame.centre[1], frame.centre[2], frame.radius);
  }
  if (mesh.frames.Count() == 0) return 0;
  // Runs of frame 0: kind and vertex count.
  std::string kind = "list";
  int length = 0;
  std::printf("runs:");
  auto flush = [&] {
    if (length > 0) std::printf(" %s(%d)", kind.c_str(), length);
    length = 0;
  };
  for (const quillon::PackedVertex& p : mesh.frames[0].packed.items) {
    uint32_t c = p.colourIndex < mesh.colours.Count() ? mesh.colours[p.colourIndex] : 0;
    if (c == quillon::MarkerList || c == quillon::MarkerStrip || c == quillon::MarkerFan) {
      flush();
      kind = RunName(c);
    } else {
      ++length;
    }
  }
  flush();
  std::printf("\n");
  return 0;
}

int Text(const char* path, const char* out) {
  MeshObjectX mesh;
  if (!quillon::LoadMeshFile(mesh, path, false)) {
    std::fprintf(stderr, "qmo: cannot load it (see the error log): %s\n", path);
    return 1;
  }
  if (out == nullptr) {
    // The stream itself: opening a path to it anew would truncate a file it appends to.
    std::string text = quillon::EncodeMeshText(mesh);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      std::fprintf(stderr, "qmo: cannot write to standard output\n");
      return 1;
    }
    return 0;
  }
  if (!quillon::SaveMeshText(mesh, out)) {
    std::fprintf(stderr, "qmo: cannot write it: %s\n", out);
    return 1;
  }
  return 0;
}

constexpr char kUsage[] =
    "usage: qmo import IN OUT.qmo   a model (OBJ, glTF 2.0, 3DS, PLY, MD2) as a qmo file\n"
    "       qmo info FILE           counts, bounds, colours and runs of a qmo file\n"
    "       qmo text FILE [OUT]     the text form of a qmo file (standard output without OUT)\n"
    "       qmo --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  using quillon::tool::UsageError;
  if (quillon::tool::AnsweredHelpOrVersion(argc, argv, "qmo", kUsage)) return 0;
  std::string command = argc >= 2 ? argv[1] : "";
  if (command == "import" && argc == 4) return Import(argv[2], argv[3]);
  if (command == "info" && argc == 3) return Info(argv[2]);
  if (command == "text" && (argc == 3 || argc == 4)) {
    return Text(argv[2], argc == 4 ? argv[3] : nullptr);
  }
  if (command == "import" || command == "info" || command == "text") {
    return UsageError("qmo", "wrong number of arguments for " + command, kUsage);
  }
  return UsageError("qmo", command.empty() ? "a command is needed" : "unknown command " + command,
                    kUsage);
}
