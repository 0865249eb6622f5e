// How long a sound file plays, told from its headers before anything is decoded, so that a small
// compressed file cannot make LoadSound decode more than memory holds.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quillon {

// Decoded sounds are held at the mixer's rate, 16-bit stereo: 64 MiB is about six minutes.
constexpr double kMostDecodedSoundBytes = 64.0 * 1024 * 1024;
constexpr double kDecodedBytesPerSecond = 44100.0 * 4;

enum class WavHeader {
  NotWav,     // no RIFF WAVE header: some other format
  Complete,   // its data chunk is all there
  Truncated,  // the data chunk claims more bytes than the file holds after it
  Broken,     // RIFF WAVE without a format chunk before its data, or without data
};
// Walks the chunks of a RIFF WAVE file to its data chunk. seconds: the data's length at the
// format's rate (0 when the format gives no rate), set for Complete only.
WavHeader ReadWavHeader(const char* path, double& seconds);
// The same on an open file, read from its start.
WavHeader ReadWavHeaderOf(std::FILE* file, double& seconds);

}  // namespace quillon
