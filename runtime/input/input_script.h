// Scripted keyboard and mouse: frame-numbered events whose state replaces the devices for the
// whole run. Lines:
//   FRAME key CODE down|up        CODE: scan code or key name (space, up, control_r, a, ...)
//   FRAME button 1|2|3 down|up    1 left, 2 right, 3 middle (or the words)
//   FRAME mouse X Y               pointer position in client pixels
//   FRAME wheel STEPS             wheel steps (positive away from the user)
//   FRAME pad ...                 a virtual controller: attach, detach, button N down|up,
//                                 axis N VALUE (-1 to 1), hat up|up-right|...|centre
//   FRAME type TEXT               TEXT's keys down and up one frame apart (see the README)
//   0 seed N                      start-up's random seed (a recording starts with it)
//   FRAME repeat                  at most one: every FRAME frames the script starts over, keys
//                                 and buttons up, the pointer at 0 0; every event must come before
// An event of frame n holds from the n-th ShowScreen on; '#' starts a comment.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Replaces the devices with the script; false (and a reason) when a line cannot be read.
bool LoadInputScript(const std::string& text, std::string* error = nullptr);
// Reads the file named by QUILLON_INPUT, if any (a bad script ends the program with a message),
// and starts QUILLON_RECORD's recording, which makes the input script-like for the run: keyboard
// and mouse sampled once a frame (controllers are not recorded).
void LoadInputScriptFromAutomation();
void ClearInputScript();
bool InputScriptActive();

struct ScriptedMouse {
  int x = 0, y = 0;
  bool left = false, right = false, middle = false;
  int wheel = 0;  // steps of this frame
};

// State of the script at the given frame number.
void ScriptedKeyboard(long frame, uint8_t keyState[256]);
ScriptedMouse ScriptedPointer(long frame);
// The character the key's latest scripted press types (Windows-1252); 0 for a key line, whose
// key types what the layout gives.
uint8_t ScriptedKeyCharacter(int scanCode);

}  // namespace quillon
