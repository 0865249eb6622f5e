// The file chooser.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Lets the player choose a file: open non-zero to open one, 0 to save one. filter holds
// description|pattern pairs separated by "|" (patterns may list several, split by ";"). The
// desktop's chooser is used when there is one, else one drawn in the window (always under
// QUILLON_NO_DIALOGS). The chosen path with "/" separators, or "NO_FILE" when cancelled; the
// current directory is left as it was.
// Example:
//   StringValue level = FileDialog(1, "Levels|*.map|All files|*");
//   if (level != "NO_FILE") LoadBackground(level);
StringValue FileDialog(double open, const StringValue& filter);

}  // namespace quillon
