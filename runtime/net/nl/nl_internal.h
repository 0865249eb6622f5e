// The library's socket record, for the library's own files.
#pragma once

#include <atomic>
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
  bool drained = false;         // the last recv emptied the system's buffer (until the next poll)
  std::mutex writeLock;         // one packet at a time; guards outgoing and outHead
  std::vector<uint8_t> outgoing;  // non-blocking packets the system has not taken yet
  size_t outHead = 0;
  std::atomic<size_t> queued{0};  // outgoing.size() - outHead, for polls that take no lock
  bool writeBroken = false;       // the queue overflowed or a send failed: writes fail
  int readTimeoutMs = 0;          // blocking reads give up after this long without data; 0 never
  void* tls = nullptr;          // the TLS session, once nlStartTls succeeded
  ~NlSocket();
};

// The TLS side of a stream socket (tls.cpp), with nlRead's and nlWrite's results and errors.
NLint TlsRead(NlSocket& socket, uint8_t* out, NLint nbytes);
NLint TlsWrite(NlSocket& socket, const uint8_t* bytes, NLint nbytes);
bool TlsPending(NlSocket& socket);
void TlsSetTimeout(NlSocket& socket);
void TlsEnd(NlSocket& socket);

// The socket behind an id, kept alive while the caller holds it; null with NL_INVALID_SOCKET.
std::shared_ptr<NlSocket> FindSocket(NLsocket socket);
void SetNlError(NLenum error);

}  // namespace quillon
