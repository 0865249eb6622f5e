#include "runtime/gfx3d/mesh_file.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "runtime/core/bytes.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

float LoadLeFloat(const uint8_t* p) {
  uint32_t bits = ReadLe32(p);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

double LoadLeDouble(const uint8_t* p) {
  uint64_t bits = ReadLe32(p) | static_cast<uint64_t>(ReadLe32(p + 4)) << 32;
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

void StoreLe32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  PutLe32(out.data() + out.size() - 4, v);
}

void StoreLeFloat(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  StoreLe32(out, bits);
}

void StoreLeDouble(std::vector<uint8_t>& out, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  StoreLe32(out, static_cast<uint32_t>(bits));
  StoreLe32(out, static_cast<uint32_t>(bits >> 32));
}

struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;

  size_t Remaining() const { return size - pos; }
  // The next n bytes, or null (and nothing consumed) when fewer are left.
  const uint8_t* Take(size_t n) {
    if (Remaining() < n) return nullptr;
    const uint8_t* p = data + pos;
    pos += n;
    return p;
  }
  // A count field; a short read leaves it 0, as the format allows.
  int32_t Count() {
    const uint8_t* p = Take(4);
    return p ? static_cast<int32_t>(ReadLe32(p)) : 0;
  }
};

// Whether count entries of entrySize bytes fit into what is left of the file.
bool Fits(int64_t count, int64_t entrySize, size_t remaining) {
  return count >= 0 && count <= static_cast<int64_t>(remaining) / entrySize;
}

// Whether every byte 0..255 unpacks to a finite coordinate: the extremes are at 0 and 255.
bool UnpacksFinite(float offset, float scale) {
  return std::isfinite((0.0f - offset) * scale) && std::isfinite((255.0f - offset) * scale);
}

void FailRead(MeshObject& mesh, const char* path) {
  ClearMesh(mesh, true);
  ErrorLog("# read error");
  ErrorLog(path);
}

// `expected` below 0: the first frame of a file without texture coordinates sets the count that
// the others must have.
bool ReadBinaryFrame(MeshObject& mesh, ByteReader& in, int32_t& expected, bool unpackFrames) {
  int32_t n = in.Count();
  const uint8_t* head = in.Take(24);
  if (head == nullptr || !Fits(n, 5, in.Remaining())) return false;
  // Every frame has one vertex per texture coordinate, or the file has none at all (unpacking
  // then gives 0, 0) and every frame as many as the first.
  if (expected < 0) expected = n;
  if (n != expected) return false;
  mesh.frames.Append(MeshFrame());
  MeshFrame& frame = mesh.frames[mesh.frames.Count() - 1];
  for (int i = 0; i < 3; ++i) {
    frame.offset[i] = LoadLeFloat(head + 4 * i);
    frame.scale[i] = LoadLeFloat(head + 12 + 4 * i);
    if (!UnpacksFinite(frame.offset[i], frame.scale[i])) return false;
  }
  frame.packed.Reserve(n);
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t* b = in.Take(5);
    if (b[4] >= mesh.colours.Count()) return false;
    frame.packed.Append(PackedVertex{{b[0], b[1], b[2]}, b[3], 0, 0, b[4]});
  }
  if (unpackFrames) {
    frame.unpacked.Reserve(n);
    for (int32_t k = 0; k < n; ++k) frame.unpacked.Append(UnpackVertex(mesh, frame, k));
  }
  return true;
}

// False on any damage; the caller logs the read error.
bool ReadBinary(MeshObject& mesh, ByteReader& in, bool unpackFrames) {
  in.Take(4);
  const uint8_t* v = in.Take(8);
  if (v == nullptr || LoadLeDouble(v) != kMeshVersion) {
    ErrorLog("Wrong .qmo version.");
    return false;
  }
  int32_t frameCount = in.Count();
  int32_t colourCount = in.Count();
  int32_t texCount = in.Count();
  if (!Fits(colourCount, 4, in.Remaining())) return false;
  mesh.colours.Reserve(colourCount);
  for (int32_t i = 0; i < colourCount; ++i) mesh.colours.Append(ReadLe32(in.Take(4)));
  if (!Fits(texCount, 8, in.Remaining())) return false;
  mesh.texU.Reserve(texCount);
  mesh.texV.Reserve(texCount);
  for (int32_t i = 0; i < texCount; ++i) {
    const uint8_t* pair = in.Take(8);
    mesh.texU.Append(LoadLeFloat(pair));
    mesh.texV.Append(LoadLeFloat(pair + 4));
  }
  // Each frame needs at least its 28-byte head.
  if (!Fits(frameCount, 28, in.Remaining())) return false;
  mesh.frames.Reserve(frameCount);
  int32_t vertices = texCount > 0 ? texCount : -1;
  for (int32_t f = 0; f < frameCount; ++f) {
    if (!ReadBinaryFrame(mesh, in, vertices, unpackFrames)) return false;
  }
  mesh.binaryLoaded = 1;
  return true;
}

// --- the text variant ---

struct TokenReader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  char token[kMaxMeshToken + 1] = {};

  static bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  size_t Remaining() const { return size - pos; }
  // The next token, cut to kMaxMeshToken bytes; false at the end of the file.
  bool Next() {
    while (pos < size) {
      if (IsSpace(data[pos])) {
        ++pos;
      } else if (data[pos] == '#') {
        while (pos < size && data[pos] != '\n') ++pos;
      } else {
        break;
      }
    }
    if (pos >= size) return false;
    size_t length = 0;
    while (pos < size && !IsSpace(data[pos]) && data[pos] != '#') {
      if (length < kMaxMeshToken) token[length++] = static_cast<char>(data[pos]);
      ++pos;
    }
    token[length] = '\0';
    return true;
  }
  float Number() { return Next() ? static_cast<float>(std::atof(token)) : 0.0f; }
  int32_t Integer() { return TruncateToInt32(Number()); }
  // A count: negative means no entries; false when the rest of the file cannot hold it.
  bool Count(int32_t& n) {
    n = Integer();
    if (n < 0) n = 0;
    return static_cast<size_t>(n) <= Remaining();
  }
};

struct TextCorner {
  int32_t vertex;
  int32_t uv;
};

struct TextPolygon {
  uint32_t colour;
  std::vector<TextCorner> corners;
};

struct TextVertex {
  float position[3];
  float normal[3];
};

struct TextMesh {
  std::vector<float> uvs;  // u, v pairs
  std::vector<TextPolygon> polygons;
  std::vector<std::vector<TextVertex>> frames;
};

bool ParseText(TokenReader& in, TextMesh& text) {
  if (!in.Next() || std::strcmp(in.token, "QMOA") != 0) return false;
  float version = in.Number();
  if (version > 1.1f) return false;
  int32_t n;
  if (!in.Count(n)) return false;
  text.uvs.resize(static_cast<size_t>(n) * 2);
  for (float& x : text.uvs) x = in.Number();
  if (!in.Count(n)) return false;
  text.polygons.resize(n);
  for (TextPolygon& polygon : text.polygons) {
    uint32_t rgb[3];
    for (uint32_t& c : rgb) c = static_cast<uint32_t>(in.Integer()) & 0xFF;
    polygon.colour = rgb[0] | rgb[1] << 8 | rgb[2] << 16;
    int32_t corners;
    if (!in.Count(corners)) return false;
    polygon.corners.resize(corners);
    for (TextCorner& c : polygon.corners) {
      c.vertex = in.Integer();
      c.uv = in.Integer();
    }
  }
  if (!in.Count(n)) return false;
  text.frames.resize(n);
  for (std::vector<TextVertex>& frame : text.frames) {
    int32_t m;
    if (!in.Count(m)) return false;
    frame.resize(m);
    for (TextVertex& v : frame) {
      for (float& x : v.position) {
        x = in.Number();
        if (!std::isfinite(x)) return false;  // one such point would spoil the whole frame
      }
      for (float& x : v.normal) x = version >= 1.1f ? in.Number() : 0.0f;
    }
  }
  return true;
}

// Corners must name existing vertices and UV pairs; the expanded frames must stay within a
// small multiple of the file, or a few bytes of polygons times many frames would be unbounded.
bool CheckText(const TextMesh& text, size_t fileSize) {
  size_t pairs = text.uvs.size() / 2;
  size_t perFrame = 0;
  for (const TextPolygon& polygon : text.polygons) perFrame += 1 + polygon.corners.size();
  if (perFrame * text.frames.size() > 4 * fileSize + 4096) return false;
  size_t fewestVertices = SIZE_MAX;
  for (const std::vector<TextVertex>& frame : text.frames) {
    fewestVertices = std::min(fewestVertices, frame.size());
  }
  for (const TextPolygon& polygon : text.polygons) {
    for (const TextCorner& c : polygon.corners) {
      if (c.vertex < 0 || static_cast<size_t>(c.vertex) >= fewestVertices) return false;
      if (pairs > 0 && (c.uv < 0 || static_cast<size_t>(c.uv) >= pairs)) return false;
    }
  }
  return true;
}

void ExpandText(const TextMesh& text, MeshObject& mesh) {
  bool hasUvs = !text.uvs.empty();
  size_t perFrame = 0;
  for (const TextPolygon& polygon : text.polygons) perFrame += 1 + polygon.corners.size();
  mesh.frames.Reserve(text.frames.size());
  for (const std::vector<TextVertex>& vertices : text.frames) {
    mesh.frames.Append(MeshFrame());
    GrowList<MeshVertex>& out = mesh.frames[mesh.frames.Count() - 1].unpacked;
    out.Reserve(perFrame);
    for (const TextPolygon& polygon : text.polygons) {
      MeshVertex marker{};
      marker.colour = MarkerFan;
      out.Append(marker);
      for (const TextCorner& c : polygon.corners) {
        MeshVertex v{};
        const TextVertex& source = vertices[c.vertex];
        std::memcpy(v.position, source.position, sizeof v.position);
        std::memcpy(v.normal, source.normal, sizeof v.normal);
        if (hasUvs) {
          v.u = text.uvs[2 * static_cast<size_t>(c.uv)];
          v.v = text.uvs[2 * static_cast<size_t>(c.uv) + 1];
        }
        v.colour = polygon.colour;
        out.Append(v);
      }
    }
  }
  PackFrames(mesh);
}

bool ReadText(MeshObject& mesh, const uint8_t* data, size_t size) {
  TokenReader in{data, size};
  TextMesh text;
  if (!ParseText(in, text) || !CheckText(text, size)) return false;
  ExpandText(text, mesh);
  return true;
}

}  // namespace

bool LoadMeshData(MeshObject& mesh, const uint8_t* data, size_t size, bool unpackFrames,
                  const char* path) {
  ClearMesh(mesh, true);
  try {
    bool binary = size >= 4 && ReadLe32(data) == static_cast<uint32_t>(kMeshMagic);
    if (binary) {
      ByteReader in{data, size};
      if (ReadBinary(mesh, in, unpackFrames)) return true;
      FailRead(mesh, path);
      return false;
    }
    if (ReadText(mesh, data, size)) return true;
    FailRead(mesh, path);
    return false;
  } catch (const std::bad_alloc&) {
    ClearMesh(mesh, true);
    ErrorLog("# malloc error");
    ErrorLog(path);
    return false;
  }
}

bool LoadMeshFile(MeshObject& mesh, const char* path, bool unpackFrames) {
  ClearMesh(mesh, true);
  // Regular files only: a device such as /dev/zero would never end, a FIFO never open.
  FILE* f = OpenForReading(path);
  if (f == nullptr) {
    // Missing: nothing to say. There but not a file (a folder, a device): unreadable.
    std::error_code missing;
    if (std::filesystem::exists(path, missing)) {
      ErrorLog("# read error");
      ErrorLog(path);
    }
    return false;
  }
  // Read in pieces: a size from ftell is not to be trusted.
  std::vector<uint8_t> bytes;
  try {
    uint8_t piece[65536];
    size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, f)) > 0) {
      bytes.insert(bytes.end(), piece, piece + got);
    }
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    ErrorLog("# malloc error");
    ErrorLog(path);
    return false;
  }
  std::fclose(f);
  return LoadMeshData(mesh, bytes.data(), bytes.size(), unpackFrames, path);
}

std::vector<uint8_t> EncodeMeshFile(const MeshObject& mesh) {
  std::vector<uint8_t> out;
  StoreLe32(out, static_cast<uint32_t>(kMeshMagic));
  StoreLeDouble(out, kMeshVersion);
  StoreLe32(out, static_cast<uint32_t>(mesh.frames.Count()));
  StoreLe32(out, static_cast<uint32_t>(mesh.colours.Count()));
  StoreLe32(out, static_cast<uint32_t>(mesh.texU.Count()));
  for (uint32_t c : mesh.colours.items) StoreLe32(out, c);
  for (int32_t i = 0; i < mesh.texU.Count(); ++i) {
    StoreLeFloat(out, mesh.texU[i]);
    StoreLeFloat(out, i < mesh.texV.Count() ? mesh.texV[i] : 0.0f);
  }
  for (const MeshFrame& frame : mesh.frames.items) {
    StoreLe32(out, static_cast<uint32_t>(frame.packed.Count()));
    for (float x : frame.offset) StoreLeFloat(out, x);
    for (float x : frame.scale) StoreLeFloat(out, x);
    for (const PackedVertex& p : frame.packed.items) {
      out.insert(out.end(), {p.q[0], p.q[1], p.q[2], p.normalIndex, p.colourIndex});
    }
  }
  return out;
}

namespace {

// Only a regular file (or none yet) is replaced: renaming over a device or a folder's entry for
// one, such as /dev/stdout, would swap the entry itself.
int SaveContents(const char* path, const std::string& contents) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return 0;
  return ReplaceFileContents(path, contents) ? 1 : 0;
}

}  // namespace

int SaveMeshFile(const MeshObject& mesh, const char* path) {
  std::vector<uint8_t> bytes = EncodeMeshFile(mesh);
  return SaveContents(path, std::string(bytes.begin(), bytes.end()));
}

namespace {

// Index triples of the frame's runs, in the order BuildTriangles makes them.
std::vector<int32_t> TriangleCorners(const MeshObject& mesh, const MeshFrame& frame) {
  std::vector<int32_t> corners;
  ForEachRunTriangle(mesh, frame, [&](int32_t a, int32_t b, int32_t c) {
    corners.insert(corners.end(), {a, b, c});
  });
  return corners;
}

}  // namespace

namespace {

void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data() + at, static_cast<size_t>(n) + 1, format, again);
    out.resize(at + static_cast<size_t>(n));
  }
  va_end(again);
}

}  // namespace

std::string EncodeMeshText(const MeshObject& mesh) {
  std::string out;
  AppendFormat(out, "QMOA 1.1\n# texture coordinates\n%d\n", mesh.texU.Count());
  for (int32_t i = 0; i < mesh.texU.Count(); ++i) {
    AppendFormat(out, "%.9g %.9g\n", mesh.texU[i], i < mesh.texV.Count() ? mesh.texV[i] : 0.0f);
  }
  std::vector<int32_t> corners;
  if (mesh.frames.Count() > 0) corners = TriangleCorners(mesh, mesh.frames[0]);
  AppendFormat(out, "# polygons: red green blue, corners, vertex and uv per corner\n%zu\n",
               corners.size() / 3);
  for (size_t t = 0; t < corners.size(); t += 3) {
    MeshVertex first = UnpackVertex(mesh, mesh.frames[0], corners[t]);
    uint32_t c = first.colour >= kFirstNonColour ? kPlainWhite : first.colour;
    AppendFormat(out, "%u %u %u 3", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    for (size_t i = t; i < t + 3; ++i) AppendFormat(out, " %d %d", corners[i], corners[i]);
    out += '\n';
  }
  AppendFormat(out, "# frames: vertices as x y z nx ny nz\n%d\n", mesh.frames.Count());
  for (const MeshFrame& frame : mesh.frames.items) {
    AppendFormat(out, "%d\n", frame.packed.Count());
    for (int32_t k = 0; k < frame.packed.Count(); ++k) {
      MeshVertex v = UnpackVertex(mesh, frame, k);
      AppendFormat(out, "%.9g %.9g %.9g %.6g %.6g %.6g\n", v.position[0], v.position[1],
                   v.position[2], v.normal[0], v.normal[1], v.normal[2]);
    }
  }
  return out;
}

int SaveMeshText(const MeshObject& mesh, const char* path) {
  return SaveContents(path, EncodeMeshText(mesh));
}

}  // namespace quillon
