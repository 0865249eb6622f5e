// Sound effects: 128 numbered sound slots, each with up to four copies that can overlap.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Slots are 0 to 127 (larger numbers count as 127); a negative or non-finite slot or
// channel does nothing and gives the failure result. Without a sound device every command fails
// quietly: LoadSound gives 0, PlaySound -1.
//
// Loads a WAV (any encoding), OGG, FLAC or MP3 file into the slot with copies (1 to 4) that can
// play at once; 1 on success, 0 (slot empty) when the file is missing or cannot be decoded. Also
// 0, with a line in the error log, for a WAV whose data chunk is shorter than it says and for a
// sound longer than 64 MiB decoded (about six minutes of stereo; PlayMusic streams long pieces).
// Example:
//   LoadSound("bounce.wav", 0, 4);  // four copies: quick bounces overlap
//   LoadSound("explode.ogg", 1, 1);
//   PlaySound(0, 0, 1);
double LoadSound(const StringValue& file, double slot, double copies);
// Starts the slot's next copy from its beginning: pan -1 (left) to 1 (right), volume 0 to 1
// (each -0.01 is -1 dB, 0 silent). Returns the channel 256 x slot + copy, or -1 when the slot is
// empty or its only copy is still playing. With several copies busy the next one restarts.
// Example:
//   double ballX = 500;
//   double pan = ballX / 320 - 1;  // heard where the ball is on a 640-wide screen
//   PlaySound(0, pan, 0.8);
double PlaySound(double slot, double pan, double volume);
// 1 while that copy of the slot is playing, else 0 (also for -1 and unknown channels).
// Example:
//   double engine = PlaySound(2, 0, 0.5);
//   if (IsSoundPlaying(engine) == 0) engine = PlaySound(2, 0, 0.5);  // keep the engine going
double IsSoundPlaying(double channel);
// Stops every copy of every slot.
// Example:
//   StopAllSounds();  // the level is over
void StopAllSounds();

}  // namespace quillon
