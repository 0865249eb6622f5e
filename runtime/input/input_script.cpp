#include "runtime/input/input_script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "runtime/input/input_state.h"
#include "runtime/input/joystick_internal.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/values/random.h"

namespace quillon {

namespace {

enum class ScriptEventKind { Key, Button, Mouse, Wheel, Pad, Repeat };

struct ScriptEvent {
  long frame = 0;
  ScriptEventKind kind = ScriptEventKind::Key;
  int code = 0;  // scan code, button number or wheel steps
  bool down = false;
  int x = 0, y = 0;
  uint8_t character = 0;  // what a typed key gives; 0: what the layout gives
};

struct Script {
  bool active = false;
  std::vector<ScriptEvent> events;  // in frame order
  size_t applied = 0;               // events already folded into the state below
  long frame = -1;   // the script's own frame: the run's frame modulo the period
  long period = 0;   // "FRAME repeat": the script starts over every FRAME frames; 0 never
  uint8_t keys[256] = {};
  uint8_t typed[256] = {};  // by key: the character of its latest press
  ScriptedMouse mouse;
  bool hasSeed = false;  // a "0 seed N" line
  uint32_t seed = 0;
};

Script script;

// QUILLON_RECORD: the input the program saw, written frame by frame as a script. Without a
// script the devices are sampled once a frame and held for it, exactly as a replay will hold
// them, so the replay draws the same pictures.
struct Recording {
  FILE* file = nullptr;
  bool live = false;
  uint8_t keys[256] = {};  // as last written
  ScriptedMouse mouse;
};

Recording recording;

bool ParseDown(const std::string& word, bool& down) {
  if (word == "down") return down = true, true;
  if (word == "up") return down = false, true;
  return false;
}

int ParseKeyCode(const std::string& word) {
  char* end = nullptr;
  long number = std::strtol(word.c_str(), &end, 10);
  if (end != word.c_str() && *end == '\0') return number >= 0 && number <= 255 ? int(number) : -1;
  return platform::ScanCodeOfKeyName(word.c_str());
}

int ParseButton(const std::string& word) {
  if (word == "1" || word == "left") return 1;
  if (word == "2" || word == "right") return 2;
  if (word == "3" || word == "middle") return 3;
  return -1;
}

bool ParseLine(const std::string& line, ScriptEvent& event, bool& empty) {
  std::string content = line.substr(0, line.find('#'));
  empty = content.find_first_not_of(" \t\r") == std::string::npos;
  if (empty) return true;
  std::istringstream in(content);
  std::string kind, a, b;
  if (!(in >> event.frame >> kind) || event.frame < 0) return false;
  if (kind == "key" || kind == "button") {
    if (!(in >> a >> b) || !ParseDown(b, event.down)) return false;
    event.kind = kind == "key" ? ScriptEventKind::Key : ScriptEventKind::Button;
    event.code = kind == "key" ? ParseKeyCode(a) : ParseButton(a);
    return event.code >= 0;
  }
  if (kind == "mouse") {
    event.kind = ScriptEventKind::Mouse;
    return static_cast<bool>(in >> event.x >> event.y);
  }
  if (kind == "wheel") {
    event.kind = ScriptEventKind::Wheel;
    return static_cast<bool>(in >> event.code);
  }
  if (kind == "repeat") {
    event.kind = ScriptEventKind::Repeat;
    return event.frame > 0 && !(in >> a);
  }
  if (kind == "pad") {  // code: what the pad does, x: button or axis, y: axis value or hat
    event.kind = ScriptEventKind::Pad;
    return ParseScriptedPad(in, event.code, event.x, event.y, event.down);
  }
  return false;
}

void Apply(const ScriptEvent& e) {
  switch (e.kind) {
    case ScriptEventKind::Key: script.keys[e.code] = e.down ? 0x80 : 0; break;
    case ScriptEventKind::Button:
      (e.code == 1 ? script.mouse.left : e.code == 2 ? script.mouse.right : script.mouse.middle) =
          e.down;
      break;
    case ScriptEventKind::Mouse:
      script.mouse.x = e.x;
      script.mouse.y = e.y;
      break;
    case ScriptEventKind::Wheel:
      script.mouse.wheel = AddWheelSteps(script.mouse.wheel, e.code);
      break;
    case ScriptEventKind::Pad: ApplyScriptedPad(e.code, e.x, e.y, e.down); break;
    case ScriptEventKind::Repeat: break;
  }
  if (e.kind == ScriptEventKind::Key && e.down) script.typed[e.code] = e.character;
}

// "FRAME type TEXT": each character's key goes down one frame and up the next. The key is the
// one that types the character on the current layout (0 when none does); the character typed is
// the script's own. -1: a bad line, 0: not a type line.
int ParseTypeLine(const std::string& line, std::vector<ScriptEvent>& events) {
  std::string content = line.substr(0, line.find('#'));
  std::istringstream in(content);
  long frame = 0;
  std::string kind;
  if (!(in >> frame >> kind) || kind != "type") return 0;
  std::streamoff end = in.tellg();  // -1 when the line ends at the word
  std::string text = end < 0 ? "" : content.substr(static_cast<size_t>(end) + 1);
  // Spaces before a comment are layout, not text.
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.pop_back();
  }
  if (frame < 0 || frame > std::numeric_limits<long>::max() / 4 || text.empty()) return -1;
  for (const char* p = text.c_str(); *p != '\0';) {
    ScriptEvent press;
    press.frame = frame;
    press.kind = ScriptEventKind::Key;
    press.down = true;
    press.character = platform::Cp1252OfUtf8(p, &p);
    press.code = std::max(platform::ScanCodeOfCharacter(press.character), 0);
    ScriptEvent release = press;
    release.frame = frame + 1;
    release.down = false;
    events.push_back(press);
    events.push_back(release);
    frame += 2;
  }
  return 1;
}

// "0 seed N": start-up's random seed. -1: a bad line, 0: not a seed line.
int ParseSeedLine(const std::string& line, uint32_t& seed) {
  std::istringstream in(line.substr(0, line.find('#')));
  std::string frame, kind, number, extra;
  if (!(in >> frame >> kind) || kind != "seed") return 0;
  if (frame != "0" || !(in >> number) || (in >> extra)) return -1;
  char* end = nullptr;
  unsigned long long value = std::strtoull(number.c_str(), &end, 10);
  if (number[0] == '-' || *end != '\0' || value > UINT32_MAX) return -1;
  seed = static_cast<uint32_t>(value);
  return 1;
}

void SampleDevices() {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  platform::PumpDeviceState();
  platform::ReadKeyboard(script.keys);
  for (int code = 0; code < 256; ++code) {
    if (input->pressedThisFrame[code] != 0) script.keys[code] = 0x80;  // a tap between frames
  }
  platform::MouseDevice device = platform::ReadMouseDevice();
  script.mouse = {device.x, device.y, device.left, device.right, device.middle, input->wheelSteps};
  input->wheelSteps = 0;
}

void RecordChanges(long frame) {
  FILE* out = recording.file;
  for (int code = 0; code < 256; ++code) {
    bool down = (script.keys[code] & 0x80) != 0;
    if (down == ((recording.keys[code] & 0x80) != 0)) continue;
    std::fprintf(out, "%ld key %d %s\n", frame, code, down ? "down" : "up");
    recording.keys[code] = script.keys[code];
  }
  const ScriptedMouse& now = script.mouse;
  ScriptedMouse& was = recording.mouse;
  if (now.x != was.x || now.y != was.y) std::fprintf(out, "%ld mouse %d %d\n", frame, now.x, now.y);
  const bool ScriptedMouse::*buttons[] = {&ScriptedMouse::left, &ScriptedMouse::right,
                                          &ScriptedMouse::middle};
  for (int b = 0; b < 3; ++b) {
    if (now.*buttons[b] == was.*buttons[b]) continue;
    std::fprintf(out, "%ld button %d %s\n", frame, b + 1, now.*buttons[b] ? "down" : "up");
  }
  if (now.wheel != 0) std::fprintf(out, "%ld wheel %d\n", frame, now.wheel);
  was = now;
  std::fflush(out);  // a run that dies keeps what it recorded
}

// Frames only move forward in a run; a step back (a test reusing the script, or a repeating
// script's new round) starts over.
void AdvanceTo(long frame) {
  const long runFrame = frame;  // a recording counts the run's frames, not the script's rounds
  if (script.period > 0 && frame >= 0) frame %= script.period;
  if (frame == script.frame) return;
  if (frame < script.frame) {
    script.applied = 0;
    std::fill(std::begin(script.keys), std::end(script.keys), 0);
    script.mouse = ScriptedMouse();
  }
  script.mouse.wheel = 0;  // wheel steps belong to their own frame
  while (script.applied < script.events.size() && script.events[script.applied].frame <= frame) {
    const ScriptEvent& e = script.events[script.applied++];
    if (e.kind != ScriptEventKind::Wheel || e.frame == frame) Apply(e);
  }
  if (recording.live) SampleDevices();
  if (recording.file != nullptr) RecordChanges(runFrame);
  script.frame = frame;
}

void StartRecording(const std::string& path) {
  recording = Recording();
  recording.file = std::fopen(path.c_str(), "w");
  if (recording.file == nullptr) {
    std::fprintf(stderr, "QUILLON_RECORD %s: cannot write the file\n", path.c_str());
    platform::ExitProcess(2);
  }
  recording.live = !script.active;
  script.active = true;
  std::fprintf(recording.file, "# recorded input; QUILLON_INPUT=FILE replays it\n0 seed %u\n",
               script.hasSeed ? script.seed : StartupRandomSeed());
}

}  // namespace

bool LoadInputScript(const std::string& text, std::string* error) {
  std::vector<ScriptEvent> events;
  bool hasSeed = false;
  uint32_t seed = 0;
  std::istringstream in(text);
  std::string line;
  long period = 0;
  for (int number = 1; std::getline(in, line); ++number) {
    ScriptEvent event;
    bool empty = false;
    int seedLine = ParseSeedLine(line, seed);
    int typed = seedLine != 0 ? 0 : ParseTypeLine(line, events);
    bool bad = seedLine < 0 || typed < 0 ||
               (seedLine == 0 && typed == 0 && !ParseLine(line, event, empty));
    bool repeat = !bad && seedLine == 0 && typed == 0 && !empty &&
                  event.kind == ScriptEventKind::Repeat;
    if (bad || (repeat && period > 0)) {
      if (error) *error = "line " + std::to_string(number) + ": " + line;
      return false;
    }
    hasSeed = hasSeed || seedLine > 0;
    if (repeat) {
      period = event.frame;
    } else if (seedLine == 0 && typed == 0 && !empty) {
      events.push_back(event);
    }
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  // An event on or after the repeat frame would never happen: say so rather than drop it.
  if (period > 0 && !events.empty() && events.back().frame >= period) {
    if (error) *error = "an event at frame " + std::to_string(events.back().frame) +
                        " is not before the repeat frame " + std::to_string(period);
    return false;
  }
  script = Script();
  script.period = period;
  script.events = std::move(events);
  script.active = true;
  script.hasSeed = hasSeed;
  script.seed = seed;
  return true;
}

void LoadInputScriptFromAutomation() {
  const platform::Automation& automation = platform::GetAutomation();
  const std::string& path = automation.inputScript;
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error = in ? "" : "cannot read the file";
    if (!in || !LoadInputScript(text.str(), &error)) {
      std::fprintf(stderr, "QUILLON_INPUT %s: %s\n", path.c_str(), error.c_str());
      platform::ExitProcess(2);
    }
    if (script.hasSeed) SeedRandom(script.seed);
  }
  if (!automation.record.empty()) StartRecording(automation.record);
}

void ClearInputScript() { script = Script(); }

bool InputScriptActive() { return script.active; }

void ScriptedKeyboard(long frame, uint8_t keyState[256]) {
  AdvanceTo(frame);
  std::copy(std::begin(script.keys), std::end(script.keys), keyState);
}

uint8_t ScriptedKeyCharacter(int scanCode) {
  return scanCode >= 0 && scanCode < 256 ? script.typed[scanCode] : 0;
}

ScriptedMouse ScriptedPointer(long frame) {
  AdvanceTo(frame);
  return script.mouse;
}

}  // namespace quillon
