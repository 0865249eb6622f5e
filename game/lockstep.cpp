#include "game/lockstep.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

FrameControls& Slot(std::array<FrameControls, kFramesKept>& slots, long frame) {
  return slots[static_cast<size_t>(frame % kFramesKept)];
}

void CompareChecksums(Lockstep& ls, long frame) {
  auto own = ls.ownSums.find(frame);
  auto peer = ls.peerSums.find(frame);
  if (own == ls.ownSums.end() || peer == ls.peerSums.end()) return;
  if (own->second != peer->second && ls.mismatchFrame < 0) ls.mismatchFrame = frame;
  ls.ownSums.erase(own);
  ls.peerSums.erase(peer);
}

// The peer may be ahead of us by two delays at most: it waits for our controls too.
bool FrameWithinReach(const Lockstep& ls, long frame) {
  return frame > ls.stepped && frame <= ls.stepped + 2L * ls.delay + 1;
}

// A whole decimal number, nothing else.
bool ReadNumber(const char*& p, long& value) {
  char* end = nullptr;
  value = std::strtol(p, &end, 10);
  if (end == p) return false;
  p = end;
  return true;
}

Controls ControlsFromBits(long bits) {
  return {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0};
}

PeerSays TakeInput(Lockstep& ls, const char* p, double nowMs) {
  long frame = 0, bits = 0, ack = 0;
  if (!ReadNumber(p, frame) || !ReadNumber(p, bits) || !ReadNumber(p, ack) || *p != '\0') {
    return PeerSays::Nothing;
  }
  if (bits < 0 || bits > 31 || !FrameWithinReach(ls, frame)) return PeerSays::Nothing;
  Slot(ls.peer, frame) = {frame, ControlsFromBits(bits)};
  ls.newestPeer = std::max(ls.newestPeer, frame);
  if (ack > ls.newestAck && ack <= ls.newestOwn) {
    // Only acknowledgements of inputs we sent and still remember give a round trip.
    if (ack > ls.newestOwn - kFramesKept && ack > ls.delay) {
      ls.roundTrips.push_back(nowMs - ls.sentAt[static_cast<size_t>(ack % kFramesKept)]);
    }
    ls.newestAck = ack;
  }
  return PeerSays::Input;
}

PeerSays TakeChecksum(Lockstep& ls, const char* p) {
  long frame = 0;
  if (!ReadNumber(p, frame) || *p != ' ') return PeerSays::Nothing;
  char* end = nullptr;
  uint64_t sum = std::strtoull(p + 1, &end, 16);
  if (end == p + 1 || *end != '\0' || frame % kChecksumEvery != 0) return PeerSays::Nothing;
  // Sums of frames we already compared, or far ahead, are not kept.
  bool wanted = frame > ls.stepped - kChecksumEvery && frame <= ls.stepped + kFramesKept;
  if (!wanted && ls.ownSums.count(frame) == 0) return PeerSays::Nothing;
  ls.peerSums[frame] = sum;
  CompareChecksums(ls, frame);
  return PeerSays::Checksum;
}

}  // namespace

void StartLockstep(Lockstep& ls, int delay) {
  ls = Lockstep{};
  ls.delay = std::clamp(delay, 1, kMaxInputDelay);
  for (long f = 1; f <= ls.delay; ++f) {
    Slot(ls.own, f) = {f, {}};
    Slot(ls.peer, f) = {f, {}};
  }
  ls.newestOwn = ls.newestPeer = ls.delay;
  ls.newestAck = ls.delay;
}

bool ReadyToStep(const Lockstep& ls) {
  long next = ls.stepped + 1;
  return ls.peer[static_cast<size_t>(next % kFramesKept)].frame == next;
}

std::string OwnInputMessage(Lockstep& ls, const Controls& c, double nowMs) {
  long frame = ls.stepped + 1 + ls.delay;
  Slot(ls.own, frame) = {frame, c};
  ls.sentAt[static_cast<size_t>(frame % kFramesKept)] = nowMs;
  ls.newestOwn = frame;
  return "in " + std::to_string(frame) + " " + EncodeControls(c) + " " +
         std::to_string(ls.newestPeer);
}

void TakeStep(Lockstep& ls, Controls& own, Controls& peer) {
  long next = ls.stepped + 1;
  own = Slot(ls.own, next).controls;
  peer = Slot(ls.peer, next).controls;
  ls.stepped = next;
}

std::string OwnChecksumMessage(Lockstep& ls, uint64_t sum) {
  ls.ownSums[ls.stepped] = sum;
  // A peer that never answers, or repeats sums of frames already compared, must not make the
  // books grow.
  while (ls.ownSums.size() > 16) ls.ownSums.erase(ls.ownSums.begin());
  ls.peerSums.erase(ls.peerSums.begin(), ls.peerSums.lower_bound(ls.stepped - kChecksumEvery));
  CompareChecksums(ls, ls.stepped);
  char text[64];
  std::snprintf(text, sizeof text, "sum %ld %016" PRIx64, ls.stepped, sum);
  return text;
}

PeerSays TakePeerMessage(Lockstep& ls, const std::string& text, double nowMs) {
  if (text == "bye") return PeerSays::Bye;
  if (text == "done") return PeerSays::Done;
  if (text.rfind("in ", 0) == 0) return TakeInput(ls, text.c_str() + 2, nowMs);
  if (text.rfind("sum ", 0) == 0) return TakeChecksum(ls, text.c_str() + 3);
  return PeerSays::Nothing;
}

std::string EncodeControls(const Controls& c) {
  int bits = (c.thrust ? 1 : 0) | (c.brake ? 2 : 0) | (c.left ? 4 : 0) | (c.right ? 8 : 0) |
             (c.fire ? 16 : 0);
  return std::to_string(bits);
}

bool DecodeControls(const std::string& text, Controls& c) {
  char* end = nullptr;
  long bits = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || bits < 0 || bits > 31) return false;
  c = ControlsFromBits(bits);
  return true;
}

Controls EitherKeySet(const Controls& a, const Controls& b) {
  return {a.thrust || b.thrust, a.brake || b.brake, a.left || b.left, a.right || b.right,
          a.fire || b.fire};
}

void RoundTripSummary(const Lockstep& ls, double& median, double& p99) {
  median = p99 = 0;
  if (ls.roundTrips.empty()) return;
  std::vector<double> v = ls.roundTrips;
  std::sort(v.begin(), v.end());
  median = v[(v.size() - 1) / 2];
  p99 = v[static_cast<size_t>(0.99 * static_cast<double>(v.size() - 1))];
}
