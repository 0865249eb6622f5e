// Plumbing of the HTTP fetch: the header skipper and the idle time-out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// Counts consecutive line ends (CR ignored) across chunks; two end the header.
struct HeaderSkip {
  int32_t lineEnds = 0;
};

// Where the body starts in this chunk: count when it holds none of it.
size_t BodyStart(HeaderSkip& state, const uint8_t* chunk, size_t count);

// How long a transfer may go without data (30000 ms unless a test changes it).
void SetHttpIdleTimeout(int32_t milliseconds);
// Certificate authorities to trust instead of the system's store (tests); "" restores it.
void SetHttpTrustFile(const char* path);

}  // namespace quillon
