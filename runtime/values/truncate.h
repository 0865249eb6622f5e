// The one rule for turning a command's double argument into a 32-bit integer.
#pragma once

#include <cstdint>

namespace quillon {

// Truncates toward zero. NaN and values outside the 32-bit range give INT32_MIN, the value the
// x86 conversion instruction produces, so nothing downstream sees undefined behaviour.
inline int32_t TruncateToInt32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
  return INT32_MIN;
}

}  // namespace quillon
