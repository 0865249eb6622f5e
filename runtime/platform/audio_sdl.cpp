#include <SDL.h>
#include <SDL_mixer.h>
#include <alsa/error.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "runtime/platform/audio.h"
#include "runtime/platform/system.h"

namespace quillon::platform {

struct AudioChunk {
  Mix_Chunk* chunk = nullptr;
};

struct MusicTrack {
  Mix_Music* music = nullptr;
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
int streamChannel = -1;  // the channel after the sound channels

// The PCM stream: a ring of interleaved samples the mixer thread drains. The ring is allocated
// by the first frames queued, as most programs never play a movie.
constexpr int kStreamCapacity = 2 * kFrequency;  // sample frames
struct PcmStream {
  std::mutex lock;
  std::vector<int16_t> ring;
  int head = 0;             // next frame to play
  int count = 0;            // frames queued
  int64_t takenBefore = 0;  // frames taken before the last request
  int lastTaken = 0;        // frames the last request took
  double lastRequestMs = -1;
  bool running = false;
};
PcmStream stream;
std::vector<int16_t> silence(2 * 8192);  // long, so its loop seldom splits a request
Mix_Chunk* silentChunk = nullptr;

double NowMs() {
  return static_cast<double>(SDL_GetPerformanceCounter()) * 1000.0 /
         static_cast<double>(SDL_GetPerformanceFrequency());
}

// Replaces the silent chunk's samples with queued ones on the mixer thread.
void FeedStream(int, void* buffer, int length, void*) {
  auto* out = static_cast<int16_t*>(buffer);
  int frames = length / 4;
  std::lock_guard<std::mutex> guard(stream.lock);
  int take = stream.running ? std::min(frames, stream.count) : 0;
  // The queued frames run from head to the ring's end, then on from its start.
  int first = std::min(take, kStreamCapacity - stream.head);
  std::copy_n(stream.ring.data() + 2 * stream.head, 2 * first, out);
  std::copy_n(stream.ring.data(), 2 * (take - first), out + 2 * first);
  std::fill(out + 2 * take, out + 2 * frames, int16_t{0});
  stream.head = (stream.head + take) % kStreamCapacity;
  stream.count -= take;
  stream.takenBefore += stream.lastTaken;
  stream.lastTaken = take;
  stream.lastRequestMs = NowMs();
}

bool FileExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// The mixer's default sound font may not be installed; the General MIDI font of install-deps is.
void ChooseSoundFont() {
  if (std::getenv("SDL_SOUNDFONTS") != nullptr) return;
  const char* current = Mix_GetSoundFonts();
  if (current != nullptr && FileExists(current)) return;
  for (const char* font :
       {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
    if (FileExists(font)) {
      Mix_SetSoundFonts(font);
      return;
    }
  }
}

// A channel the open mixer has.
bool PlayableChannel(int channel) {
  return open && channel >= 0 && channel < static_cast<int>(gains.size());
}

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

// ALSA prints its own complaints (no card, no default device) straight to the terminal, where
// the player reads them as the game's. They go to the debug output instead.
void AlsaMessage(const char* file, int line, const char* function, int, const char* format, ...) {
  if (!DebuggerAttached()) return;
  char text[512];
  int used = std::snprintf(text, sizeof text, "ALSA lib %s:%d:(%s) ", file, line, function);
  if (used < 0 || used >= static_cast<int>(sizeof text)) used = 0;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text + used, sizeof text - used, format, arguments);
  va_end(arguments);
  DebuggerOutput(text);
}

// SDL loads ALSA itself when it opens audio; the handler goes into that same library, which
// stays loaded for the process. No ALSA on the system: nothing to quieten.
void RouteAlsaMessages() {
  static bool routed = false;
  if (routed) return;
  routed = true;
  void* alsa = dlopen("libasound.so.2", RTLD_NOW);
  if (alsa == nullptr) return;
  auto setHandler = reinterpret_cast<int (*)(snd_lib_error_handler_t)>(
      dlsym(alsa, "snd_lib_error_set_handler"));
  if (setHandler != nullptr) setHandler(AlsaMessage);
}

}  // namespace

bool OpenAudio(int bufferSamples, int mixerChannels) {
  if (open) return true;
  RouteAlsaMessages();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, 2, bufferSamples, nullptr, 0) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int allocated = Mix_AllocateChannels(mixerChannels + 1) - 1;
  // Each play attaches the gain effect itself: the mixer drops effects when a channel stops.
  gains = std::vector<ChannelGain>(allocated > 0 ? allocated : 0);
  streamChannel = allocated >= 0 ? allocated : -1;
  silentChunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(silence.data()),
                                  static_cast<Uint32>(silence.size() * sizeof(int16_t)));
  ChooseSoundFont();
  open = true;
  return true;
}

void CloseAudio() {
  if (!open) return;
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  Mix_FreeChunk(silentChunk);
  silentChunk = nullptr;
  streamChannel = -1;
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

bool SoundFileSeconds(const char* path, double& seconds) {
  seconds = -1;
  if (!open || path == nullptr) return false;
  // The music decoders read headers and stream; they open what the sound loader decodes whole.
  Mix_Music* music = Mix_LoadMUS(path);
  if (music == nullptr) return false;
  double length = Mix_MusicDuration(music);
  Mix_FreeMusic(music);
  if (length >= 0) seconds = length;
  return true;
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
  if (chunk == nullptr || !PlayableChannel(channel)) return false;
  Mix_HaltChannel(channel);  // drops the effects of the copy that played before
  // Unregistered too: a play the mixer refused leaves the effect attached to an idle channel.
  Mix_UnregisterEffect(channel, ApplyGain);
  Mix_RegisterEffect(channel, ApplyGain, nullptr, nullptr);
  gains[channel].left.store(leftGain, std::memory_order_relaxed);
  gains[channel].right.store(rightGain, std::memory_order_relaxed);
  return Mix_PlayChannel(channel, chunk->chunk, 0) == channel;
}

bool AudioChannelPlaying(int channel) {
  if (!PlayableChannel(channel)) return false;
  return Mix_Playing(channel) != 0;
}

void HaltAudioChannel(int channel) {
  if (!PlayableChannel(channel)) return;
  Mix_HaltChannel(channel);
}

MusicTrack* LoadMusic(const char* path) {
  if (!open || path == nullptr) return nullptr;
  Mix_Music* music = Mix_LoadMUS(path);
  if (music == nullptr) return nullptr;
  return new MusicTrack{music};
}

void FreeMusic(MusicTrack* track) {
  if (track == nullptr) return;
  Mix_FreeMusic(track->music);  // halts it first when it is playing
  delete track;
}

// Loops 1: played through once; the runtime restarts it itself, frame by frame.
bool PlayMusicOnce(MusicTrack* track) {
  if (!open || track == nullptr) return false;
  return Mix_PlayMusic(track->music, 1) == 0;
}

bool MusicPlaying() { return open && Mix_PlayingMusic() != 0; }

void HaltMusic() {
  if (open) Mix_HaltMusic();
}

bool StartPcmStream() {
  if (!open || streamChannel < 0 || silentChunk == nullptr) return false;
  StopPcmStream();
  {
    std::lock_guard<std::mutex> guard(stream.lock);
    stream.running = true;
  }
  Mix_Volume(streamChannel, MIX_MAX_VOLUME);
  // A channel loses its effects whenever it stops, so the feed is attached for each start.
  Mix_UnregisterEffect(streamChannel, FeedStream);
  Mix_RegisterEffect(streamChannel, FeedStream, nullptr, nullptr);
  return Mix_PlayChannel(streamChannel, silentChunk, -1) == streamChannel;
}

void StopPcmStream() {
  if (open && streamChannel >= 0) Mix_HaltChannel(streamChannel);
  std::lock_guard<std::mutex> guard(stream.lock);
  stream.running = false;
  stream.head = stream.count = stream.lastTaken = 0;
  stream.takenBefore = 0;
  stream.lastRequestMs = -1;
}

int QueuePcmFrames(const int16_t* frames, int count) {
  if (frames == nullptr || count <= 0) return 0;
  std::lock_guard<std::mutex> guard(stream.lock);
  if (stream.ring.empty()) stream.ring.resize(2 * kStreamCapacity);
  int take = std::min(count, kStreamCapacity - stream.count);
  int tail = (stream.head + stream.count) % kStreamCapacity;
  int first = std::min(take, kStreamCapacity - tail);
  std::copy_n(frames, 2 * first, stream.ring.data() + 2 * tail);
  std::copy_n(frames + 2 * first, 2 * (take - first), stream.ring.data());
  stream.count += take;
  return take;
}

int QueuedPcmFrames() {
  std::lock_guard<std::mutex> guard(stream.lock);
  return stream.count;
}

double PcmStreamSeconds() {
  std::lock_guard<std::mutex> guard(stream.lock);
  if (stream.lastRequestMs < 0) return 0;
  double since = (NowMs() - stream.lastRequestMs) / 1000.0;
  double part = std::min(since, static_cast<double>(stream.lastTaken) / kFrequency);
  return static_cast<double>(stream.takenBefore) / kFrequency + std::max(part, 0.0);
}

}  // namespace quillon::platform
