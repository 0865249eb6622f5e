// Keyboard and mouse devices. Keys are numbered by set-1 keyboard scan codes (extended keys
// + 128): they name positions on the keyboard, not characters, so W A S D are 17 30 31 32 on
// every layout.
#pragma once

#include <cstdint>

namespace quillon::platform {

struct Window;

// False would send the input layer to its virtual-key fallback; a desktop keyboard is always
// there.
bool HasKeyboardDevice();
// Updates the device state from the window system without taking events off the queue.
void PumpDeviceState();
// Fills 256 bytes by scan code: 0x80 while the key is down, else 0.
void ReadKeyboard(uint8_t keyState[256]);
// Whether the key that carries a Windows virtual-key code on the current layout is down.
bool VirtualKeyDown(int virtualKey);
// The scan code of a key event's platform code (Event::code); -1 for a key without one.
int ScanCodeOfPlatformKey(int platformCode);
// The scan code of an SDL-independent key name for tests and scripts ("space", "a", "up"...);
// -1 when unknown.
int ScanCodeOfKeyName(const char* name);

// Typed characters are Windows-1252, the runtime's 8-bit text; 0 stands for none.
// The first character of UTF-8 text (as a typing event carries it), or 0 when it is not one of
// Windows-1252 or is a control character.
uint8_t Cp1252OfUtf8(const char* text, const char** rest = nullptr);
// What the key types on the current layout without modifiers, for keys that have no typing
// event to tell (scripted ones); 0 for none.
uint8_t LayoutCharacter(int scanCode);
// The key that types the character (or its lower case) on the current layout; -1 for none.
int ScanCodeOfCharacter(uint8_t character);

struct MouseDevice {
  int x = 0, y = 0;  // pointer position in the client area of the window under it
  bool left = false, right = false, middle = false;
};
MouseDevice ReadMouseDevice();
// Movement since the last call, in pixels (meaningful in exclusive mode).
void ReadRelativeMotion(int& dx, int& dy);
// Exclusive: relative motion, pointer hidden and held; shared: the desktop pointer.
void SetExclusiveMouse(Window* window, bool exclusive);
void MovePointer(Window* window, int x, int y);
void ShowPointer(bool visible);
// Whether the pointer is drawn over the runtime's windows (false while hidden or exclusive).
bool PointerShown();

}  // namespace quillon::platform
