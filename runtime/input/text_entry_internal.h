// Plumbing of text entry: the window procedure's key and typing events tell what each key's
// latest press typed.
#pragma once

#include "runtime/platform/events.h"

namespace quillon {

// Key down, key up and text events, in the order the window system sent them.
void TakeTypingEvent(const platform::Event& event);

}  // namespace quillon
