// A certificate authority and a TLS server of the tests' own, on GnuTLS, for the fetch over TLS.
#pragma once

#include <string>
#include <vector>

namespace quillon::testing {

// PEM texts: an authority, and a server certificate it signed for one name (a dotted address
// becomes an IP entry, anything else a DNS one), with the server's key.
struct TestPki {
  std::string authority;
  std::string certificate;
  std::string key;
};
TestPki MakeTestPki(const char* serverName);

enum class TlsEnd { Goodbye, Cut, StallMidRecord };

// Accepts one connection on a raw listening socket, completes the handshake, reads the request,
// sends the chunks as records, then ends as told (StallMidRecord sends half a record and waits
// up to 20 s for the client to go).
void ServeTlsOnce(int listener, const TestPki& pki, const std::vector<std::string>& chunks,
                  TlsEnd end);

}  // namespace quillon::testing
