#include "runtime/sound/sound_length.h"

#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct WavFormat {
  bool seen = false;
  uint16_t channels = 0, blockAlign = 0, bits = 0;
  uint32_t rate = 0;
};

// Sample frames in bytes of data: by the bits per sample where the format gives them (also for
// ADPCM, whose blocks hold more frames than bytes), else by the block size.
double Frames(const WavFormat& f, double bytes) {
  if (f.bits > 0 && f.channels > 0) return bytes * 8 / (static_cast<double>(f.bits) * f.channels);
  return f.blockAlign > 0 ? bytes / f.blockAlign : 0;
}

WavHeader WalkChunks(std::FILE* file, long size, double& seconds) {
  WavFormat format;
  // Every chunk moves on by at least its 8-byte header, so the walk ends within the file.
  for (long at = 12; at + 8 <= size;) {
    unsigned char head[8];
    if (std::fseek(file, at, SEEK_SET) != 0 || std::fread(head, 1, 8, file) != 8) break;
    uint32_t length = Le32(head + 4);
    long body = at + 8;
    if (std::memcmp(head, "data", 4) == 0) {
      if (!format.seen) return WavHeader::Broken;
      if (length > static_cast<unsigned long>(size - body)) return WavHeader::Truncated;
      seconds = format.rate > 0 ? Frames(format, length) / format.rate : 0;
      return WavHeader::Complete;
    }
    if (std::memcmp(head, "fmt ", 4) == 0 && length >= 16) {
      unsigned char f[16];
      if (std::fread(f, 1, 16, file) != 16) break;
      format = {true, Le16(f + 2), Le16(f + 12), Le16(f + 14), Le32(f + 4)};
    }
    at = body + static_cast<long>(length) + (length & 1);  // bodies are padded to even lengths
  }
  return WavHeader::Broken;
}

}  // namespace

WavHeader ReadWavHeaderOf(std::FILE* file, double& seconds) {
  seconds = 0;
  unsigned char riff[12];
  if (file == nullptr || std::fseek(file, 0, SEEK_SET) != 0 || std::fread(riff, 1, 12, file) != 12 ||
      std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0 ||
      std::fseek(file, 0, SEEK_END) != 0) {
    return WavHeader::NotWav;
  }
  return WalkChunks(file, std::ftell(file), seconds);
}

WavHeader ReadWavHeader(const char* path, double& seconds) {
  seconds = 0;
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) return WavHeader::NotWav;
  WavHeader result = ReadWavHeaderOf(file, seconds);
  std::fclose(file);
  return result;
}

}  // namespace quillon
