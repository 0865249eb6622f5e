// The sound device: one mixer at 44100 Hz, 16-bit stereo, a channel per playing copy, decoded
// sounds shared by the channels that play them.
#pragma once

#include <cstdint>

namespace quillon::platform {

struct AudioChunk;  // a decoded sound
struct MusicTrack;  // a music file opened for streaming

// Opens the default output device with a buffer of bufferSamples sample frames and mixerChannels
// channels; false (and nothing open) when there is no usable device.
bool OpenAudio(int bufferSamples, int mixerChannels);
void CloseAudio();
bool AudioIsOpen();
// Sample frames per second the mixer runs at (44100 once open).
int AudioFrequency();

// Decodes a sound file (WAV in any of its encodings, OGG, FLAC, MP3); null when it cannot be.
AudioChunk* LoadAudioChunk(const char* path);
// How long the file plays, from its headers, without decoding it: false when no decoder opens
// it; seconds -1 when it opens but does not tell its length.
bool SoundFileSeconds(const char* path, double& seconds);
void FreeAudioChunk(AudioChunk* chunk);

// Starts chunk from its beginning on channel, once, at the given linear gains (0 to 1) of the
// left and right side; false when the mixer refused.
bool PlayAudioChunk(int channel, AudioChunk* chunk, float leftGain, float rightGain);
bool AudioChannelPlaying(int channel);
void HaltAudioChannel(int channel);

// Music: one track at a time on the mixer's music stream, beside the sound channels.
// Opens MIDI (with the General MIDI sound font found on the system), OGG, MP3, FLAC, WAV and
// tracker modules; null when the file cannot be played or the mixer is closed.
MusicTrack* LoadMusic(const char* path);
// Halts the track if it is the one playing, then frees it.
void FreeMusic(MusicTrack* track);
// Starts the track from its beginning, once; false when the mixer refused.
bool PlayMusicOnce(MusicTrack* track);
bool MusicPlaying();
void HaltMusic();

// A stream of PCM sample frames (44100 Hz, 16-bit, interleaved stereo) mixed on a channel of its
// own; movie sound goes through it. Silence plays while nothing is queued, and the stream's clock
// stands still then.
bool StartPcmStream();
// Stops the stream and forgets what was queued.
void StopPcmStream();
// Appends up to count frames; returns how many were taken (the queue holds about two seconds).
int QueuePcmFrames(const int16_t* frames, int count);
int QueuedPcmFrames();
// Seconds of queued sound heard so far: frames taken before the mixer's last request plus the time
// since it, at most that request's length. 0 until the first request.
double PcmStreamSeconds();

}  // namespace quillon::platform
