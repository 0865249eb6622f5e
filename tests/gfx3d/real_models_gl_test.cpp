// Real models from many exporters, valid and broken (Debian's assimp-testmodels): each one the
// model tool takes imports, or fails with one line and status 1, within bounded time and memory;
// each one that imports loads as an object and draws a picture.
#include <GL/gl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the shadow memory takes the address space: no rlimit there
#else
constexpr bool kSanitized = false;
#endif

const char* const kModels = "/usr/share/assimp/models";

// Paths under kModels that must fail, with why; any other failure is a new fault.
const std::map<std::string, std::string> kExpectedFailures = {
    {"OBJ/box_UTF16BE.obj", "UTF-16 text, which the reader takes for no mesh"},
    {"OBJ/point_cloud.obj", "points only"},
    {"OBJ/testpoints.obj", "points only"},
    {"OBJ/testline.obj", "lines only"},
    {"PLY/points.ply", "points only"},
    {"PLY/pond.0.ply", "points only"},
    {"PLY/issue623.ply", "broken: the face list is declared inside the vertex element"},
    {"glTF/BoxTextured-glTF-Binary/BoxTextured.glb", "binary glTF 1.0, which no reader takes"},
    {"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "infinite coordinates"},
    {"glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf", "broken: every index out of range"},
    {"glTF2/MissingBin/BoxTextured.gltf", "broken: its buffer file is missing"},
    {"glTF2/RecursiveNodes/RecursiveNodes.gltf", "broken: a node is its own child"},
    {"glTF2/SchemaFailures/sceneWrongType.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/TestNoRootNode/NoScene.gltf", "no scene"},
    {"glTF2/TestNoRootNode/SceneWithoutNodes.gltf", "a scene without nodes"},
    {"glTF2/issue_3269/texcoord_crash.gltf", "broken: a texture coordinate index out of range"},
    {"glTF2/wrongTypes/badArray.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/wrongTypes/badExtension.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/wrongTypes/badNumber.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/wrongTypes/badObject.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/wrongTypes/badString.gltf", "broken: a member of the wrong JSON type"},
    {"glTF2/wrongTypes/badUint.gltf", "broken: a member of the wrong JSON type"},
    {"invalid/empty.3ds", "broken: empty file"},
    {"invalid/empty.obj", "broken: empty file"},
    {"invalid/empty.ply", "broken: empty file"},
    {"invalid/malformed.obj", "broken: a face index out of range"},
};

// Files that import but show nothing, with why.
const std::map<std::string, std::string> kDrawsNothing = {
    {"OBJ/number_formats.obj", "its one triangle has its corners on one line"},
};

// Primitive modes 0-3: points, lines, line loop, line strip; 7-10 the same indexed.
bool LinesOrPoints(const std::string& name) {
  const std::string mode = "Mesh_PrimitiveMode_";
  size_t at = name.find(mode);
  if (at == std::string::npos) return false;
  int n = std::stoi(name.substr(at + mode.size(), 2));
  return n <= 3 || (n >= 7 && n <= 10);
}

// Under the sanitizers an import takes several times as long: there every broken file runs, and
// every fourth of the others.
bool InRun(const std::string& name, size_t index) {
  if (!kSanitized || index % 4 == 0) return true;
  auto known = kExpectedFailures.find(name);
  return known != kExpectedFailures.end() && known->second.rfind("broken", 0) == 0;
}

bool ImportedFormat(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
  for (const char* e : {".obj", ".gltf", ".glb", ".3ds", ".ply", ".md2"}) {
    if (ext == e) return true;
  }
  return false;
}

struct Outcome {
  int status = -1;  // from waitpid
  std::string said;  // standard error
};

// qmo import in a child with a CPU-time cap, a wall-clock alarm and (unsanitized) an
// address-space cap; the sanitizer's own resident-memory cap stands in for the last.
Outcome Import(const std::string& in, const std::string& out, const std::string& errors) {
  pid_t child = fork();
  if (child == 0) {
    int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int null = open("/dev/null", O_WRONLY);
    if (fd < 0 || null < 0 || dup2(fd, 2) < 0 || dup2(null, 1) < 0) _exit(120);
    struct rlimit cpu = {30, 30};
    setrlimit(RLIMIT_CPU, &cpu);
    if (!kSanitized) {
      struct rlimit memory = {1u << 30, 1u << 30};
      setrlimit(RLIMIT_AS, &memory);
    } else {
      const char* old = getenv("ASAN_OPTIONS");
      std::string options = std::string(old ? old : "") + ":hard_rss_limit_mb=1024";
      setenv("ASAN_OPTIONS", options.c_str(), 1);
    }
    alarm(120);  // kept across exec
    execl(QUILLON_QMO_PATH, "qmo", "import", in.c_str(), out.c_str(), nullptr);
    _exit(121);
  }
  Outcome o;
  waitpid(child, &o.status, 0);
  std::vector<uint8_t> said = testing::ReadBytes(errors);
  o.said.assign(said.begin(), said.end());
  return o;
}

// Pixels that differ from the clear colour after drawing the slot from a camera placed by its
// first frame's bounds.
int DrawnPixels(double slot) {
  const MeshFrame& frame = Renderer3D()->slots[static_cast<int>(slot)].parts[0].frames[0];
  const float* c = frame.centre;
  double r = std::max<double>(frame.radius, 1e-6);
  Enter3D(r * 0.05, r * 20, 60);
  SetCamera(c[0] + 0.6 * r, c[1] + 0.8 * r, c[2] + 2.4 * r, c[0], c[1], c[2]);
  glClearColor(10 / 255.0f, 200 / 255.0f, 30 / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawObject(slot, 0);
  std::vector<uint8_t> pixels(640 * 480 * 4);
  glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  int drawn = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    drawn += pixels[i] != 10 || pixels[i + 1] != 200 || pixels[i + 2] != 30 ? 1 : 0;
  }
  return drawn;
}

class RealModelTest : public testing::MeshTest {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    MeshTest::SetUp();
    SetViewport(0, 0, 0, 0);
    BindSlotTexture(-1, -1, false, nullptr);
  }
};

TEST_F(RealModelTest, EveryModelImportsOrFailsInOneLineAndImportedOnesDraw) {
  if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " is not installed";
  std::vector<std::string> models;
  for (const auto& entry : fs::recursive_directory_iterator(kModels)) {
    if (entry.is_regular_file() && ImportedFormat(entry.path())) {
      models.push_back(fs::relative(entry.path(), kModels).string());
    }
  }
  std::sort(models.begin(), models.end());
  ASSERT_GT(models.size(), 90u);
  int imported = 0, refused = 0, skipped = 0;
  for (size_t index = 0; index < models.size(); ++index) {
    const std::string& name = models[index];
    if (!InRun(name, index)) {
      ++skipped;
      continue;
    }
    std::string out = Path("model.qmo");
    fs::remove(out);
    Outcome o = Import(std::string(kModels) + "/" + name, out, Path("errors.txt"));
    bool expectFailure = kExpectedFailures.count(name) > 0 || LinesOrPoints(name);
    ASSERT_TRUE(WIFEXITED(o.status)) << name << ": ended by signal " << WTERMSIG(o.status);
    if (WEXITSTATUS(o.status) != 0) {
      ++refused;
      EXPECT_TRUE(expectFailure) << name << ": a new failure: " << o.said;
      EXPECT_EQ(WEXITSTATUS(o.status), 1) << name << ": " << o.said;
      EXPECT_EQ(o.said.rfind("qmo: ", 0), 0u) << name << ": " << o.said;
      EXPECT_EQ(std::count(o.said.begin(), o.said.end(), '\n'), 1) << name << ": " << o.said;
      continue;
    }
    ++imported;
    EXPECT_FALSE(expectFailure) << name << " imports now: take it off the list";
    EXPECT_EQ(o.said, "") << name;
    ASSERT_EQ(LoadObject(out.c_str(), 100), 1) << name;
    if (kDrawsNothing.count(name) > 0) {
      EXPECT_LT(DrawnPixels(100), 50) << name << " draws now: take it off the list";
    } else {
      EXPECT_GT(DrawnPixels(100), 50) << name;
    }
  }
  EXPECT_EQ(imported + refused + skipped, static_cast<int>(models.size()));
  std::printf("%d models imported and drawn, %d refused, %d left to the plain build\n", imported,
              refused, skipped);
}

}  // namespace
}  // namespace quillon
