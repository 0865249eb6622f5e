#include "runtime/input/text_entry.h"

#include <cmath>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/program_flow.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/text_entry_internal.h"
#include "runtime/platform/input.h"

namespace quillon {

namespace {

constexpr int kBackspace = 14, kEnter = 28, kPadEnter = 156;
constexpr int kLeftShift = 42, kRightShift = 54;
constexpr int kEntrySurface = 3;
constexpr int kCursorFrames = 20;  // idle frames before the cursor flips (it flips on the 21st)

// What a key's latest press typed, from the window system's events. The character of a press
// arrives right after its key-down event.
struct KeyText {
  uint8_t character = 0;
  bool released = true;
};
KeyText keyTexts[256];
int keyAwaitingText = -1;

uint8_t lastTypedChar = 0;

// Ctrl, both Shifts, Alt, Caps Lock, Num Lock, Applications.
bool IsModifier(int code) {
  return code == 29 || code == 42 || code == 54 || code == 56 || code == 58 || code == 69 ||
         code == 221;
}

uint8_t TypedCharacter(const InputState& input, int code) {
  if (InputScriptActive()) {
    uint8_t c = ScriptedKeyCharacter(code);
    return c != 0 ? c : platform::LayoutCharacter(code);
  }
  const KeyText& key = keyTexts[code];
  // Down in the snapshot but released in the events: a tap within the last frame, or a new
  // press whose events are still queued (its character comes with them at the next pump).
  if (key.released && input.pressedThisFrame[code] == 0) return 0;
  return key.character;
}

uint8_t Translate(const InputState& input, int code) {
  if (code == kBackspace) return 8;
  if (code == kEnter || code == kPadEnter) return 10;
  if (IsModifier(code)) return 0;
  uint8_t c = TypedCharacter(input, code);
  return c >= 32 ? c : 0;
}

// Whether no frame was shown since the last call: then nothing has dispatched the window's
// messages meanwhile. Within frames they are left to ShowScreen, which counts a press for the
// frame after it; dispatched here too, a press would count in two frames and swallow a quick
// second press of the same key.
long framesAtLastCall = -1;
bool NoFrameSinceLastCall() {
  long frames = ShowScreenCount();
  bool none = frames == framesAtLastCall;
  framesAtLastCall = frames;
  return none;
}

// The character of a newly pressed key, or 0; a held key reports once. In a loop of the
// program's own without frames the window's messages are dispatched here: a key's character
// comes with its events, and the window must still close and the end keys end the program.
uint8_t NewTypedCharacter() {
  InputState* input = CurrentInput();
  if (input == nullptr) return 0;
  if (NoFrameSinceLastCall()) PumpMessages();
  RefreshKeyboard();
  EndProgramOnEndKeys();
  uint8_t candidate = 0;
  for (int code = 0; code < 255 && candidate == 0; ++code) {
    if ((input->keyState[code] & 0x80) != 0) candidate = Translate(*input, code);
  }
  bool shift = ((input->keyState[kLeftShift] | input->keyState[kRightShift]) & 0x80) != 0;
  if (shift && candidate >= 'a' && candidate <= 'z') candidate -= 'a' - 'A';
  if (candidate == lastTypedChar) return 0;
  lastTypedChar = candidate;
  return candidate;
}

void DrawEntryLine(const StringValue& text, bool cursor, double x, double y) {
  DrawSurface(kEntrySurface);
  StringValue line = text;
  if (cursor) line += "_";
  PrintText(line, x, y);
}

}  // namespace

void TakeTypingEvent(const platform::Event& event) {
  if (event.kind == platform::EventKind::TextInput) {
    if (keyAwaitingText >= 0) {
      keyTexts[keyAwaitingText].character = platform::Cp1252OfUtf8(event.text);
    }
    keyAwaitingText = -1;
    return;
  }
  int code = platform::ScanCodeOfPlatformKey(event.code);
  bool known = code >= 0 && code < 256;
  if (event.kind == platform::EventKind::KeyDown) {
    // A key without a scan code types nothing, and its text must not go to the key before it.
    keyAwaitingText = known ? code : -1;
    if (known && event.value == 0) keyTexts[code] = KeyText{0, false};  // a repeat keeps it
  } else if (known && event.kind == platform::EventKind::KeyUp) {
    keyTexts[code].released = true;
    if (keyAwaitingText == code) keyAwaitingText = -1;
  }
}

StringValue ReadKeyChar() {
  char text[2] = {static_cast<char>(NewTypedCharacter()), '\0'};
  return StringValue(text);
}

void WaitKeyPress() {
  if (CurrentInput() == nullptr) return;  // no keyboard to wait for
  while (NewTypedCharacter() == 0) WaitForNextInput();
  while (NewTypedCharacter() != 0) {
  }
}

void InputText(StringValue& text, double x, double y) {
  if (CurrentInput() == nullptr) return;  // no keyboard to end the line
  double left = std::isfinite(x) ? std::trunc(x) : 0;
  double top = std::isfinite(y) ? std::trunc(y) : 0;
  GrabSurface(kEntrySurface);
  DrawSurface(kEntrySurface);
  PrintText(text, left, top);
  bool cursor = true;
  int idle = 0;
  for (;;) {
    ShowScreen();
    uint8_t c = NewTypedCharacter();
    if (c == 10) break;
    auto length = static_cast<int64_t>(text.LengthAsNumber());
    if (c == 8) {
      if (length > 0) text.TruncateAt(length - 1);
    } else if (c != 0) {
      char typed[2] = {static_cast<char>(c), '\0'};
      text += typed;
    } else if (++idle > kCursorFrames) {
      idle = 0;
      cursor = !cursor;
    }
    DrawEntryLine(text, cursor, left, top);
  }
  FreeSurface(kEntrySurface);
}

void InputNumber(double& value, double x, double y) {
  StringValue text;
  InputText(text, x, y);
  value = TextToNumber(text.CStr());
}

}  // namespace quillon
