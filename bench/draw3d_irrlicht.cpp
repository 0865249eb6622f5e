// The Irrlicht side of the 3D drawing measurement, in its own file: Irrlicht's headers predate
// C++20 and compile here as C++17.
#include <irrlicht/irrlicht.h>

#include <cstdlib>

#include "bench/draw3d_scene.h"

namespace draw3d {

[[noreturn]] void RunIrrlichtSide(int frames, bool shared) {
  using namespace irr;
  SIrrlichtCreationParameters parameters;
  parameters.DriverType = video::EDT_OPENGL;
  parameters.WindowSize = core::dimension2d<u32>(kWidth, kHeight);
  parameters.Bits = 24;
  parameters.Vsync = false;
  parameters.LoggingLevel = ELL_ERROR;
  IrrlichtDevice* device = createDeviceEx(parameters);
  if (device == nullptr) {
    std::fprintf(stderr, "draw3d_measure: Irrlicht made no device\n");
    std::exit(1);
  }
  video::IVideoDriver* driver = device->getVideoDriver();
  scene::ISceneManager* scene = device->getSceneManager();

  std::vector<uint8_t> rgba = CheckerPixels();
  video::IImage* image =
      driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(kTextureSide, kTextureSide));
  for (int y = 0; y < kTextureSide; ++y) {
    for (int x = 0; x < kTextureSide; ++x) {
      const uint8_t* p = &rgba[(y * kTextureSide + x) * 4];
      image->setPixel(x, y, video::SColor(255, p[0], p[1], p[2]));
    }
  }
  video::ITexture* texture = driver->addTexture("checker", image);
  image->drop();

  scene::SMeshBuffer* buffer = new scene::SMeshBuffer();
  std::vector<Vertex> torus = TorusTriangles();
  auto add = [&](const Vertex& v) {
    // Irrlicht is left-handed: z flips so the picture matches the right-handed GL ones.
    buffer->Vertices.push_back(video::S3DVertex(v.position[0], v.position[1], -v.position[2],
                                                v.normal[0], v.normal[1], -v.normal[2],
                                                video::SColor(255, 255, 255, 255), v.u, v.v));
  };
  if (shared) {
    auto index = [](int ring, int side) { return (ring % kRings) * kSides + side % kSides; };
    for (int r = 0; r < kRings; ++r) {
      for (int s = 0; s < kSides; ++s) add(torus[6 * (r * kSides + s)]);  // vertex a of (r, s)
    }
    for (int r = 0; r < kRings; ++r) {
      for (int s = 0; s < kSides; ++s) {
        int a = index(r, s), b = index(r + 1, s), c = index(r + 1, s + 1), d = index(r, s + 1);
        for (int i : {a, c, d, a, b, c}) buffer->Indices.push_back(static_cast<u16>(i));
      }
    }
  } else {
    for (size_t i = 0; i < torus.size(); i += 3) {
      add(torus[i]);
      add(torus[i + 2]);  // winding flips with z
      add(torus[i + 1]);
    }
    for (u32 i = 0; i < buffer->Vertices.size(); ++i)
      buffer->Indices.push_back(static_cast<u16>(i));
  }
  buffer->recalculateBoundingBox();
  buffer->setHardwareMappingHint(scene::EHM_STATIC);
  buffer->Material.setTexture(0, texture);
  buffer->Material.Lighting = true;
  buffer->Material.BackfaceCulling = false;  // the runtime draws with culling off by default
  buffer->Material.TextureLayer[0].TrilinearFilter = true;
  buffer->Material.ColorMaterial = video::ECM_DIFFUSE;
  scene::SMesh* mesh = new scene::SMesh();
  mesh->addMeshBuffer(buffer);
  mesh->recalculateBoundingBox();
  mesh->setHardwareMappingHint(scene::EHM_STATIC);
  buffer->drop();
  for (int k = 0; k < kGrid * kGrid; ++k) {
    double x = 0, z = 0;
    ObjectPosition(k, x, z);
    scene->addMeshSceneNode(mesh, nullptr, -1,
                            core::vector3df(static_cast<f32>(x), 0, static_cast<f32>(-z)));
  }
  mesh->drop();

  scene::ILightSceneNode* light = scene->addLightSceneNode();
  video::SLight data;
  data.Type = video::ELT_DIRECTIONAL;
  data.DiffuseColor = video::SColorf(1, 1, 1, 1);
  data.SpecularColor = video::SColorf(0, 0, 0, 1);
  data.AmbientColor = video::SColorf(0, 0, 0, 1);
  light->setLightData(data);
  core::vector3df direction(static_cast<f32>(kLightDirection[0]),
                            static_cast<f32>(kLightDirection[1]),
                            static_cast<f32>(-kLightDirection[2]));
  light->setRotation(direction.getHorizontalAngle());
  scene->setAmbientLight(video::SColorf(0, 0, 0, 1));

  scene::ICameraSceneNode* camera = scene->addCameraSceneNode(
      nullptr,
      core::vector3df(static_cast<f32>(kEye[0]), static_cast<f32>(kEye[1]),
                      static_cast<f32>(-kEye[2])),
      core::vector3df(0, 0, 0));
  camera->setFOV(static_cast<f32>(kFov * Pi() / 180));
  camera->setAspectRatio(static_cast<f32>(kWidth) / kHeight);
  camera->setNearValue(static_cast<f32>(kNear));
  camera->setFarValue(static_cast<f32>(kFar));

  driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
  auto draw = [&] { scene->drawAll(); };
  auto present = [&] {
    driver->endScene();
    device->run();
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
  };
  Timings t = RunFrames(frames, draw, present);
  // The last frame, read back as the other sides do (Irrlicht's own screenshot reads black here).
  std::vector<uint8_t> pixels(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  video::IImage* shot =
      driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(kWidth, kHeight));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &pixels[((kHeight - 1 - y) * kWidth + x) * 4];
      shot->setPixel(x, y, video::SColor(255, p[0], p[1], p[2]));
    }
  }
  driver->writeImageToFile(shot, PicturePath(shared ? "irrlicht" : "irrlicht-unshared").c_str());
  shot->drop();
  driver->endScene();
  Report(t);
  device->drop();
  std::exit(0);
}

}  // namespace draw3d
