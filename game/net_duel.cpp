#include "game/net_duel.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "game/duel_state.h"
#include "game/gravduel.h"
#include "game/lockstep.h"

using namespace quillon;

namespace {

constexpr double kSilenceLimitMs = 4000;  // a peer this long silent has vanished
constexpr double kLingerMs = 5000;        // how long an ending message stays up
constexpr double kJoinTriesMs = 10000;    // the host may still be starting up
constexpr double kStartWaitMs = 5000;
constexpr double kShowWaitingAfterMs = 500;
constexpr int kMaxMessagesPerFrame = 1000;
constexpr double kGraceMs = 6;  // of a 16.7 ms frame, for controls that are only just late

struct Session {
  NetOptions options;
  StringValue me, peer;
  Lockstep steps;
  DuelState drawn{};  // the last frame played, as it was before it was drawn
  double lastHeard = 0;
  double stallStart = -1;
  bool peerDone = false;  // the opponent played the last frame too
};

// One line on standard output for whoever watches (tests, the measurement).
void Report(const std::string& line) {
  std::printf("gravduel: %s\n", line.c_str());
  std::fflush(stdout);
}

void PrintCentred(const std::string& text, double y) {
  double w = 0, h = 0;
  GetFontSize(w, h);
  PrintText(StringValue(text.c_str()), (fieldWidth - w * static_cast<double>(text.size())) / 2, y);
}

// The last frame played, drawn again without advancing the game.
void DrawLastFrame(Session& s) {
  DuelState now = CaptureDuel();
  RestoreDuel(s.drawn);
  DrawScene();
  RestoreDuel(now);
}

bool LeaveRequested() { return KeyDown(1) != 0 || CloseRequested() != 0; }

void PrintStats(const Session& s) {
  double median = 0, p99 = 0;
  RoundTripSummary(s.steps, median, p99);
  std::printf("gravduel: lockstep frames %ld stalled %ld round trip median %.1f p99 %.1f ms (%zu)\n",
              s.steps.stepped, s.steps.stalledFrames, median, p99, s.steps.roundTrips.size());
  std::fflush(stdout);
}

// Shows the message over the last frame until a key goes down that was up when it appeared, or
// five seconds pass; then ends the program.
[[noreturn]] void EndWithMessage(Session& s, const std::string& line1, const std::string& line2) {
  PrintStats(s);
  std::vector<bool> wasUp(256, false);
  double shown = NowMilliseconds();
  while (NowMilliseconds() - shown < kLingerMs) {
    for (int code = 1; code < 256; ++code) {
      bool down = KeyDown(code) != 0;
      if (down && wasUp[code]) EndProgram();
      if (!down) wasUp[code] = true;
    }
    if (CloseRequested() != 0) EndProgram();
    DrawLastFrame(s);
    PrintCentred(line1, 280);
    PrintCentred(line2, 310);
    ShowScreen();
  }
  EndProgram();
}

// The player sees the same either way; the report says whether the peer said goodbye.
[[noreturn]] void OpponentLeft(Session& s, bool saidSo) {
  Report(std::string(saidSo ? "the opponent left" : "the opponent went silent") + " (frame " +
         std::to_string(s.steps.stepped) + ")");
  EndWithMessage(s, "The opponent left.", "Any key ends the game.");
}

// Tells the peer, then shows a few more frames so that the message is on its way (a host
// passes its own messages on from its network thread) before the program ends.
[[noreturn]] void Leave(Session& s) {
  NetSend(s.me, s.peer, StringValue("bye"));
  Report("you left (frame " + std::to_string(s.steps.stepped) + ")");
  PrintStats(s);
  for (int i = 0; i < 15; ++i) {
    DrawLastFrame(s);
    PrintCentred("You left the game.", 280);
    ShowScreen();
  }
  EndProgram();
}

// One frame of a screen before the game starts: the backdrop and a line of text.
void ShowNotice(const std::string& text) {
  if (LeaveRequested()) EndProgram();  // nobody to tell yet
  PrintCentred(text, 300);
  ShowScreen();
}

[[noreturn]] void GiveUp(Session& s, const std::string& line) {
  Report(line);
  EndWithMessage(s, line, "Any key ends the game.");
}

std::string Endpoint(const NetOptions& o) {
  return (o.address.empty() ? std::string("this machine") : o.address) + " port " +
         std::to_string(o.port);
}

void WaitForOpponent(Session& s) {
  const NetOptions& o = s.options;
  if (NetHost(StringValue(o.port)) != 1) GiveUp(s, "Cannot host a game on port " + std::to_string(o.port) + ".");
  s.me = NetAddPlayer(StringValue("blue"));
  if (s.me == StringValue("-1")) GiveUp(s, "The network game did not start.");
  Report("waiting for an opponent on port " + std::to_string(o.port));
  for (;;) {
    for (StringValue text = NetReceive(s.me); text.length > 0; text = NetReceive(s.me)) {
      StringValue from = NetLastSender();
      if (text == StringValue("hello") && !(from == s.me)) {
        s.peer = from;
        return;
      }
    }
    ShowNotice("Waiting for an opponent on port " + std::to_string(o.port) + " ...");
  }
}

// Host: the seed and the rules of this run go to the opponent, and both start from them.
void SendStart(Session& s, uint32_t& seed) {
  seed = static_cast<uint32_t>(RandomInteger(2147483646));
  std::string start = "start " + std::to_string(seed) + " " + std::to_string(s.options.delay) +
                      " " + std::to_string(s.options.frames);
  NetSend(s.me, s.peer, StringValue(start.c_str()));
}

bool ReadStart(const std::string& text, uint32_t& seed, NetOptions& o) {
  std::istringstream in(text);
  std::string word;
  long long seedValue = 0;
  long delay = 0, frames = 0;
  if (!(in >> word >> seedValue >> delay >> frames) || word != "start" || seedValue < 0 ||
      delay < 1 || delay > kMaxInputDelay || frames < 0) {
    return false;
  }
  seed = static_cast<uint32_t>(seedValue);
  o.delay = static_cast<int>(delay);
  o.frames = frames;
  return true;
}

void JoinOpponent(Session& s, uint32_t& seed) {
  NetOptions& o = s.options;
  double firstTry = NowMilliseconds();
  while (NetJoin(StringValue(o.address.c_str()), StringValue(o.port)) != 1) {
    if (NowMilliseconds() - firstTry > kJoinTriesMs) GiveUp(s, "No game at " + Endpoint(o) + ".");
    for (int i = 0; i < 15; ++i) ShowNotice("Joining the game at " + Endpoint(o) + " ...");
  }
  s.me = NetAddPlayer(StringValue("red"));
  if (s.me == StringValue("-1")) GiveUp(s, "The host at " + Endpoint(o) + " did not answer.");
  double asked = NowMilliseconds(), lastHello = -1e9;
  for (;;) {
    // Again now and then: a hello that came before the host's own player is lost.
    if (NowMilliseconds() - lastHello > 1000) {
      NetSend(s.me, StringValue("0"), StringValue("hello"));
      lastHello = NowMilliseconds();
    }
    for (StringValue text = NetReceive(s.me); text.length > 0; text = NetReceive(s.me)) {
      StringValue from = NetLastSender();
      if (!(from == s.me) && ReadStart(text.CStr(), seed, o)) {
        s.peer = from;
        return;
      }
    }
    if (NowMilliseconds() - asked > kStartWaitMs) GiveUp(s, "The host at " + Endpoint(o) + " did not answer.");
    ShowNotice("Joined; waiting for the host to start ...");
  }
}

void TakeMessages(Session& s) {
  for (int n = 0; n < kMaxMessagesPerFrame; ++n) {
    StringValue text = NetReceive(s.me);
    if (text.length == 0) return;
    if (!(NetLastSender() == s.peer)) continue;
    s.lastHeard = NowMilliseconds();
    PeerSays says = TakePeerMessage(s.steps, text.CStr(), s.lastHeard);
    if (says == PeerSays::Bye) OpponentLeft(s, true);
    if (says == PeerSays::Done) s.peerDone = true;
  }
}

void CheckInStep(Session& s) {
  long frame = s.steps.mismatchFrame;
  if (frame < 0) return;
  Report("out of step with the opponent at frame " + std::to_string(frame));
  EndWithMessage(s, "Out of step with the opponent at frame " + std::to_string(frame) + ":",
                 "the two games differ, so both end.");
}

void PlayFrame(Session& s) {
  const bool host = s.options.host;
  Controls own = EitherKeySet(KeysOfA(), KeysOfB());
  NetSend(s.me, s.peer, StringValue(OwnInputMessage(s.steps, own, NowMilliseconds()).c_str()));
  Controls mine, theirs;
  TakeStep(s.steps, mine, theirs);
  StepRules(host ? mine : theirs, host ? theirs : mine);
  if (s.steps.stepped == s.options.desyncAt) shipA.x += 1;  // the test switch
  s.drawn = CaptureDuel();
  DrawScene();
  if (s.steps.stepped % kChecksumEvery == 0) {
    uint64_t sum = DuelChecksum(s.drawn);
    std::printf("gravduel: frame %ld checksum %016" PRIx64 "\n", s.steps.stepped, sum);
    std::fflush(stdout);
    NetSend(s.me, s.peer, StringValue(OwnChecksumMessage(s.steps, sum).c_str()));
  }
  ShowScreen();
}

// The last frame of a limited run stays up until the opponent has played it too: a host that
// ended at once could take the controls still on their way through its network thread along.
[[noreturn]] void FinalFrame(Session& s) {
  uint64_t sum = DuelChecksum(CaptureDuel());
  std::printf("gravduel: final frame %ld checksum %016" PRIx64 " hit points %g %g scores %g %g\n",
              s.steps.stepped, sum, hullA, hullB, scoreA, scoreB);
  PrintStats(s);
  NetSend(s.me, s.peer, StringValue("done"));
  double since = NowMilliseconds();
  while (!s.peerDone && NowMilliseconds() - since < kSilenceLimitMs && !LeaveRequested()) {
    DrawLastFrame(s);
    ShowScreen();
    TakeMessages(s);
  }
  EndProgram();
}

// Controls a little late still make this frame: drawing it takes far less than a frame.
bool WaitBriefly(Session& s) {
  double until = NowMilliseconds() + kGraceMs;
  while (NowMilliseconds() < until) {
    PumpMessages();
    TakeMessages(s);
    if (ReadyToStep(s.steps)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // no busy loop while stalled
  }
  return false;
}

void Stall(Session& s) {
  double now = NowMilliseconds();
  if (s.stallStart < 0) s.stallStart = now;
  // Waiting for the opponent's very first controls is the start, not a late input.
  if (s.steps.newestPeer > s.steps.delay) ++s.steps.stalledFrames;
  DrawLastFrame(s);
  if (now - s.stallStart > kShowWaitingAfterMs) PrintCentred("Waiting for the opponent ...", 300);
  ShowScreen();
}

}  // namespace

bool ReadNetOptions(const std::string& commandLine, NetOptions& o, std::string& error) {
  std::vector<std::string> words;
  std::istringstream in(commandLine);
  for (std::string w; in >> w;) {
    if (w.size() >= 2 && w.front() == '"' && w.back() == '"') w = w.substr(1, w.size() - 2);
    words.push_back(w);
  }
  auto number = [&](size_t i, long low, long high, long& value) {
    char* end = nullptr;
    value = i < words.size() ? std::strtol(words[i].c_str(), &end, 10) : 0;
    return i < words.size() && *end == '\0' && end != words[i].c_str() && value >= low &&
           value <= high;
  };
  auto optionalPort = [&](size_t& i) {
    long port = 0;
    if (number(i + 1, 1, 65535, port)) o.port = static_cast<int>(port), ++i;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    long v = 0;
    const std::string& w = words[i];
    if (w == "--host") {
      o.host = true;
      optionalPort(i);
    } else if (w == "--join" && i + 1 < words.size()) {
      o.join = true;
      o.address = words[++i];
      optionalPort(i);
    } else if (w == "--frames" && number(i + 1, 0, 1L << 40, v)) {
      o.frames = v, ++i;
    } else if (w == "--delay" && number(i + 1, 1, kMaxInputDelay, v)) {
      o.delay = static_cast<int>(v), ++i;
    } else if (w == "--test-desync" && number(i + 1, 1, 1L << 40, v)) {
      o.desyncAt = v, ++i;
    } else if (error.empty()) {
      error = "cannot read '" + w + "'";
    }
  }
  if (o.host && o.join && error.empty()) error = "--host and --join exclude each other";
  return o.host || o.join;
}

void NetDuelMain(const NetOptions& options) {
  Session s;
  s.options = options;
  GameStartup();
  SetAutoPause(0);  // the other side plays on while this window is in the background
  SetEscapeEnds(0);
  SetCloseEnds(0);  // Escape and the close box tell the opponent first
  SetWindowTitle(StringValue(s.options.host ? "Gravduel - you fly the blue ship"
                                            : "Gravduel - you fly the red ship"));
  s.drawn = CaptureDuel();
  uint32_t seed = 0;
  if (s.options.host) {
    WaitForOpponent(s);
    SendStart(s, seed);
  } else {
    JoinOpponent(s, seed);
  }
  SeedRandom(seed);
  Report(s.options.host ? "playing blue" : "playing red");
  StartLockstep(s.steps, s.options.delay);
  s.lastHeard = NowMilliseconds();
  for (;;) {
    TakeMessages(s);
    CheckInStep(s);
    if (LeaveRequested()) Leave(s);
    if (NowMilliseconds() - s.lastHeard > kSilenceLimitMs) OpponentLeft(s, false);
    if (!ReadyToStep(s.steps) && !WaitBriefly(s)) {
      Stall(s);
      continue;
    }
    s.stallStart = -1;
    PlayFrame(s);
    if (s.options.frames > 0 && s.steps.stepped >= s.options.frames) FinalFrame(s);
  }
}
