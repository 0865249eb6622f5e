// Plumbing of the HTTP fetch: the header skipper and the idle time-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// Counts consecutive line ends (CR ignored) across chunks; two end the header. Keeps the
// header's first bytes to find the stated length in.
struct HeaderSkip {
  int32_t lineEnds = 0;
  std::string header;
};

// Where the body starts in this chunk: count when it holds none of it.
size_t BodyStart(HeaderSkip& state, const uint8_t* chunk, size_t count);
// The body length a header states (Content-Length, any case), or -1 when it states none that
// reads as a number.
int64_t StatedLength(const std::string& header);

// How long a transfer may go without data (30000 ms unless a test changes it).
void SetHttpIdleTimeout(int32_t milliseconds);
// Certificate authorities to trust instead of the system's store (tests); "" restores it.
void SetHttpTrustFile(const char* path);
// The port that speaks TLS (443 unless a test aims it at its own server; 0 restores 443).
void SetHttpTlsPort(uint16_t port);

}  // namespace quillon
