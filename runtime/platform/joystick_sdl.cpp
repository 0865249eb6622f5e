#include <SDL.h>

#include <algorithm>
#include <vector>

#include "runtime/platform/input.h"
#include "runtime/platform/joystick.h"

namespace quillon::platform {

struct Joystick {
  SDL_Joystick* device = nullptr;
  SDL_JoystickGUID guid = {};
  std::string name;
  SDL_Haptic* haptic = nullptr;
  bool hapticChecked = false;
  int effect = -1;  // the last constant force, released when the next one starts
};

namespace {

bool joysticksStarted = false;
bool hapticStarted = false;
std::vector<Joystick*> openJoysticks;

SDL_Joystick* scriptPad = nullptr;

// Names arrive as UTF-8; the runtime's text is Windows-1252, '?' for what it cannot show.
std::string NameOfUtf8(const char* text) {
  std::string out;
  for (const char* p = text != nullptr ? text : ""; *p != '\0';) {
    uint8_t c = Cp1252OfUtf8(p, &p);
    out += c != 0 ? static_cast<char>(c) : '?';
  }
  return out;
}

uint32_t HatHundredths(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kHatCentred;
  }
}

Uint8 HatBits(uint32_t hundredths) {
  if (hundredths >= 36000) return SDL_HAT_CENTERED;
  static const Uint8 kOctants[8] = {SDL_HAT_UP,        SDL_HAT_RIGHTUP, SDL_HAT_RIGHT,
                                    SDL_HAT_RIGHTDOWN, SDL_HAT_DOWN,    SDL_HAT_LEFTDOWN,
                                    SDL_HAT_LEFT,      SDL_HAT_LEFTUP};
  return kOctants[((hundredths + 2250) / 4500) % 8];
}

bool Attached(const Joystick* j) {
  return j != nullptr && j->device != nullptr && SDL_JoystickGetAttached(j->device) == SDL_TRUE;
}

void ReleaseForce(Joystick* j) {
  if (j->haptic != nullptr) {
    if (j->effect >= 0) SDL_HapticDestroyEffect(j->haptic, j->effect);
    SDL_HapticClose(j->haptic);
  }
  j->haptic = nullptr;
  j->effect = -1;
  j->hapticChecked = false;
}

// The haptic device behind a controller, when it can play a constant force.
SDL_Haptic* ConstantForceDevice(Joystick* j) {
  if (j->hapticChecked) return j->haptic;
  j->hapticChecked = true;
  if (!hapticStarted || SDL_JoystickIsHaptic(j->device) != 1) return nullptr;
  j->haptic = SDL_HapticOpenFromJoystick(j->device);
  if (j->haptic != nullptr && (SDL_HapticQuery(j->haptic) & SDL_HAPTIC_CONSTANT) == 0) {
    SDL_HapticClose(j->haptic);
    j->haptic = nullptr;
  }
  return j->haptic;
}

bool Bind(Joystick* j, int device) {
  j->device = SDL_JoystickOpen(device);
  if (j->device == nullptr) return false;
  j->guid = SDL_JoystickGetGUID(j->device);
  const char* name = SDL_JoystickName(j->device);
  j->name = NameOfUtf8(name);
  return true;
}

}  // namespace

bool StartJoysticks() {
  if (joysticksStarted) return true;
  // The game reads controllers whether or not its window has the focus (it pauses on its own).
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  joysticksStarted = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  if (joysticksStarted) hapticStarted = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
  return joysticksStarted;
}

void StopJoysticks() {
  DetachScriptPad();
  while (!openJoysticks.empty()) CloseJoystick(openJoysticks.back());
  if (hapticStarted) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
  if (joysticksStarted) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  hapticStarted = joysticksStarted = false;
}

void UpdateJoysticks() {
  if (joysticksStarted) SDL_JoystickUpdate();
}

int JoystickDeviceCount() { return joysticksStarted ? std::max(0, SDL_NumJoysticks()) : 0; }

Joystick* OpenJoystick(int device) {
  if (!joysticksStarted) return nullptr;
  auto* j = new Joystick();
  if (!Bind(j, device)) {
    delete j;
    return nullptr;
  }
  openJoysticks.push_back(j);
  return j;
}

bool JoystickDeviceIsOpen(int device) {
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device);
  return std::any_of(openJoysticks.begin(), openJoysticks.end(), [id](const Joystick* j) {
    return Attached(j) && SDL_JoystickInstanceID(j->device) == id;
  });
}

bool SameController(const Joystick* j, int device) {
  if (j == nullptr) return false;
  SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(device);
  const char* name = SDL_JoystickNameForIndex(device);
  return std::equal(std::begin(guid.data), std::end(guid.data), std::begin(j->guid.data)) &&
         NameOfUtf8(name) == j->name;
}

bool ReopenJoystick(Joystick* j, int device) {
  if (j == nullptr) return false;
  ReleaseForce(j);
  if (j->device != nullptr) SDL_JoystickClose(j->device);
  j->device = nullptr;
  return Bind(j, device);
}

void CloseJoystick(Joystick* j) {
  if (j == nullptr) return;
  ReleaseForce(j);
  if (Attached(j) && SDL_JoystickHasRumble(j->device) == SDL_TRUE) {
    SDL_JoystickRumble(j->device, 0, 0, 0);
  }
  if (j->device != nullptr) SDL_JoystickClose(j->device);
  openJoysticks.erase(std::remove(openJoysticks.begin(), openJoysticks.end(), j),
                      openJoysticks.end());
  delete j;
}

bool JoystickAttached(const Joystick* j) { return Attached(j); }

std::string JoystickDeviceName(const Joystick* j) { return j != nullptr ? j->name : ""; }

JoystickSample ReadJoystick(const Joystick* j) {
  JoystickSample s;
  if (!Attached(j)) return s;
  SDL_Joystick* d = j->device;
  int32_t* axes[8] = {&s.x, &s.y, &s.z, &s.rx, &s.ry, &s.rz, &s.sliders[0], &s.sliders[1]};
  int axisCount = std::min(SDL_JoystickNumAxes(d), 8);
  for (int a = 0; a < axisCount; ++a) *axes[a] = SDL_JoystickGetAxis(d, a);
  int hatCount = std::min(SDL_JoystickNumHats(d), 4);
  for (int h = 0; h < hatCount; ++h) s.hats[h] = HatHundredths(SDL_JoystickGetHat(d, h));
  int buttonCount = std::min(SDL_JoystickNumButtons(d), 32);
  for (int b = 0; b < buttonCount; ++b) s.buttons[b] = SDL_JoystickGetButton(d, b) ? 128 : 0;
  return s;
}

void PlayJoystickForce(Joystick* j, int32_t dirX, int32_t dirY, int32_t magnitude,
                       uint32_t milliseconds) {
  if (!Attached(j)) return;
  // The devices take a length of 0 as "until stopped": a force of no duration only stops the last.
  magnitude = milliseconds > 0 ? std::clamp(magnitude, 0, 10000) : 0;
  if (SDL_Haptic* haptic = ConstantForceDevice(j)) {
    if (j->effect >= 0) SDL_HapticDestroyEffect(haptic, j->effect);
    j->effect = -1;
    SDL_HapticStopAll(haptic);
    if (magnitude == 0) return;
    if (SDL_HapticQuery(haptic) & SDL_HAPTIC_GAIN) SDL_HapticSetGain(haptic, 100);
    SDL_HapticEffect effect = {};
    effect.type = SDL_HAPTIC_CONSTANT;
    effect.constant.direction.type = SDL_HAPTIC_CARTESIAN;
    effect.constant.direction.dir[0] = dirX;
    effect.constant.direction.dir[1] = dirY;
    effect.constant.length = milliseconds;
    effect.constant.level = static_cast<Sint16>(magnitude * 32767 / 10000);
    j->effect = SDL_HapticNewEffect(haptic, &effect);
    if (j->effect >= 0) SDL_HapticRunEffect(haptic, j->effect, 1);
    return;
  }
  if (SDL_JoystickHasRumble(j->device) == SDL_TRUE) {
    auto strength = static_cast<Uint16>(magnitude * 65535 / 10000);
    SDL_JoystickRumble(j->device, strength, strength, milliseconds);
  }
}

bool AttachScriptPad() {
  if (scriptPad != nullptr) return true;
  if (!joysticksStarted) return false;
  SDL_VirtualJoystickDesc desc = {};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.naxes = 6;
  desc.nbuttons = 32;
  desc.nhats = 1;
  desc.name = "Scripted pad";
  // It shakes by accepting rumble, so scripts run the same force path as a real pad.
  desc.Rumble = [](void*, Uint16, Uint16) { return 0; };
  int device = SDL_JoystickAttachVirtualEx(&desc);
  if (device < 0) return false;
  scriptPad = SDL_JoystickOpen(device);
  if (scriptPad == nullptr) SDL_JoystickDetachVirtual(device);
  return scriptPad != nullptr;
}

void DetachScriptPad() {
  if (scriptPad == nullptr) return;
  SDL_JoystickID id = SDL_JoystickInstanceID(scriptPad);
  SDL_JoystickClose(scriptPad);
  scriptPad = nullptr;
  for (int device = 0; device < SDL_NumJoysticks(); ++device) {
    if (SDL_JoystickGetDeviceInstanceID(device) == id) SDL_JoystickDetachVirtual(device);
  }
}

void SetScriptPadButton(int button, bool down) {
  if (scriptPad != nullptr) SDL_JoystickSetVirtualButton(scriptPad, button, down ? 1 : 0);
}

void SetScriptPadAxis(int axis, int16_t value) {
  if (scriptPad != nullptr) SDL_JoystickSetVirtualAxis(scriptPad, axis, value);
}

void SetScriptPadHat(uint32_t hundredths) {
  if (scriptPad != nullptr) SDL_JoystickSetVirtualHat(scriptPad, 0, HatBits(hundredths));
}

}  // namespace quillon::platform
