#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <vector>

#include "runtime/platform/audio.h"

namespace quillon::platform {

struct AudioChunk {
  Mix_Chunk* chunk = nullptr;
};

namespace {

constexpr int kFrequency = 44100;

// Gains the mixer thread applies per channel; the mixer's own volume steps (1/128) cannot give
// the 100 dB range the volume and pan values span.
struct ChannelGain {
  std::atomic<float> left{1.0f};
  std::atomic<float> right{1.0f};
};

bool open = false;
std::vector<ChannelGain> gains;

int16_t Scaled(int16_t sample, float gain) {
  float v = static_cast<float>(sample) * gain;
  if (v > 32767.0f) return 32767;
  if (v < -32768.0f) return -32768;
  return static_cast<int16_t>(v);
}

// The mixer runs AUDIO_S16SYS stereo (opened without allowed changes): interleaved left, right.
void ApplyGain(int channel, void* stream, int length, void*) {
  if (channel < 0 || channel >= static_cast<int>(gains.size())) return;
  float left = gains[channel].left.load(std::memory_order_relaxed);
  float right = gains[channel].right.load(std::memory_order_relaxed);
  if (left == 1.0f && right == 1.0f) return;
  auto* samples = static_cast<int16_t*>(stream);
  int count = length / static_cast<int>(sizeof(int16_t));
  for (int i = 0; i + 1 < count; i += 2) {
    samples[i] = Scaled(samples[i], left);
    samples[i + 1] = Scaled(samples[i + 1], right);
  }
}

}  // namespace

bool OpenAudio(int bufferSamples, int mixerChannels) {
  if (open) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, 2, bufferSamples, nullptr, 0) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int allocated = Mix_AllocateChannels(mixerChannels);
  gains = std::vector<ChannelGain>(allocated > 0 ? allocated : 0);
  for (int c = 0; c < allocated; ++c) Mix_RegisterEffect(c, ApplyGain, nullptr, nullptr);
  open = true;
  return true;
}

void CloseAudio() {
  if (!open) return;
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  gains.clear();
  open = false;
}

bool AudioIsOpen() { return open; }

int AudioFrequency() { return open ? kFrequency : 0; }

AudioChunk* LoadAudioChunk(const char* path) {
  if (!open || path == nullptr) return nullptr;
  Mix_Chunk* chunk = Mix_LoadWAV(path);
  if (chunk == nullptr) return nullptr;
  return new AudioChunk{chunk};
}

void FreeAudioChunk(AudioChunk* chunk) {
  if (chunk == nullptr) return;
  // A chunk must not be freed while a channel still plays it.
  if (open) {
    for (int c = 0; c < static_cast<int>(gains.size()); ++c) {
      if (Mix_GetChunk(c) == chunk->chunk) Mix_HaltChannel(c);
    }
  }
  Mix_FreeChunk(chunk->chunk);
  delete chunk;
}

bool PlayAudioChunk(int channel, AudioChunk* chunk, float leftGain, float rightGain) {
  if (!open || chunk == nullptr || channel < 0 || channel >= static_cast<int>(gains.size())) {
    return false;
  }
  Mix_HaltChannel(channel);
  gains[channel].left.store(leftGain, std::memory_order_relaxed);
  gains[channel].right.store(rightGain, std::memory_order_relaxed);
  return Mix_PlayChannel(channel, chunk->chunk, 0) == channel;
}

bool AudioChannelPlaying(int channel) {
  if (!open || channel < 0 || channel >= static_cast<int>(gains.size())) return false;
  return Mix_Playing(channel) != 0;
}

void HaltAudioChannel(int channel) {
  if (!open || channel < 0 || channel >= static_cast<int>(gains.size())) return;
  Mix_HaltChannel(channel);
}

}  // namespace quillon::platform
