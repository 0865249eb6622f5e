#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "runtime/platform/events.h"

namespace quillon::platform {

namespace {

EventKind WindowEventKind(Uint8 event) {
  switch (event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED: return EventKind::Activated;
    case SDL_WINDOWEVENT_FOCUS_LOST: return EventKind::Deactivated;
    case SDL_WINDOWEVENT_MINIMIZED: return EventKind::Minimised;
    case SDL_WINDOWEVENT_CLOSE: return EventKind::Close;
    case SDL_WINDOWEVENT_MOVED: return EventKind::Moved;
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: return EventKind::Resized;
    case SDL_WINDOWEVENT_EXPOSED: return EventKind::Exposed;
    default: return EventKind::Other;
  }
}

void Translate(const SDL_Event& e, Event& event) {
  event = Event();
  switch (e.type) {
    case SDL_WINDOWEVENT:
      event.kind = WindowEventKind(e.window.event);
      event.windowId = e.window.windowID;
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      event.kind = e.type == SDL_KEYDOWN ? EventKind::KeyDown : EventKind::KeyUp;
      event.windowId = e.key.windowID;
      event.code = e.key.keysym.scancode;
      event.value = e.key.repeat;
      break;
    case SDL_MOUSEWHEEL:
      event.kind = EventKind::MouseWheel;
      event.windowId = e.wheel.windowID;
      event.value = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      break;
    case SDL_TEXTINPUT:
      event.kind = EventKind::TextInput;
      event.windowId = e.text.windowID;
      std::memcpy(event.text, e.text.text, std::min(sizeof event.text - 1, std::strlen(e.text.text)));
      break;
    case SDL_QUIT:
      event.kind = EventKind::Quit;
      break;
    default:
      event.kind = EventKind::Other;
      break;
  }
}

}  // namespace

bool PollEvent(Event& event) {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return false;
  SDL_Event e;
  if (SDL_PollEvent(&e) == 0) return false;
  Translate(e, event);
  return true;
}

bool WaitEvent(Event& event, int timeoutMilliseconds) {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
    SDL_Delay(static_cast<Uint32>(timeoutMilliseconds > 0 ? timeoutMilliseconds : 0));
    return false;
  }
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, timeoutMilliseconds > 0 ? timeoutMilliseconds : 0) == 0) return false;
  Translate(e, event);
  return true;
}

}  // namespace quillon::platform
