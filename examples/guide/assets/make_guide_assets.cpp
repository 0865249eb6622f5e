// Draws and synthesises the guide game's files: the paddle, the ball, five colours of brick and
// three sounds. Deterministic, so the guide's pictures stay the same.
//   make-guide-assets OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/gfx2d/png_writer.h"

namespace {

struct Picture {
  int width, height;
  std::vector<uint8_t> rgba;
  Picture(int w, int h) : width(w), height(h), rgba(size_t(w) * h * 4, 0) {}
  void Put(int x, int y, uint32_t rgb, double alpha = 1) {
    uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
    p[0] = uint8_t(rgb >> 16), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb),
    p[3] = uint8_t(255 * alpha);
  }
};

// A colour lightened (amount > 0) or darkened toward black.
uint32_t Shade(uint32_t rgb, double amount) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    double c = (rgb >> shift) & 255;
    c = amount > 0 ? c + (255 - c) * amount : c * (1 + amount);
    out |= uint32_t(std::lround(c)) << shift;
  }
  return out;
}

// A block with a light top edge and a dark bottom edge, rounded by `round` pixels.
Picture Block(int w, int h, uint32_t rgb, int round) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int dx = std::max({round - x, x - (w - 1 - round), 0}),
          dy = std::max({round - y, y - (h - 1 - round), 0});
      if (dx * dx + dy * dy > round * round) continue;  // outside a rounded corner
      double light = y < 3 ? 0.45 : y >= h - 3 ? -0.35 : 0.1 * std::sin(x * 0.3);
      p.Put(x, y, Shade(rgb, light));
    }
  }
  return p;
}

Picture Ball(int size) {
  Picture p(size, size);
  double r = size / 2.0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double dx = x + 0.5 - r, dy = y + 0.5 - r, d = std::sqrt(dx * dx + dy * dy);
      if (d > r) continue;
      double highlight = std::max(0.0, 1 - std::hypot(dx + r / 3, dy + r / 3) / r);
      p.Put(x, y, Shade(0xD0D8E0, highlight * 0.9), std::min(1.0, r - d + 0.5));
    }
  }
  return p;
}

// 16-bit mono WAV of a tone sliding from hz to endHz over seconds, fading out.
bool WriteTone(const std::string& path, double hz, double endHz, double seconds) {
  const int rate = 22050;
  int frames = int(rate * seconds);
  std::vector<int16_t> samples(frames);
  double phase = 0;
  for (int i = 0; i < frames; ++i) {
    double t = double(i) / frames;
    phase += 2 * M_PI * (hz + (endHz - hz) * t) / rate;
    double square = std::sin(phase) > 0 ? 1 : -1;  // a square wave: the arcade sound
    samples[i] = int16_t(6000 * square * (1 - t));
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f), u32(36 + frames * 2), std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
  std::fwrite("data", 1, 4, f), u32(frames * 2);
  std::fwrite(samples.data(), 2, samples.size(), f);
  return std::fclose(f) == 0;
}

bool Save(const std::string& path, const Picture& p) {
  return quillon::WritePngRgba(path.c_str(), p.width, p.height, p.rgba.data());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-guide-assets OUTPUT_DIR\n");
    return 2;
  }
  std::string out = std::string(argv[1]) + "/";
  const uint32_t rows[5] = {0xE04848, 0xE89038, 0xE0D040, 0x50C060, 0x4890E0};  // 0xRRGGBB
  bool ok =
      Save(out + "paddle.png", Block(64, 12, 0x70C8F0, 5)) && Save(out + "ball.png", Ball(10));
  for (int i = 0; i < 5; ++i)
    ok = ok && Save(out + "brick" + std::to_string(i) + ".png", Block(40, 16, rows[i], 2));
  ok = ok && WriteTone(out + "bounce.wav", 440, 440, 0.06) &&
       WriteTone(out + "brick.wav", 880, 1320, 0.08) && WriteTone(out + "miss.wav", 330, 110, 0.5);
  if (!ok) std::fprintf(stderr, "make-guide-assets: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
