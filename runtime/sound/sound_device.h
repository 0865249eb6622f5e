// Plumbing of the sound effects: the device record and the slot table, created at start-up and
// freed by the end sequence.
#pragma once

#include <cstdint>

namespace quillon {

namespace platform {
struct AudioChunk;
struct Window;
}  // namespace platform

constexpr int32_t kSoundSlotCount = 256;
constexpr int32_t kReachableSoundSlots = 128;
constexpr int32_t kMaxSoundCopies = 4;
// A sound starts within one 60 Hz frame: 512 sample frames at 44100 Hz are 11.6 ms.
constexpr int32_t kSoundBufferSamples = 512;

struct SoundDevice {
  bool open = false;  // false: no device, every command fails quietly
  platform::Window* window = nullptr;
};

struct SoundSlot {
  int32_t copyCount = 0;  // 0: empty
  int32_t nextCopy = 0;
  const char* fileName = nullptr;  // only while loading
  SoundDevice* device = nullptr;   // null: the slot cannot play until loaded again
  // Every copy plays the one decoded sound on a mixer channel of its own.
  platform::AudioChunk* chunk = nullptr;
};

// Start-up: the device record and the 256 slots, before the window exists.
void CreateSoundTable();
// Opens the mixer after the window exists; 1, or 0 when there is no usable device.
double OpenSoundDevice(platform::Window* window);
// After the game window was re-created.
void SetSoundWindow(platform::Window* window);
// Stops the slot's copies and frees its sound; the slot is empty afterwards.
void FreeSoundSlot(int32_t slot);
// End: every slot freed, the mixer closed, the records deleted.
void CloseSoundDevice();

// The mixer channel that plays copy of slot.
inline int32_t SoundChannelOf(int32_t slot, int32_t copy) { return slot * kMaxSoundCopies + copy; }

}  // namespace quillon
