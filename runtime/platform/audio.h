// The sound device: one mixer at 44100 Hz, 16-bit stereo, a channel per playing copy, decoded
// sounds shared by the channels that play them.
#pragma once

#include <cstdint>

namespace quillon::platform {

struct AudioChunk;  // a decoded sound

// Opens the default output device with a buffer of bufferSamples sample frames and mixerChannels
// channels; false (and nothing open) when there is no usable device.
bool OpenAudio(int bufferSamples, int mixerChannels);
void CloseAudio();
bool AudioIsOpen();
// Sample frames per second the mixer runs at (44100 once open).
int AudioFrequency();

// Decodes a sound file (WAV in any of its encodings, OGG, FLAC, MP3); null when it cannot be.
AudioChunk* LoadAudioChunk(const char* path);
void FreeAudioChunk(AudioChunk* chunk);

// Starts chunk from its beginning on channel, once, at the given linear gains (0 to 1) of the
// left and right side; false when the mixer refused.
bool PlayAudioChunk(int channel, AudioChunk* chunk, float leftGain, float rightGain);
bool AudioChannelPlaying(int channel);
void HaltAudioChannel(int channel);

}  // namespace quillon::platform
