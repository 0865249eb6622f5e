#include "runtime/sound/sound_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <string>

#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/platform/audio.h"
#include "runtime/sound/sound_device.h"
#include "runtime/sound/sound_length.h"

namespace quillon {

namespace {

// A slot argument as the commands take it: negative and NaN refused, above 127 taken as 127.
bool SlotArgument(double value, double& clamped, int32_t& slot) {
  if (!(value >= 0)) return false;
  clamped = std::min(value, static_cast<double>(kReachableSoundSlots - 1));
  slot = static_cast<int32_t>(std::trunc(clamped));
  return true;
}

SoundSlot* SlotAt(int32_t slot) {
  SoundSlot* slots = runtimeState.soundSlots;
  if (slots == nullptr || slot < 0 || slot >= kSoundSlotCount) return nullptr;
  return &slots[slot];
}

bool DeviceOpen() { return runtimeState.sound != nullptr && runtimeState.sound->open; }

// Hundredths of a decibel as the device takes them, as a linear amplitude; -10000 is silence.
float AmplitudeOf(double hundredthsOfDecibel) {
  if (hundredthsOfDecibel <= -10000) return 0.0f;
  return static_cast<float>(std::pow(10.0, hundredthsOfDecibel / 2000.0));
}

void StopCopies(int32_t slot, const SoundSlot& s) {
  for (int32_t copy = 0; copy < s.copyCount; ++copy) {
    platform::HaltAudioChannel(SoundChannelOf(slot, copy));
  }
}

void EmptySlot(int32_t slot, SoundSlot& s) {
  StopCopies(slot, s);
  platform::FreeAudioChunk(s.chunk);
  s.chunk = nullptr;
  s.copyCount = 0;
  s.nextCopy = 0;
}

// The copy a play request takes: the next one, unless it is busy and there are others.
int32_t ChooseCopy(int32_t slot, SoundSlot& s) {
  if (!platform::AudioChannelPlaying(SoundChannelOf(slot, s.nextCopy))) return s.nextCopy;
  if (s.copyCount == 1) return -1;
  s.nextCopy = (s.nextCopy + 1) % s.copyCount;
  return s.nextCopy;  // restarted from its beginning if it plays too
}

// Files whose length no header tells are decoded only up to this size on disk: even raw 8-bit
// mono at 4 kHz grows no more than 45-fold at the mixer's rate.
constexpr long kMostUntoldBytes = 1024 * 1024;

void LogRefusal(const char* path, const char* why) {
  ErrorLog((std::string("LoadSound: ") + path + ": " + why).c_str());
}

long FileBytes(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return -1;
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  return size;
}

// Whether the file may be decoded whole: its data all there, and no more than the limit once
// decoded. A refusal leaves one line in the error log.
bool WorthDecoding(const char* path) {
  double seconds = -1;
  switch (ReadWavHeader(path, seconds)) {
    case WavHeader::Truncated:
      LogRefusal(path, "the data chunk is shorter than it says");
      return false;
    case WavHeader::Broken: return false;
    case WavHeader::Complete: break;
    case WavHeader::NotWav:
      if (!platform::SoundFileSeconds(path, seconds)) return true;  // the decoder says no itself
      break;
  }
  if (seconds < 0 && FileBytes(path) <= kMostUntoldBytes) return true;
  if (seconds < 0 || seconds * kDecodedBytesPerSecond > kMostDecodedSoundBytes) {
    LogRefusal(path, "longer than 64 MiB decoded (about six minutes); PlayMusic streams it");
    return false;
  }
  return true;
}

}  // namespace

void CreateSoundTable() {
  if (runtimeState.sound == nullptr) runtimeState.sound = new SoundDevice();
  if (runtimeState.soundSlots == nullptr) runtimeState.soundSlots = new SoundSlot[kSoundSlotCount];
}

double OpenSoundDevice(platform::Window* window) {
  CreateSoundTable();
  SoundDevice& device = *runtimeState.sound;
  device.window = window;
  device.open = platform::OpenAudio(kSoundBufferSamples, kReachableSoundSlots * kMaxSoundCopies);
  return device.open ? 1 : 0;
}

// The mixer is not tied to a window; the device only remembers which one it belongs to.
void SetSoundWindow(platform::Window* window) {
  if (runtimeState.sound != nullptr) runtimeState.sound->window = window;
}

void FreeSoundSlot(int32_t slot) {
  SoundSlot* s = SlotAt(slot);
  if (s == nullptr) return;
  EmptySlot(slot, *s);
  s->device = nullptr;
}

void CloseSoundDevice() {
  if (runtimeState.soundSlots != nullptr) {
    for (int32_t slot = 0; slot < kSoundSlotCount; ++slot) FreeSoundSlot(slot);
  }
  platform::CloseAudio();
  delete[] runtimeState.soundSlots;
  runtimeState.soundSlots = nullptr;
  delete runtimeState.sound;
  runtimeState.sound = nullptr;
}

double LoadSound(const StringValue& file, double slotNumber, double copies) {
  double clamped = 0;
  int32_t slot = 0;
  if (!SlotArgument(slotNumber, clamped, slot)) return 0;
  SoundSlot* s = SlotAt(slot);
  if (s == nullptr) return 0;
  StringValue path;
  // Not found by the resolver: the name as it stands, which then fails to decode.
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) == 0) path = file;
  EmptySlot(slot, *s);
  s->device = runtimeState.sound;
  if (!DeviceOpen()) return 0;

  int32_t count = std::isnan(copies) ? 1 : static_cast<int32_t>(std::clamp(copies, 1.0, 4.0));
  s->fileName = path.CStr();
  if (WorthDecoding(path.CStr())) s->chunk = platform::LoadAudioChunk(path.CStr());
  s->fileName = nullptr;
  if (s->chunk == nullptr) return 0;
  s->copyCount = count;
  return 1;
}

double PlaySound(double slotNumber, double pan, double volume) {
  double clamped = 0;
  int32_t slot = 0;
  if (!SlotArgument(slotNumber, clamped, slot) || std::isnan(pan) || std::isnan(volume)) return -1;
  SoundSlot* s = SlotAt(slot);
  if (s == nullptr || s->device == nullptr || !DeviceOpen() || s->copyCount == 0) return -1;
  int32_t copy = ChooseCopy(slot, *s);
  if (copy < 0) return -1;

  double level = std::trunc(std::clamp(volume * 100, 0.0, 100.0)) * 100 - 10000;
  double balance = std::trunc(std::clamp(pan, -1.0, 1.0) * 10000);
  float amplitude = AmplitudeOf(level);
  // A pan towards one side attenuates the other by as many hundredths of a decibel.
  float left = amplitude * (balance > 0 ? AmplitudeOf(-balance) : 1.0f);
  float right = amplitude * (balance < 0 ? AmplitudeOf(balance) : 1.0f);
  if (!platform::PlayAudioChunk(SoundChannelOf(slot, copy), s->chunk, left, right)) return -1;
  return copy + 256 * clamped;
}

double IsSoundPlaying(double channel) {
  if (!(channel >= 0) || channel >= 256.0 * kSoundSlotCount) return 0;
  int32_t c = static_cast<int32_t>(std::trunc(channel));
  int32_t slot = c / 256;
  int32_t copy = c % 256;
  SoundSlot* s = SlotAt(slot);
  if (s == nullptr || copy >= s->copyCount) return 0;
  return platform::AudioChannelPlaying(SoundChannelOf(slot, copy)) ? 1 : 0;
}

void StopAllSounds() {
  if (runtimeState.soundSlots == nullptr) return;
  for (int32_t slot = 0; slot < kReachableSoundSlots; ++slot) {
    SoundSlot& s = runtimeState.soundSlots[slot];
    if (s.device != nullptr) StopCopies(slot, s);
  }
}

}  // namespace quillon
