// The library's socket record, for the library's own files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/net/nl/nl.h"

namespace quillon {

struct NlSocket {
  int fd = -1;
  NLenum type = NL_TCP;
  bool blocking = false;
  bool listening = false;
  std::mutex readLock;          // guards buffer, head, end and broken
  std::vector<uint8_t> buffer;  // packet mode: received bytes not yet returned, head to end
  size_t head = 0;
  size_t end = 0;
  NLenum broken = NL_NO_ERROR;  // once set, every read fails with it
  std::mutex writeLock;         // one packet at a time
  void* tls = nullptr;          // the TLS session, once nlStartTls succeeded
  ~NlSocket();
};

// The TLS side of a stream socket (tls.cpp), with nlRead's and nlWrite's results and errors.
NLint TlsRead(NlSocket& socket, uint8_t* out, NLint nbytes);
NLint TlsWrite(NlSocket& socket, const uint8_t* bytes, NLint nbytes);
bool TlsPending(NlSocket& socket);
void TlsEnd(NlSocket& socket);

// The socket behind an id, kept alive while the caller holds it; null with NL_INVALID_SOCKET.
std::shared_ptr<NlSocket> FindSocket(NLsocket socket);
void SetNlError(NLenum error);

}  // namespace quillon
