// 3D scene: a ship, a terrain tile, a torus and crystals built vertex by vertex with StartObject
// and AddVertex, textured with pictures painted at start, under a warm sun, a blue lamp and fog.
// Space (or 1 to 4) cycles plain, bump mapping, cel shading with outlines and stencil shadows; G
// toggles a GLSL shader (glow.vert and glow.frag); a click picks an object with
// ObjectRayDistance along the ray UnprojectPoint gives, and a ring marks it. Each mode saves one
// picture (scene3d-plain.png, -bump, -cel, -shader, -shadows).
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

// Object slots: each plain object, and at +10 its bump-mapped twin (a second texture, the normal
// map). The crystal is drawn five times.
const double kShip = 1, kTerrain = 2, kTorus = 3, kCrystal = 4, kBump = 10;
const double kScratch = 1;  // the sprite slot pictures are grabbed into before they are saved
const double kGlowShader = 1;

// Scan codes: space, G, keys 1 to 4.
const double kSpaceKey = 57, kGKey = 34, kOneKey = 2;

const char* kModeNames[4] = {"plain", "bump mapping", "cel shading", "stencil shadows"};
const char* kModeFiles[4] = {"plain", "bump", "cel", "shadows"};

const double kSunColour = 0x70C8FF;   // warm orange-white (0x00BBGGRR)
const double kBlueColour = 0xFF9050;  // cold blue
const double kFogColour = 0xA08870;   // the haze at the horizon, also the sky's lowest band
const double kEffectLight[3] = {40, 60, 30};

// ---------------------------------------------------------------------------------------------
// Pictures, painted on the screen, grabbed and saved as BMP files that the objects' files name.

// A value from 0 to 1 that looks random but is the same in every run.
double Hash(double x, double y) {
  double h = std::sin(x * 12.9898 + y * 78.233) * 43758.5453;
  return h - std::floor(h);
}

double Rgb(double r, double g, double b) {
  auto clamp = [](double c) { return std::fmin(255, std::fmax(0, std::floor(c))); };
  return clamp(r) + 256 * clamp(g) + 65536 * clamp(b);
}

// A normal-map texel: the surface tilted by (dx, dy) (right and up on the picture).
double NormalTexel(double dx, double dy) {
  double length = std::sqrt(dx * dx + dy * dy + 1);
  return Rgb(128 + 127 * dx / length, 128 + 127 * dy / length, 128 + 127 / length);
}

void SavePicture(const char* file) {
  GrabSprite(kScratch, 0, 0, 128, 128);
  SaveSprite(kScratch, file);
  FillRect(0, 0, 127, 127, 0);
}

// A flat normal map on every 32-pixel grid line: a band of width pixels leaning one way at the
// line and one leaning back from offset on, both by strength (seams and tile edges).
void GridBumps(int width, int offset, double strength) {
  FillRect(0, 0, 127, 127, NormalTexel(0, 0));
  for (int i = 0; i < 128; i += 32) {
    FillRect(i, 0, i + width - 1, 127, NormalTexel(-strength, 0));
    FillRect(i + offset, 0, i + offset + width - 1, 127, NormalTexel(strength, 0));
    FillRect(0, i, 127, i + width - 1, NormalTexel(0, strength));
    FillRect(0, i + offset, 127, i + offset + width - 1, NormalTexel(0, -strength));
  }
}

// Hull plates: grey panels of slightly different shades, dark seams every 32 pixels, an orange
// band. Its normal map bevels the seams.
void PaintHull() {
  for (int py = 0; py < 4; ++py) {
    for (int px = 0; px < 4; ++px) {
      double shade = 150 + 40 * Hash(px, py);
      FillRect(px * 32, py * 32, px * 32 + 31, py * 32 + 31, Rgb(shade, shade, shade + 12));
      FillRect(px * 32 + 4, py * 32 + 4, px * 32 + 5, py * 32 + 5, Rgb(90, 90, 100));  // rivet
    }
  }
  FillRect(0, 56, 127, 71, Rgb(240, 120, 30));
  for (int i = 0; i < 128; i += 32) {
    FillRect(i, 0, i + 1, 127, Rgb(60, 60, 70));
    FillRect(0, i, 127, i + 1, Rgb(60, 60, 70));
  }
  SavePicture("hull.bmp");

  GridBumps(2, 2, 1.2);
  for (int py = 0; py < 4; ++py) {
    for (int px = 0; px < 4; ++px)
      FillRect(px * 32 + 4, py * 32 + 4, px * 32 + 5, py * 32 + 5, NormalTexel(0.8, 0.8));
  }
  SavePicture("hull-bumps.bmp");
}

// Grass in 4 x 4 pixel tufts with bare earth here and there.
void PaintGrass() {
  for (int y = 0; y < 128; y += 4) {
    for (int x = 0; x < 128; x += 4) {
      double n = Hash(x, y), m = Hash(y + 7, x + 3);
      double colour = m > 0.92 ? Rgb(120 + 30 * n, 95 + 20 * n, 60)
                               : Rgb(60 + 50 * n, 130 + 70 * n, 40 + 30 * m);
      FillRect(x, y, x + 3, y + 3, colour);
    }
  }
  SavePicture("grass.bmp");
}

// Glazed tiles, white and blue, in dark grout; the normal map rounds their edges.
void PaintTiles() {
  FillRect(0, 0, 127, 127, Rgb(40, 40, 50));
  for (int ty = 0; ty < 4; ++ty) {
    for (int tx = 0; tx < 4; ++tx) {
      bool blue = (tx + ty) % 2 == 1;
      double shade = 20 * Hash(tx, ty);
      FillRect(tx * 32 + 2, ty * 32 + 2, tx * 32 + 29, ty * 32 + 29,
               blue ? Rgb(40 + shade, 90 + shade, 200) : Rgb(225 + shade, 225 + shade, 215));
      FillRect(tx * 32 + 6, ty * 32 + 6, tx * 32 + 12, ty * 32 + 8, Rgb(255, 255, 255));  // gloss
    }
  }
  SavePicture("tiles.bmp");

  GridBumps(4, 28, 1.5);
  SavePicture("tiles-bumps.bmp");
}

// Crystal: pale streaks on a light cyan gradient.
void PaintCrystal() {
  for (int y = 0; y < 128; y += 4) {
    double t = y / 127.0;
    FillRect(0, y, 127, y + 3, Rgb(150 + 100 * t, 230, 255));
  }
  for (int k = 0; k < 12; ++k) {
    double x = 128 * Hash(k, 1);
    FillRect(x, 0, x + 1, 127, Rgb(255, 255, 255));
  }
  SavePicture("crystal.bmp");
}

// ---------------------------------------------------------------------------------------------
// Meshes, one triangle at a time: each is turned so that it faces away from the inside point
// given, which keeps every front face counter-clockwise (culling and cel outlines rely on it).

struct Corner {
  double x, y, z, u, v;
};

double meshColour = 0xFFFFFF;  // the colour AddVertex gives the next corners; white: no colour
void Emit(const Corner& c) { AddVertex(c.x, c.y, c.z, c.u, c.v, meshColour); }

void Face(const Corner& a, const Corner& b, const Corner& c, double ix, double iy, double iz) {
  double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  if (nx * nx + ny * ny + nz * nz < 1e-12) return;  // degenerate: a lathe's tip
  double ox = (a.x + b.x + c.x) / 3 - ix, oy = (a.y + b.y + c.y) / 3 - iy,
         oz = (a.z + b.z + c.z) / 3 - iz;
  Emit(a);
  if (nx * ox + ny * oy + nz * oz >= 0) {
    Emit(b);
    Emit(c);
  } else {
    Emit(c);
    Emit(b);
  }
}

void StartMesh(double slot) {
  StartObject(slot);
  AddVertex(0, 0, 0, 0, 0, -1);  // a marker: the corners that follow are a list of triangles
  meshColour = 0xFFFFFF;
}

// A body of revolution about the z axis, squashed to height squash; stations are (z, radius),
// the first and last radius 0 so that the body is closed.
void Lathe(const double (*stations)[2], int count, int sides, double squash, double cx, double cy) {
  auto at = [&](int s, int k) {
    double a = 360.0 * k / sides;
    double r = stations[s][1];
    return Corner{cx + r * CosDeg(a), cy + squash * r * SinDeg(a), stations[s][0],
                  double(k) / sides * 2, stations[s][0] / 8};
  };
  for (int s = 0; s + 1 < count; ++s) {
    double mid = (stations[s][0] + stations[s + 1][0]) / 2;
    for (int k = 0; k < sides; ++k) {
      Corner a = at(s, k), b = at(s + 1, k), c = at(s + 1, k + 1), d = at(s, k + 1);
      Face(a, b, c, cx, cy, mid);
      Face(a, c, d, cx, cy, mid);
    }
  }
}

// A closed wedge: the triangle of corners c, made thick by the vector (ox, oy, oz) through it.
void Prism(const double (*c)[3], double ox, double oy, double oz) {
  Corner top[3], bottom[3];
  double ix = 0, iy = 0, iz = 0;
  for (int i = 0; i < 3; ++i) {
    double u = (c[i][0] + c[i][2]) / 6, v = (c[i][1] + c[i][2]) / 6;
    top[i] = {c[i][0] + ox / 2, c[i][1] + oy / 2, c[i][2] + oz / 2, u, v};
    bottom[i] = {c[i][0] - ox / 2, c[i][1] - oy / 2, c[i][2] - oz / 2, u, v};
    ix += c[i][0] / 3;
    iy += c[i][1] / 3;
    iz += c[i][2] / 3;
  }
  Face(top[0], top[1], top[2], ix, iy, iz);
  Face(bottom[0], bottom[1], bottom[2], ix, iy, iz);
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    Face(top[i], bottom[i], bottom[j], ix, iy, iz);
    Face(top[i], bottom[j], top[j], ix, iy, iz);
  }
}

// The ship points along -z: a squashed fuselage, swept wings, a tail fin, a glass canopy and two
// glowing engines.
void BuildShip(double slot) {
  StartMesh(slot);
  const double body[][2] = {{-8, 0},  {-6.5, 0.9}, {-4, 1.6}, {0, 1.9},
                            {4, 1.7}, {6, 1.2},    {6.2, 0}};
  Lathe(body, 7, 16, 0.7, 0, 0);
  const double wingL[3][3] = {{-1.2, -0.3, -2.5}, {-8, -0.6, 4.5}, {-1.2, -0.3, 4.5}};
  const double wingR[3][3] = {{1.2, -0.3, -2.5}, {8, -0.6, 4.5}, {1.2, -0.3, 4.5}};
  Prism(wingL, 0, 0.35, 0);
  Prism(wingR, 0, 0.35, 0);
  meshColour = 0x807060;  // a darker fin
  const double fin[3][3] = {{0, 1, 1.5}, {0, 4.2, 5.8}, {0, 1, 5.6}};
  Prism(fin, 0.3, 0, 0);
  meshColour = 0xFFD090;  // pale blue glass
  const double canopy[][2] = {{-5, 0}, {-4, 0.6}, {-2, 0.9}, {0, 0.7}, {1, 0}};
  Lathe(canopy, 5, 12, 0.8, 0, 1.05);
  meshColour = 0x30A0FF;  // engine glow, orange
  const double engine[][2] = {{4.5, 0}, {5, 0.55}, {7, 0.55}, {7.3, 0}};
  Lathe(engine, 4, 10, 1, -1.3, -0.2);
  Lathe(engine, 4, 10, 1, 1.3, -0.2);
  EndObject();
}

// Rolling hills, 160 units square, tinted by height: green valleys, brown slopes, pale tops.
double TerrainHeight(double x, double z) {
  double h = 5 * std::sin(x * 0.045) * std::cos(z * 0.05) + 2.5 * std::sin(x * 0.11 + z * 0.07);
  double centre = std::fmin(1, (x * x + z * z) / 1600);  // flatter in the middle
  return h * (0.35 + 0.65 * centre);
}

double TerrainColour(double h) {
  double t = std::fmin(1, std::fmax(0, (h + 6) / 12));
  double level = std::floor(t * 8) / 8;  // a few shades keep the colour list short
  if (level < 0.5) return Rgb(200 + 80 * level, 255, 200 + 80 * level);
  if (level < 0.85) return Rgb(255, 235 - 60 * (level - 0.5), 190 - 80 * (level - 0.5));
  return Rgb(255, 250, 245);
}

void BuildTerrain(double slot) {
  StartMesh(slot);
  const int n = 40;
  const double size = 160, step = size / n;
  auto at = [&](int i, int k) {
    double x = -size / 2 + i * step, z = -size / 2 + k * step;
    return Corner{x, TerrainHeight(x, z), z, x / 20, z / 20};
  };
  for (int k = 0; k < n; ++k) {
    for (int i = 0; i < n; ++i) {
      Corner a = at(i, k), b = at(i, k + 1), c = at(i + 1, k + 1), d = at(i + 1, k);
      meshColour = TerrainColour((a.y + c.y) / 2);
      // "Inside" is far below the tile: faces look up.
      Face(a, b, c, a.x, a.y - 100, a.z);
      Face(a, c, d, a.x, a.y - 100, a.z);
    }
  }
  EndObject();
}

// A torus standing in the xy plane: radius 5 around, tube radius 1.8.
void BuildTorus(double slot) {
  StartMesh(slot);
  const int rings = 24, sides = 32;
  const double major = 5, minor = 1.8;
  auto at = [&](int r, int s) {
    double a = 360.0 * r / rings, b = 360.0 * s / sides;
    double ring = major + minor * CosDeg(b);
    return Corner{ring * CosDeg(a), ring * SinDeg(a), minor * SinDeg(b), 4.0 * r / rings,
                  2.0 * s / sides};
  };
  for (int r = 0; r < rings; ++r) {
    double a = 360.0 * (r + 0.5) / rings;
    double ix = major * CosDeg(a), iy = major * SinDeg(a);  // the tube's centre line
    for (int s = 0; s < sides; ++s) {
      Corner p = at(r, s), q = at(r + 1, s), t = at(r + 1, s + 1), u = at(r, s + 1);
      Face(p, q, t, ix, iy, 0);
      Face(p, t, u, ix, iy, 0);
    }
  }
  EndObject();
}

// A long double pyramid.
void BuildCrystal(double slot) {
  StartMesh(slot);
  const int sides = 6;
  Corner top{0, 3.2, 0, 0.5, 0}, bottom{0, -2.2, 0, 0.5, 1};
  for (int k = 0; k < sides; ++k) {
    double a = 360.0 * k / sides, b = 360.0 * (k + 1) / sides;
    Corner p{CosDeg(a), 0, SinDeg(a), double(k) / sides, 0.5};
    Corner q{CosDeg(b), 0, SinDeg(b), double(k + 1) / sides, 0.5};
    Face(top, p, q, 0, 0, 0);
    Face(bottom, p, q, 0, 0, 0);
  }
  EndObject();
}

// Builds a mesh, saves it, and loads it back into the slot as an object file that names its
// texture; with a normal map, also into bumpSlot as an object file that names both.
void MakeTexturedObject(void (*build)(double), double slot, const char* name, const char* texture,
                        const char* bumps, double bumpSlot) {
  build(slot);
  StringValue mesh = StringValue(name) + ".qmo";
  SaveObject(mesh, slot);
  for (int twin = 0; twin < 2; ++twin) {
    if (twin == 1 && bumps == nullptr) break;
    StringValue file = StringValue(name) + (twin == 1 ? "-bump.qmw" : ".qmw");
    OpenFile(0, file, 0);
    WriteLine(0, ";QMW");  // the mark of an object file of several meshes and textures
    WriteLine(0, "[textures]");
    WriteLine(0, twin == 1 ? "count=2" : "count=1");
    WriteLine(0, StringValue("1=") + texture);
    if (twin == 1) WriteLine(0, StringValue("2=") + bumps);
    WriteLine(0, "[objects]");
    WriteLine(0, "count=1");
    WriteLine(0, StringValue("1=") + mesh);
    WriteLine(0, "1ta=1");
    WriteLine(0, twin == 1 ? "1tb=2" : "1tb=-1");  // -1: one texture unit only
    CloseFile(0);
    LoadObject(file, twin == 1 ? bumpSlot : slot);
  }
}

// ---------------------------------------------------------------------------------------------
// The scene. Every object is placed the same way for drawing and for picking.

enum Thing {
  kTerrainThing,
  kTorusThing,
  kShipThing,
  kFirstCrystal,
  kThingCount = kFirstCrystal + 5
};
const char* kThingNames[kThingCount] = {"terrain",   "torus",     "ship",      "crystal 1",
                                        "crystal 2", "crystal 3", "crystal 4", "crystal 5"};

double SlotOf(int thing) {
  return thing == kTerrainThing ? kTerrain
         : thing == kTorusThing ? kTorus
         : thing == kShipThing  ? kShip
                                : kCrystal;
}

// Where a thing is at time t (seconds).
void PositionOf(int thing, double t, double& x, double& y, double& z) {
  if (thing == kTerrainThing) {
    x = 0, y = -6, z = 0;
  } else if (thing == kTorusThing) {
    x = -14, y = 5, z = -8;
  } else if (thing == kShipThing) {
    double a = t * 25;  // degrees around its circle
    x = 6 + 18 * CosDeg(a), y = 9 + 1.5 * SinDeg(t * 90), z = 18 * SinDeg(a);
  } else {
    double a = (thing - kFirstCrystal) * 72 + t * 15;
    x = 4 + 30 * CosDeg(a), y = 3 + 1.5 * SinDeg(t * 120 + a), z = -6 + 22 * SinDeg(a);
  }
}

// Level 0 placement of a thing at time t; grow scales it (the picked one pulses).
void Place(int thing, double t, double grow) {
  double x = 0, y = 0, z = 0;
  PositionOf(thing, t, x, y, z);
  SetScale(grow, grow, grow);  // before the position: SetScale drops the rotations
  SetPosition(x, y, z);
  if (thing == kTorusThing) {
    AddRotation(t * 40, 0, 1, 0);
    AddRotation(20, 1, 0, 0);
  } else if (thing == kShipThing) {
    AddRotation(-t * 25, 0, 1, 0);  // heading along the circle
    AddRotation(-25, 0, 0, 1);      // banked into the turn
  } else if (thing != kTerrainThing) {
    AddRotation(t * 60, 0, 1, 0);
  }
}

// The object the ray from the eye through the window point (x, y) meets first, or -1.
int PickAt(double x, double y, double t) {
  double nx = 0, ny = 0, nz = 0, fx = 0, fy = 0, fz = 0;
  UnprojectPoint(x, y, 0, nx, ny, nz);  // on the near plane
  UnprojectPoint(x, y, 1, fx, fy, fz);  // on the far plane
  int best = -1;
  double bestDistance = 0;
  for (int thing = 0; thing < kThingCount; ++thing) {
    Place(thing, t, 1);
    double d = ObjectRayDistance(SlotOf(thing), 0, nx, ny, nz, fx - nx, fy - ny, fz - nz);
    if (d > 0 && (best < 0 || d < bestDistance)) {
      best = thing;
      bestDistance = d;
    }
  }
  return best;
}

void DrawSky() {
  for (int band = 0; band < 16; ++band) {
    double t = band / 15.0;  // 0 at the top
    FillRect(0, band * 16, 639, band * 16 + 15, Rgb(30 + 82 * t, 50 + 86 * t, 110 + 50 * t));
  }
  FillRect(0, 256, 639, 479, kFogColour);
}

// A turning ring of lines under a picked object; the ground gets only its label.
void DrawHighlight(int thing, double t) {
  if (thing == kTerrainThing) return;
  double r = thing == kTorusThing ? 9 : thing == kShipThing ? 10 : 4;
  double cx = 0, cy = 0, cz = 0;
  PositionOf(thing, t, cx, cy, cz);
  for (int k = 0; k < 36; ++k) {
    double a = k * 10 + t * 90, b = a + 10;
    DrawLine3D(cx + r * CosDeg(a), cy - 3, cz + r * SinDeg(a), cx + r * CosDeg(b), cy - 3,
               cz + r * SinDeg(b), 3, 0x40FFFF);
  }
}

[[noreturn]] void GameMain() {
  PaintHull();
  PaintGrass();
  PaintTiles();
  PaintCrystal();

  MakeTexturedObject(BuildShip, kShip, "ship", "hull.bmp", "hull-bumps.bmp", kShip + kBump);
  MakeTexturedObject(BuildTerrain, kTerrain, "terrain", "grass.bmp", nullptr, 0);
  MakeTexturedObject(BuildTorus, kTorus, "torus", "tiles.bmp", "tiles-bumps.bmp", kTorus + kBump);
  MakeTexturedObject(BuildCrystal, kCrystal, "crystal", "crystal.bmp", nullptr, 0);
  bool shaderLoaded = LoadShader(kGlowShader, "glow.vert", "glow.frag") != 0;

  int mode = 0, picked = -1;
  bool shader = false, saved[5] = {false, false, false, false, false};
  int framesInMode = 0;
  double spaceWas = 0, gWas = 0, leftWas = 0;
  for (double frame = 0;; ++frame) {
    double t = frame / 60;

    // Keys: space cycles the modes, 1 to 4 choose one, G toggles the shader.
    double space = KeyDown(kSpaceKey), g = KeyDown(kGKey);
    int was = mode;
    if (space != 0 && spaceWas == 0) mode = (mode + 1) % 4;
    for (int k = 0; k < 4; ++k) {
      if (KeyDown(kOneKey + k) != 0) mode = k;
    }
    if (g != 0 && gWas == 0 && shaderLoaded) {
      shader = !shader;
      framesInMode = 0;
    }
    if (mode != was) framesInMode = 0;
    spaceWas = space;
    gWas = g;
    double mx = 0, my = 0, left = 0, right = 0;
    MouseState(mx, my, left, right);

    DrawSky();
    Enter3D(1, 400, 50);
    double swing = 25 * SinDeg(t * 8);
    SetCamera(52 * SinDeg(swing), 26, 52 * CosDeg(swing), 0, 2, -4);
    if (left != 0 && leftWas == 0) picked = PickAt(mx, my, t);
    leftWas = left;

    SetFog(kFogColour, 0, 30, 140);
    SetLight(0, kSunColour, 0, 0, 0, -0.5, -1, -0.35, 180);  // a directional sun
    double blue = t * 50;
    SetLight(1, kBlueColour, 22 * CosDeg(blue), 12, 22 * SinDeg(blue), 0, 0, 0, 120);  // a lamp
    if (mode == 2) SetCullMode(-1);  // outlines need back faces culled
    if (shader) {
      UseShader(kGlowShader);
      SetShaderFloat("time", t);
    }

    // Ground and crystals first: in bump mapping only the ship and the torus carry normal maps.
    if (mode == 2) {
      SetLight(-2, 0xFFFFFF, kEffectLight[0], kEffectLight[1], kEffectLight[2], 0, 0, 0, 1);
    }
    for (int thing = 0; thing < kThingCount; ++thing) {
      if (thing == kTorusThing || thing == kShipThing) continue;
      Place(thing, t, thing == picked ? 1 + 0.15 * SinDeg(t * 400) : 1);
      DrawObject(SlotOf(thing), 0);
    }
    if (mode == 1) {
      SetLight(-1, 0xFFFFFF, kEffectLight[0], kEffectLight[1], kEffectLight[2], 0, 0, 0, 1);
    }
    for (int thing : {kTorusThing, kShipThing}) {
      Place(thing, t, thing == picked ? 1 + 0.1 * SinDeg(t * 400) : 1);
      DrawObject(SlotOf(thing) + (mode == 1 ? kBump : 0), 0);
    }
    if (mode == 3) {  // shadow volumes of everything but the ground darken what they cover
      SetLight(-3, 0, kEffectLight[0], kEffectLight[1], kEffectLight[2], 0, 0, 0, 1);
      for (int thing = kTorusThing; thing < kThingCount; ++thing) {
        Place(thing, t, 1);
        DrawObject(SlotOf(thing), 0);
      }
      SetLight(-3, 0, kEffectLight[0], kEffectLight[1], kEffectLight[2], 0, 0, 0, 0);
    }
    UseShader(255);
    if (picked >= 0) DrawHighlight(picked, t);

    SetViewport(0, 0, 0, 0);  // back to 2D for the text
    PrintText(StringValue("mode: ") + kModeNames[mode] + (shader ? " + glow shader" : ""), 10, 10);
    PrintText(picked >= 0 ? StringValue("picked: ") + kThingNames[picked]
                          : StringValue("click an object to pick it"),
              10, 26);
    PrintText("space / 1-4: mode   G: shader   mouse: pick", 10, 458);

    // One picture per mode (and one with the shader), once it has run for half a second.
    int shot = shader ? 4 : mode;
    if (++framesInMode == 30 && !saved[shot]) {
      SaveScreen(StringValue("scene3d-") + (shader ? "shader" : kModeFiles[mode]) + ".png");
      saved[shot] = true;
    }
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("3D scene") == 0) EndFailedStartup();
  GameMain();
}
