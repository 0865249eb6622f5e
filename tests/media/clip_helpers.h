// Writes small movie clips with the encoders of libavcodec, for the media tests and examples.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillon::testing {

struct ClipSpec {
  int width = 320, height = 240;
  int fps = 30;
  int frames = 30;
  // Colour (0xRRGGBB) of the whole picture at a frame.
  std::function<uint32_t(int)> colourAt = [](int) { return 0xFF0000u; };
  double toneHz = 0;           // a sine tone as the sound track; 0: no sound track
  bool toneTurnsMono = false;  // MP2 sound, stereo for the first half of the frames, then mono
  bool withVideo = true;
  bool moving = false;    // a sliding gradient with grain instead of one colour (for measurements)
  bool rawVideo = false;  // uncompressed pictures: their size is only in the container
  const char* container = "matroska";
};

// Writes a movie file (MPEG-4 part 2 or raw video, 16-bit PCM stereo or MP2 sound); false on
// failure.
bool WriteClip(const std::string& path, const ClipSpec& spec);

}  // namespace quillon::testing
