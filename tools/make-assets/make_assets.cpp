// Draws Gravduel's pictures: ships, bullets, sun, HUD icons, 31 explosion frames, the backdrop and
// the small font. Deterministic: the same program writes the same files.
//   make-assets OUTPUT_DIR
// Exit status 1: a folder or file could not be written; 2: the command line was wrong.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/gfx2d/builtin_font.h"
#include "runtime/gfx2d/png_writer.h"
#include "tools/tool_cli.h"

namespace {

struct Colour {
  uint8_t r, g, b, a;
};

// Sprites are keyed on this colour: whatever shows it is transparent.
constexpr Colour kKey{255, 0, 128, 255};

struct Picture {
  int width, height;
  std::vector<Colour> pixels;
  Picture(int w, int h, Colour fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  Colour& at(int x, int y) { return pixels[size_t(y) * width + x]; }
  void Put(int x, int y, Colour c) {
    if (x >= 0 && y >= 0 && x < width && y < height) at(x, y) = c;
  }
};

uint32_t randomState = 20261207;
double Random() {
  randomState = randomState * 1664525u + 1013904223u;
  return (randomState >> 8) / double(1 << 24);
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); }

Colour Mix(Colour a, Colour b, double t) {
  return {Byte(a.r + (b.r - a.r) * t), Byte(a.g + (b.g - a.g) * t), Byte(a.b + (b.b - a.b) * t), 255};
}

// 24-bit bottom-up BMP, the format every loader of the runtime reads.
bool WriteBmp(const std::string& path, const Picture& p) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  int rowBytes = (p.width * 3 + 3) & ~3;
  uint32_t dataSize = uint32_t(rowBytes) * p.height;
  uint8_t header[54] = {'B', 'M'};
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i));
  };
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(p.width));
  put32(22, uint32_t(p.height));
  header[26] = 1;
  header[28] = 24;
  put32(34, dataSize);
  std::fwrite(header, 1, sizeof header, f);
  std::vector<uint8_t> row(rowBytes, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) {
      const Colour& c = p.pixels[size_t(y) * p.width + x];
      row[x * 3] = c.b;
      row[x * 3 + 1] = c.g;
      row[x * 3 + 2] = c.r;
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

bool WritePng(const std::string& path, const Picture& p) {
  std::vector<uint8_t> rgba;
  rgba.reserve(p.pixels.size() * 4);
  for (const Colour& c : p.pixels) rgba.insert(rgba.end(), {c.r, c.g, c.b, c.a});
  return quillon::WritePngRgba(path.c_str(), p.width, p.height, rgba.data());
}

// A point inside the triangle (a, b, c)?
bool InTriangle(double px, double py, double ax, double ay, double bx, double by, double cx, double cy) {
  auto side = [](double x1, double y1, double x2, double y2, double x3, double y3) {
    return (x1 - x3) * (y2 - y3) - (x2 - x3) * (y1 - y3);
  };
  double d1 = side(px, py, ax, ay, bx, by), d2 = side(px, py, bx, by, cx, cy),
         d3 = side(px, py, cx, cy, ax, ay);
  bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

// A dart-shaped ship of 32 x 32 pixels pointing right (heading 0), centred in its picture.
Picture Ship(Colour hull, Colour trim) {
  constexpr int kSize = 32;
  constexpr double mid = kSize / 2.0;
  Picture p(kSize, kSize, kKey);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      double px = x + 0.5, py = y + 0.5;
      bool body = InTriangle(px, py, kSize - 1, mid, 3, 3, 3, kSize - 3) &&
                  !InTriangle(px, py, 12, mid, 1, 8, 1, kSize - 8);
      if (!body) continue;
      double shade = 0.55 + 0.45 * (1.0 - std::fabs(py - mid) / (mid - 1));
      Colour c{Byte(hull.r * shade), Byte(hull.g * shade), Byte(hull.b * shade), 255};
      if (std::fabs(py - mid) < 2.1 && px > 12 && px < 27) c = trim;  // spine
      p.at(x, y) = c;
    }
  }
  for (int y = 13; y <= 18; ++y) {  // engine glow
    p.Put(5, y, {255, 200, 80, 255});
    p.Put(6, y, {255, 150, 40, 255});
  }
  return p;
}

Picture Dot(int size, Colour centre, Colour rim) {
  Picture p(size, size, kKey);
  double r = size / 2.0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double d = std::hypot(x + 0.5 - r, y + 0.5 - r) / r;
      if (d <= 1.0) p.at(x, y) = Mix(centre, rim, d);
    }
  }
  return p;
}

Picture Sun() {
  Picture p(32, 32, kKey);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      double d = std::hypot(x + 0.5 - 16, y + 0.5 - 16) / 15.5;
      if (d > 1.0) continue;
      double flicker = 0.9 + 0.1 * Random();
      p.at(x, y) = Mix({255, 255, 220, 255}, {255, 120, 0, 255}, std::pow(d, 1.6) * flicker);
    }
  }
  return p;
}

Picture Heart() {
  Picture p(16, 16, kKey);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      double u = (x + 0.5 - 8) / 7.0, v = (8 - (y + 0.5)) / 7.0 + 0.25;
      double f = std::pow(u * u + v * v - 0.6, 3) - u * u * v * v * v;
      if (f <= 0) p.at(x, y) = Mix({255, 90, 90, 255}, {170, 0, 20, 255}, (y + 0.5) / 16.0);
    }
  }
  return p;
}

Picture Star() {
  Picture p(16, 16, kKey);
  const double pi = std::acos(-1.0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      double dx = x + 0.5 - 8, dy = y + 0.5 - 8;
      double angle = std::atan2(dy, dx) + pi / 2;
      double r = 7.5 * (0.55 + 0.45 * std::cos(5 * angle)) / 1.0;
      if (std::hypot(dx, dy) <= std::max(r, 3.2)) p.at(x, y) = {255, 215, 40, 255};
    }
  }
  return p;
}

// Frame k of 31: a fireball that swells, then breaks up and fades.
Picture Explosion(int k) {
  Picture p(48, 48, kKey);
  double t = k / 30.0;
  double radius = 6 + 18 * std::sqrt(t);
  double fade = 1.0 - t;
  uint32_t saved = randomState;
  randomState = 777u + k * 31u;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      double d = std::hypot(x + 0.5 - 24, y + 0.5 - 24) / radius;
      double noise = Random();
      if (d > 1.0 || noise < t * 0.8 * d) continue;
      Colour hot{255, 255, 200, 255}, warm{255, 140, 20, 255}, smoke{90, 60, 50, 255};
      Colour c = d < 0.5 ? Mix(hot, warm, d * 2) : Mix(warm, smoke, (d - 0.5) * 2);
      c = Mix(smoke, c, fade);
      if (c.r == 255 && c.g == 0 && c.b == 128) c.b = 127;  // never the key colour
      p.at(x, y) = c;
    }
  }
  randomState = saved;
  return p;
}

Picture Backdrop() {
  Picture p(768, 640, {0, 0, 0, 255});
  for (int y = 0; y < 640; ++y) {
    for (int x = 0; x < 768; ++x) {
      double nx = x / 768.0, ny = y / 640.0;
      double cloud = 0.5 + 0.25 * std::sin(nx * 7.1 + std::sin(ny * 5.3) * 1.7) +
                     0.25 * std::sin(ny * 9.7 + std::cos(nx * 4.1) * 2.3);
      double glow = std::exp(-std::pow(std::hypot(nx - 0.5, ny - 0.5) * 2.2, 2));
      p.at(x, y) = {Byte(8 + 30 * cloud * glow), Byte(6 + 12 * cloud), Byte(20 + 45 * cloud * (1 - glow * 0.5)), 255};
    }
  }
  for (int i = 0; i < 900; ++i) {
    int x = int(Random() * 768), y = int(Random() * 640);
    double b = Random();
    uint8_t v = Byte(100 + 155 * b * b);
    p.at(x, y) = {v, v, Byte(std::min(255, v + 30)), 255};
    if (b > 0.93) {
      p.Put(x + 1, y, {Byte(v * 0.5), Byte(v * 0.5), Byte(v * 0.6), 255});
      p.Put(x - 1, y, {Byte(v * 0.5), Byte(v * 0.5), Byte(v * 0.6), 255});
      p.Put(x, y + 1, {Byte(v * 0.5), Byte(v * 0.5), Byte(v * 0.6), 255});
      p.Put(x, y - 1, {Byte(v * 0.5), Byte(v * 0.5), Byte(v * 0.6), 255});
    }
  }
  return p;
}

// The runtime's own glyphs at twice their size, warm-coloured: 8 rows of 16 cells of 16 x 16
// pixels (codes 0-127), with a dark outline; black is transparent in fonts.
Picture SmallFont() {
  constexpr int kScale = 2, kCell = 8 * kScale;
  Picture p(16 * kCell, 8 * kCell, {0, 0, 0, 255});
  for (int j = 0; j < quillon::kBuiltinGlyphCount; ++j) {
    int cellX = (j % 16) * kCell, cellY = (2 + j / 16) * kCell;
    auto lit = [&](int c, int r) {
      return c >= 0 && c < 5 && r >= 0 && r < 6 && (quillon::kBuiltinGlyphs[j] >> (5 * r + c) & 1);
    };
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        // Glyph pixel (c, r) covers a kScale x kScale block one block in from the cell's corner.
        int c = x / kScale - 1, r = y / kScale - 1;
        if (lit(c, r)) {
          p.at(cellX + x, cellY + y) = Mix({255, 255, 190, 255}, {255, 190, 60, 255}, y / double(kCell));
        } else if (lit(c - 1, r) || lit(c + 1, r) || lit(c, r - 1) || lit(c, r + 1)) {
          p.at(cellX + x, cellY + y) = {40, 20, 8, 255};
        }
      }
    }
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  using quillon::tool::Fail;
  using quillon::tool::UsageError;
  constexpr char kTool[] = "make-assets";
  constexpr char kUsage[] =
      "usage: make-assets OUTPUT_DIR   draw Gravduel's pictures into OUTPUT_DIR\n"
      "       make-assets --help | --version\n";
  if (quillon::tool::AnsweredHelpOrVersion(argc, argv, kTool, kUsage)) return 0;
  if (argc >= 2 && argv[1][0] == '-') {
    return UsageError(kTool, std::string("unknown option ") + argv[1], kUsage);
  }
  if (argc != 2) return UsageError(kTool, "one OUTPUT_DIR is needed", kUsage);
  namespace fs = std::filesystem;
  fs::path out = argv[1];
  for (const char* dir : {"ship1", "ship2", "sun", "explosion"}) {
    std::error_code error;
    fs::create_directories(out / dir, error);
    if (error) return Fail(kTool, "cannot make the folder (" + error.message() + ")", out / dir);
  }
  std::string failed;  // the first file that could not be written
  auto bmp = [&](const std::string& name, const Picture& picture) {
    if (failed.empty() && !WriteBmp(out / name, picture)) failed = out / name;
  };
  bmp("ship1/ship0_1.bmp", Ship({70, 170, 255, 255}, {220, 250, 255, 255}));
  bmp("ship2/ship0_1.bmp", Ship({255, 110, 60, 255}, {255, 235, 170, 255}));
  bmp("ship1/bullet.bmp", Dot(5, {230, 255, 255, 255}, {60, 180, 255, 255}));
  bmp("ship2/bullet.bmp", Dot(5, {255, 255, 200, 255}, {255, 120, 40, 255}));
  bmp("sun/sun.bmp", Sun());
  bmp("hp.bmp", Heart());
  bmp("points.bmp", Star());
  for (int k = 0; k <= 30; ++k) {
    bmp("explosion/explos" + std::to_string(k) + (k <= 10 ? ".bmp" : "_1.bmp"), Explosion(k));
  }
  if (failed.empty() && !WritePng(out / "backgr2.png", Backdrop())) failed = out / "backgr2.png";
  bmp("smalfont.bmp", SmallFont());
  return failed.empty() ? 0 : Fail(kTool, "cannot write it", failed);
}
