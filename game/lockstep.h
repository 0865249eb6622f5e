// Lockstep between two machines: each side plays frame f only with both players' controls for
// f. A side sends its own controls for frame f + delay while it plays frame f, so the peer's
// usually arrive before they are needed. Every 60th frame both sides compare a checksum of the
// game. The messages are short texts; this file reads and writes them and keeps the books.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "game/gravduel.h"

constexpr int kFramesKept = 256;  // a peer is never more than 2 delays ahead
constexpr int kMaxInputDelay = 60;
constexpr long kChecksumEvery = 60;

struct FrameControls {
  long frame = -1;  // which frame the slot holds, -1 none
  Controls controls{};
};

struct Lockstep {
  int delay = 3;
  long stepped = 0;  // frames played
  std::array<FrameControls, kFramesKept> own{}, peer{};
  std::array<double, kFramesKept> sentAt{};  // when our controls for a frame went out (ms)
  long newestOwn = 0;                        // newest frame of our controls sent
  long newestPeer = 0;                       // newest frame of the peer's controls here
  long newestAck = 0;                        // newest of our frames the peer said it had
  std::map<long, uint64_t> ownSums, peerSums;
  long mismatchFrame = -1;  // first frame whose checksums differ
  std::vector<double> roundTrips;
  long stalledFrames = 0;
};

enum class PeerSays { Nothing, Input, Checksum, Bye, Done };

// Frames 1 ... delay pass with nobody pressing anything (delay is kept within 1 ... 60).
void StartLockstep(Lockstep& ls, int delay);
// The peer's controls for the next frame are here.
bool ReadyToStep(const Lockstep& ls);
// Our controls for the frame delay frames after the next one: kept, and the message to send.
std::string OwnInputMessage(Lockstep& ls, const Controls& c, double nowMs);
// After playing the next frame: counts it; returns the controls used by us and by the peer.
void TakeStep(Lockstep& ls, Controls& own, Controls& peer);
// Our checksum of a frame just played: kept for comparing, and the message to send.
std::string OwnChecksumMessage(Lockstep& ls, uint64_t sum);
// One text from the peer. Inputs outside the frames kept, malformed texts and checksums of
// frames no longer wanted change nothing.
PeerSays TakePeerMessage(Lockstep& ls, const std::string& text, double nowMs);

std::string EncodeControls(const Controls& c);
bool DecodeControls(const std::string& bits, Controls& c);
Controls EitherKeySet(const Controls& a, const Controls& b);

// The median and 99th percentile of the round trips, 0 without any.
void RoundTripSummary(const Lockstep& ls, double& median, double& p99);
