#include "runtime/gfx3d/object_slot.h"

#include <GL/gl.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/files/ini_file.h"
#include "runtime/files/ini_file_internal.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gfx3d/mesh_file.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/values/truncate.h"

namespace quillon {

void ReleaseObjectSlot(ObjectSlot& slot) {
  for (MeshObjectX& part : slot.parts.items) ClearMesh(part, true);
  slot.parts.Clear(true);
  for (uint32_t& name : slot.textures.items) {
    if (name == 0) continue;
    Flush2DBatch();
    glDeleteTextures(1, &name);
    name = 0;
  }
  slot.textures.Clear(true);
  slot.loaded = false;
  slot.isCompound = false;
}

int LoadObjectSlot(ObjectSlot& slot, const char* path) {
  ReleaseObjectSlot(slot);
  char head[4] = {0, 0, 0, 0};
  if (FILE* f = OpenForReading(path)) {
    size_t got = std::fread(head, 1, 4, f);
    std::fclose(f);
    if (got == 4 && std::memcmp(head, ";QMW", 4) == 0) {
      return LoadCompoundObject(path, slot) ? 1 : 0;
    }
  }
  slot.parts.Append(MeshObjectX());
  MeshObjectX& mesh = slot.parts[0];
  LoadMeshFile(mesh, path, false);
  if (mesh.frames.Count() < 1 || mesh.frames[0].packed.Count() < 1) return 0;
  slot.loaded = true;
  mesh.BuildTriangles();
  ComputeFrameBounds(mesh);
  return 1;
}

namespace {

const IniSection* FindSection(const IniDocument& document, const char* name) {
  for (const IniSection& section : document.sections) {
    if (strcasecmp(section.name.CStr(), name) == 0) return &section;
  }
  return nullptr;
}

// The key's value, "NO_DATA" when absent.
std::string IniValue(const IniSection* section, const std::string& key) {
  if (section != nullptr) {
    for (const IniEntry& entry : section->entries) {
      if (strcasecmp(entry.key.CStr(), key.c_str()) == 0) return entry.value.CStr();
    }
  }
  return "NO_DATA";
}

int32_t IniNumber(const IniSection* section, const std::string& key) {
  return TruncateToInt32(StringValue(IniValue(section, key).c_str()).ToNumber());
}

// The section's count, cut to the number of entries it has: keys past them could only name
// "NO_DATA" files, and a huge count would allocate for nothing.
int32_t SectionCount(const IniSection* section) {
  int32_t count = IniNumber(section, "count");
  int32_t entries = section ? static_cast<int32_t>(section->entries.size()) : 0;
  if (count < 0) return 0;
  return count < entries ? count : entries;
}

// A 1-based texture number from the file as a 0-based index; past the textures: -1.
int32_t TextureIndex(const IniSection* section, const std::string& key, int32_t textureCount) {
  int32_t n = IniNumber(section, key);
  if (n > 0) --n;
  return n < textureCount ? n : -1;
}

void LoadSlotTexture(const std::string& name, uint32_t& texture) {
  StringValue resolved;
  if (!ResolveAssetFile(kLoaderResolver, name.c_str(), resolved)) return;
  RgbaImage image;
  if (DecodeImageFile(resolved.CStr(), SpriteColourKey, image)) {
    UploadTexture(image, 0, 0, 0, 0, texture, false, false);
  }
}

}  // namespace

bool LoadCompoundObject(const char* path, ObjectSlot& slot) {
  // Resizing the lists below would drop old parts and textures without deleting their GL names.
  ReleaseObjectSlot(slot);
  slot.loaded = true;
  slot.isCompound = true;
  IniDocument document;
  if (FILE* f = OpenForReading(path)) {
    ParseIniFile(f, document);
    std::fclose(f);
  }
  std::string pathText = path;
  size_t cut = pathText.find_last_of("\\/");
  std::string base = cut == std::string::npos ? "" : pathText.substr(0, cut + 1);

  const IniSection* textures = FindSection(document, "textures");
  int32_t textureCount = SectionCount(textures);
  slot.textures.items.resize(textureCount, 0);
  for (int32_t k = 1; k <= textureCount; ++k) {
    LoadSlotTexture(base + IniValue(textures, std::to_string(k)), slot.textures[k - 1]);
  }

  const IniSection* objects = FindSection(document, "objects");
  int32_t partCount = SectionCount(objects);
  slot.parts.items.resize(partCount);
  for (int32_t k = 1; k <= partCount; ++k) {
    MeshObjectX& part = slot.parts[k - 1];
    std::string key = std::to_string(k);
    StringValue resolved;
    if (ResolveAssetFile(kLoaderResolver, (base + IniValue(objects, key)).c_str(), resolved)) {
      LoadMeshFile(part, resolved.CStr(), false);
    } else {
      ClearMesh(part, true);
    }
    part.textureA = TextureIndex(objects, key + "ta", textureCount);
    part.textureB = TextureIndex(objects, key + "tb", textureCount);
    part.BuildTriangles();
    ComputeFrameBounds(part);
  }
  return true;
}

}  // namespace quillon
