// Writes small movie clips with the encoders of libavcodec, for the media tests and examples.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon::testing {

// How pictures are stored: MPEG-4 4:2:0 at limited levels, JPEG 4:2:0 or 4:2:2 at full levels,
// PNG RGB.
enum class Pictures { Mpeg4, Jpeg420, Jpeg422, PngRgb };

struct ClipSpec {
  int width = 320, height = 240;
  int fps = 30;
  int frames = 30;
  // Colour (0xRRGGBB) of the whole picture at a frame.
  std::function<uint32_t(int)> colourAt = [](int) { return 0xFF0000u; };
  std::vector<uint32_t> bars{};  // not empty: vertical bars of equal width in these colours instead
  double toneHz = 0;             // a sine tone as the sound track; 0: no sound track
  int toneLevel = 16000;         // its peak; 0 for a silent track
  double soundSeconds = 0;       // the track's length; 0: as long as the pictures
  bool toneTurnsMono = false;    // MP2 sound, stereo for the first half of the frames, then mono
  bool withVideo = true;
  bool moving = false;    // a sliding gradient with grain instead of one colour (for measurements)
  bool rawVideo = false;  // uncompressed pictures: their size is only in the container
  Pictures pictures = Pictures::Mpeg4;
  const char* container = "matroska";
};

// Writes a movie file (pictures as above or raw video, 16-bit PCM stereo or MP2 sound; FLAC in
// the "flac" container); false on failure.
bool WriteClip(const std::string& path, const ClipSpec& spec);

}  // namespace quillon::testing
