#include <SDL.h>
#include <strings.h>

#include <cstring>

#include "runtime/platform/input.h"

namespace quillon::platform {

namespace {

// SDL scancode -> set-1 scan code (extended keys + 128); 0 = no key.
struct ScanPair {
  SDL_Scancode sdl;
  uint8_t code;
  const char* name;
};

constexpr ScanPair kScanPairs[] = {
    {SDL_SCANCODE_ESCAPE, 1, "escape"}, {SDL_SCANCODE_1, 2, "1"}, {SDL_SCANCODE_2, 3, "2"},
    {SDL_SCANCODE_3, 4, "3"}, {SDL_SCANCODE_4, 5, "4"}, {SDL_SCANCODE_5, 6, "5"},
    {SDL_SCANCODE_6, 7, "6"}, {SDL_SCANCODE_7, 8, "7"}, {SDL_SCANCODE_8, 9, "8"},
    {SDL_SCANCODE_9, 10, "9"}, {SDL_SCANCODE_0, 11, "0"}, {SDL_SCANCODE_MINUS, 12, "minus"},
    {SDL_SCANCODE_EQUALS, 13, "equals"}, {SDL_SCANCODE_BACKSPACE, 14, "backspace"},
    {SDL_SCANCODE_TAB, 15, "tab"}, {SDL_SCANCODE_Q, 16, "q"}, {SDL_SCANCODE_W, 17, "w"},
    {SDL_SCANCODE_E, 18, "e"}, {SDL_SCANCODE_R, 19, "r"}, {SDL_SCANCODE_T, 20, "t"},
    {SDL_SCANCODE_Y, 21, "y"}, {SDL_SCANCODE_U, 22, "u"}, {SDL_SCANCODE_I, 23, "i"},
    {SDL_SCANCODE_O, 24, "o"}, {SDL_SCANCODE_P, 25, "p"},
    {SDL_SCANCODE_LEFTBRACKET, 26, "bracketleft"}, {SDL_SCANCODE_RIGHTBRACKET, 27, "bracketright"},
    {SDL_SCANCODE_RETURN, 28, "return"}, {SDL_SCANCODE_LCTRL, 29, "control_l"},
    {SDL_SCANCODE_A, 30, "a"}, {SDL_SCANCODE_S, 31, "s"}, {SDL_SCANCODE_D, 32, "d"},
    {SDL_SCANCODE_F, 33, "f"}, {SDL_SCANCODE_G, 34, "g"}, {SDL_SCANCODE_H, 35, "h"},
    {SDL_SCANCODE_J, 36, "j"}, {SDL_SCANCODE_K, 37, "k"}, {SDL_SCANCODE_L, 38, "l"},
    {SDL_SCANCODE_SEMICOLON, 39, "semicolon"}, {SDL_SCANCODE_APOSTROPHE, 40, "apostrophe"},
    {SDL_SCANCODE_GRAVE, 41, "grave"}, {SDL_SCANCODE_LSHIFT, 42, "shift_l"},
    {SDL_SCANCODE_BACKSLASH, 43, "backslash"}, {SDL_SCANCODE_NONUSHASH, 43, nullptr},
    {SDL_SCANCODE_Z, 44, "z"}, {SDL_SCANCODE_X, 45, "x"}, {SDL_SCANCODE_C, 46, "c"},
    {SDL_SCANCODE_V, 47, "v"}, {SDL_SCANCODE_B, 48, "b"}, {SDL_SCANCODE_N, 49, "n"},
    {SDL_SCANCODE_M, 50, "m"}, {SDL_SCANCODE_COMMA, 51, "comma"},
    {SDL_SCANCODE_PERIOD, 52, "period"}, {SDL_SCANCODE_SLASH, 53, "slash"},
    {SDL_SCANCODE_RSHIFT, 54, "shift_r"}, {SDL_SCANCODE_KP_MULTIPLY, 55, "kp_multiply"},
    {SDL_SCANCODE_LALT, 56, "alt_l"}, {SDL_SCANCODE_SPACE, 57, "space"},
    {SDL_SCANCODE_CAPSLOCK, 58, "caps_lock"}, {SDL_SCANCODE_F1, 59, "f1"},
    {SDL_SCANCODE_F2, 60, "f2"}, {SDL_SCANCODE_F3, 61, "f3"}, {SDL_SCANCODE_F4, 62, "f4"},
    {SDL_SCANCODE_F5, 63, "f5"}, {SDL_SCANCODE_F6, 64, "f6"}, {SDL_SCANCODE_F7, 65, "f7"},
    {SDL_SCANCODE_F8, 66, "f8"}, {SDL_SCANCODE_F9, 67, "f9"}, {SDL_SCANCODE_F10, 68, "f10"},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69, "num_lock"}, {SDL_SCANCODE_SCROLLLOCK, 70, "scroll_lock"},
    {SDL_SCANCODE_KP_7, 71, "kp_7"}, {SDL_SCANCODE_KP_8, 72, "kp_8"},
    {SDL_SCANCODE_KP_9, 73, "kp_9"}, {SDL_SCANCODE_KP_MINUS, 74, "kp_subtract"},
    {SDL_SCANCODE_KP_4, 75, "kp_4"}, {SDL_SCANCODE_KP_5, 76, "kp_5"},
    {SDL_SCANCODE_KP_6, 77, "kp_6"}, {SDL_SCANCODE_KP_PLUS, 78, "kp_add"},
    {SDL_SCANCODE_KP_1, 79, "kp_1"}, {SDL_SCANCODE_KP_2, 80, "kp_2"},
    {SDL_SCANCODE_KP_3, 81, "kp_3"}, {SDL_SCANCODE_KP_0, 82, "kp_0"},
    {SDL_SCANCODE_KP_PERIOD, 83, "kp_decimal"}, {SDL_SCANCODE_NONUSBACKSLASH, 86, "less"},
    {SDL_SCANCODE_F11, 87, "f11"}, {SDL_SCANCODE_F12, 88, "f12"},
    {SDL_SCANCODE_KP_EQUALS, 141, "kp_equal"}, {SDL_SCANCODE_KP_ENTER, 156, "kp_enter"},
    {SDL_SCANCODE_RCTRL, 157, "control_r"}, {SDL_SCANCODE_KP_DIVIDE, 181, "kp_divide"},
    {SDL_SCANCODE_PRINTSCREEN, 183, "print"}, {SDL_SCANCODE_RALT, 184, "alt_r"},
    {SDL_SCANCODE_PAUSE, 197, "pause"}, {SDL_SCANCODE_HOME, 199, "home"},
    {SDL_SCANCODE_UP, 200, "up"}, {SDL_SCANCODE_PAGEUP, 201, "prior"},
    {SDL_SCANCODE_LEFT, 203, "left"}, {SDL_SCANCODE_RIGHT, 205, "right"},
    {SDL_SCANCODE_END, 207, "end"}, {SDL_SCANCODE_DOWN, 208, "down"},
    {SDL_SCANCODE_PAGEDOWN, 209, "next"}, {SDL_SCANCODE_INSERT, 210, "insert"},
    {SDL_SCANCODE_DELETE, 211, "delete"}, {SDL_SCANCODE_LGUI, 219, "super_l"},
    {SDL_SCANCODE_RGUI, 220, "super_r"}, {SDL_SCANCODE_APPLICATION, 221, "menu"},
};

// Windows virtual-key code -> the SDL key that carries it on the current layout.
SDL_Keycode KeycodeOfVirtualKey(int vk) {
  if (vk >= 'A' && vk <= 'Z') return SDLK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return SDLK_0 + (vk - '0');
  if (vk >= 112 && vk <= 123) return SDLK_F1 + (vk - 112);
  if (vk >= 96 && vk <= 105) return vk == 96 ? SDLK_KP_0 : SDLK_KP_1 + (vk - 97);
  switch (vk) {
    case 8: return SDLK_BACKSPACE;
    case 9: return SDLK_TAB;
    case 13: return SDLK_RETURN;
    case 16: return SDLK_LSHIFT;
    case 17: return SDLK_LCTRL;
    case 18: return SDLK_LALT;
    case 27: return SDLK_ESCAPE;
    case 32: return SDLK_SPACE;
    case 33: return SDLK_PAGEUP;
    case 34: return SDLK_PAGEDOWN;
    case 35: return SDLK_END;
    case 36: return SDLK_HOME;
    case 37: return SDLK_LEFT;
    case 38: return SDLK_UP;
    case 39: return SDLK_RIGHT;
    case 40: return SDLK_DOWN;
    case 45: return SDLK_INSERT;
    case 46: return SDLK_DELETE;
    case 106: return SDLK_KP_MULTIPLY;
    case 107: return SDLK_KP_PLUS;
    case 109: return SDLK_KP_MINUS;
    case 110: return SDLK_KP_PERIOD;
    case 111: return SDLK_KP_DIVIDE;
    default: return SDLK_UNKNOWN;
  }
}

// Windows-1252 0x80-0x9F; 0 where the code page has no character.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint8_t Cp1252OfCodePoint(uint32_t cp) {
  if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<uint8_t>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return static_cast<uint8_t>(0x80 + i);
  }
  return 0;
}

uint32_t CodePointOfCp1252(uint8_t c) { return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c; }

uint8_t LowerCp1252(uint8_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;  // Š Œ Ž
  if (c == 0x9F) return 0xFF;                                // Ÿ
  return c;
}

SDL_Scancode SdlScancodeOf(int scanCode) {
  for (const ScanPair& pair : kScanPairs) {
    if (pair.code == scanCode) return pair.sdl;
  }
  return SDL_SCANCODE_UNKNOWN;
}

}  // namespace

uint8_t Cp1252OfUtf8(const char* text, const char** rest) {
  const auto* p = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
  uint32_t cp = *p;
  int more = cp < 0x80             ? 0
             : (cp & 0xE0) == 0xC0 ? 1
             : (cp & 0xF0) == 0xE0 ? 2
             : (cp & 0xF8) == 0xF0 ? 3
                                   : -1;
  if (cp != 0) ++p;
  if (more < 0) cp = 0;  // a stray continuation or invalid lead byte
  if (more > 0) cp &= 0x3F >> more;
  for (; more > 0; --more, ++p) {
    if ((*p & 0xC0) != 0x80) {  // cut short: no character, and the next one starts here
      cp = 0;
      break;
    }
    cp = (cp << 6) | (*p & 0x3F);
  }
  if (rest != nullptr) *rest = reinterpret_cast<const char*>(p);
  return Cp1252OfCodePoint(cp);
}

uint8_t LayoutCharacter(int scanCode) {
  SDL_Scancode sdl = SdlScancodeOf(scanCode);
  if (sdl == SDL_SCANCODE_UNKNOWN) return 0;
  SDL_Keycode key = SDL_GetKeyFromScancode(sdl);
  // Keys without a character carry SDLK_SCANCODE_MASK; Tab, Escape, Delete are controls.
  if (key <= 0 || (key & SDLK_SCANCODE_MASK) != 0) return 0;
  return Cp1252OfCodePoint(static_cast<uint32_t>(key));
}

int ScanCodeOfCharacter(uint8_t character) {
  uint32_t cp = CodePointOfCp1252(LowerCp1252(character));
  if (cp < 0x20) return -1;
  SDL_Scancode sdl = SDL_GetScancodeFromKey(static_cast<SDL_Keycode>(cp));
  return sdl == SDL_SCANCODE_UNKNOWN ? -1 : ScanCodeOfPlatformKey(sdl);
}

bool HasKeyboardDevice() { return true; }

void PumpDeviceState() {
  if (SDL_WasInit(SDL_INIT_EVENTS) != 0) SDL_PumpEvents();
}

void ReadKeyboard(uint8_t keyState[256]) {
  std::memset(keyState, 0, 256);
  int count = 0;
  const Uint8* sdl = SDL_GetKeyboardState(&count);
  for (const ScanPair& pair : kScanPairs) {
    if (pair.sdl < count && sdl[pair.sdl]) keyState[pair.code] = 0x80;
  }
}

bool VirtualKeyDown(int virtualKey) {
  if (virtualKey == 16) return (SDL_GetModState() & KMOD_SHIFT) != 0;
  if (virtualKey == 17) return (SDL_GetModState() & KMOD_CTRL) != 0;
  if (virtualKey == 18) return (SDL_GetModState() & KMOD_ALT) != 0;
  SDL_Keycode key = KeycodeOfVirtualKey(virtualKey);
  if (key == SDLK_UNKNOWN) return false;
  SDL_Scancode scan = SDL_GetScancodeFromKey(key);
  int count = 0;
  const Uint8* sdl = SDL_GetKeyboardState(&count);
  return scan != SDL_SCANCODE_UNKNOWN && scan < count && sdl[scan] != 0;
}

int ScanCodeOfKeyName(const char* name) {
  if (name == nullptr) return -1;
  for (const ScanPair& pair : kScanPairs) {
    if (pair.name != nullptr && strcasecmp(pair.name, name) == 0) return pair.code;
  }
  return -1;
}

int ScanCodeOfPlatformKey(int platformCode) {
  for (const ScanPair& pair : kScanPairs) {
    if (pair.sdl == platformCode) return pair.code;
  }
  return -1;
}

MouseDevice ReadMouseDevice() {
  MouseDevice m;
  Uint32 buttons = SDL_GetMouseState(&m.x, &m.y);
  m.left = (buttons & SDL_BUTTON_LMASK) != 0;
  m.right = (buttons & SDL_BUTTON_RMASK) != 0;
  m.middle = (buttons & SDL_BUTTON_MMASK) != 0;
  return m;
}

void ReadRelativeMotion(int& dx, int& dy) { SDL_GetRelativeMouseState(&dx, &dy); }

void SetExclusiveMouse(Window*, bool exclusive) {
  SDL_SetRelativeMouseMode(exclusive ? SDL_TRUE : SDL_FALSE);
}

void MovePointer(Window* window, int x, int y) {
  if (window != nullptr) SDL_WarpMouseInWindow(reinterpret_cast<SDL_Window*>(window), x, y);
}

void ShowPointer(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool PointerShown() {
  return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE && SDL_GetRelativeMouseMode() == SDL_FALSE;
}

}  // namespace quillon::platform
