// The one rule for turning a command's double argument into a 32-bit integer.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

// Truncates toward zero. NaN and values outside the 32-bit range give INT32_MIN, the value the
// x86 conversion instruction produces, so nothing downstream sees undefined behaviour.
inline int32_t TruncateToInt32(double x) {
#if defined(__SSE2__)
  // The instruction itself, without the two range tests: hit tests call this per coordinate.
  return _mm_cvttsd_si32(_mm_set_sd(x));
#else
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
  return INT32_MIN;
#endif
}

}  // namespace quillon
