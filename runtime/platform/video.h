// Movie files: demuxing, decoding, pictures as 4:2:0 planes or RGBA, and sound resampling to the
// mixer's format (44100 Hz, 16-bit stereo).
#pragma once

#include <cstdint>

namespace quillon::platform {

struct VideoFile;  // an open movie

// Sides above this are refused: a picture must fit a texture and its RGBA copy stays bounded.
constexpr int kMaxVideoSide = 8192;

// Opens a movie; null when the file is missing or undecodable, has no video track, or the video
// is 0 wide or high or larger than kMaxVideoSide on a side.
VideoFile* OpenVideo(const char* path);
void CloseVideo(VideoFile* video);

int VideoWidth(const VideoFile* video);
int VideoHeight(const VideoFile* video);
bool VideoHasSound(const VideoFile* video);
// Seconds one picture stands for (from the frame rate; 1/30 when the file gives none).
double VideoFrameSeconds(const VideoFile* video);

// Reads and decodes the next packet: pictures join the picture queue, sound the sound queue.
// False once the file has ended or failed (the decoders are drained then); a corrupt or
// truncated file ends here rather than stalling.
bool ReadVideoPacket(VideoFile* video);
// Pictures decoded and not yet taken.
int QueuedPictures(const VideoFile* video);
// Presentation time of the oldest queued picture in seconds from the movie's start, kept
// increasing and without jumps of more than a second.
double FrontPictureTime(const VideoFile* video);
// The oldest picture as RGBA rows (VideoWidth x VideoHeight, top row first, rowPixels apart),
// then removed from the queue; null when the queue is empty or the picture cannot be converted.
const uint8_t* TakeFrontPicture(VideoFile* video, int& rowPixels);

// A picture as three 8-bit planes: Y at VideoWidth x VideoHeight, U and V at half that each way
// (rounded up), top row first; strides in bytes, never negative.
struct PicturePlanes {
  const uint8_t* plane[3] = {};
  int stride[3] = {};
  bool fullRange = false;  // levels 0-255; otherwise Y 16-235 and U, V 16-240
};
// The oldest picture as planes, then removed from the queue: 4:2:0 pictures as decoded, others
// converted. The planes stay valid until the next Take call or CloseVideo. False when the queue
// is empty or the picture cannot be converted.
bool TakeFrontPlanes(VideoFile* video, PicturePlanes& planes);
// Removes the oldest picture without converting it.
void DropFrontPicture(VideoFile* video);

// Decoded sound waiting to be queued to the mixer: interleaved stereo frames.
int PendingSoundFrames(const VideoFile* video);
const int16_t* PendingSound(const VideoFile* video);
void ConsumeSound(VideoFile* video, int frames);
// Seconds of sound decoded so far, silence inserted for gaps included.
double DecodedSoundSeconds(const VideoFile* video);

// Back to the start for another pass; times go on increasing by the length of the pass (its
// pictures or its sound, whichever ends later). False when the file cannot seek.
bool RewindVideo(VideoFile* video);

}  // namespace quillon::platform
