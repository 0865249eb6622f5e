// The window system's event queue, reduced to what the runtime's window procedure and input
// layer need.
#pragma once

#include <cstdint>

namespace quillon::platform {

enum class EventKind {
  None,
  Activated,    // the window gained the keyboard focus
  Deactivated,  // the window lost it
  Minimised,
  Close,        // close box, window manager close or Alt+F4 from the desktop
  Moved,
  Resized,
  Exposed,
  KeyDown,      // code = scan code of the platform
  KeyUp,
  MouseWheel,   // value = wheel steps, positive away from the user
  TextInput,    // text = UTF-8 characters typed
  Quit,         // the session asks the program to end
  Other,
};

struct Event {
  EventKind kind = EventKind::None;
  uint32_t windowId = 0;
  int code = 0;
  int value = 0;
  char text[32] = {0};
};

// Removes the next waiting event; false when the queue is empty.
bool PollEvent(Event& event);
// Waits up to timeoutMilliseconds for the next event and removes it; false when none came.
bool WaitEvent(Event& event, int timeoutMilliseconds);

}  // namespace quillon::platform
