// TLS for stream sockets, on GnuTLS; the certificate is checked during the handshake.
#include <arpa/inet.h>
#include <gnutls/gnutls.h>

#include <cstring>
#include <mutex>
#include <string>

#include "runtime/net/nl/nl_internal.h"
#include "runtime/platform/library.h"

namespace quillon {

namespace {

constexpr unsigned kHandshakeTimeoutMs = 30000;

// GnuTLS is loaded by the first TLS connection: linked in, it costs every program 2 MB of memory
// from start-up, and most programs never make one. The name is the library's ABI of the headers.
constexpr const char* kGnuTlsLibrary = "libgnutls.so.30";

struct GnuTls {
  decltype(&gnutls_deinit) deinit = nullptr;
  decltype(&gnutls_certificate_free_credentials) freeCredentials = nullptr;
  decltype(&gnutls_certificate_set_x509_system_trust) setSystemTrust = nullptr;
  decltype(&gnutls_certificate_set_x509_trust_file) setTrustFile = nullptr;
  decltype(&gnutls_certificate_allocate_credentials) allocateCredentials = nullptr;
  decltype(&gnutls_init) init = nullptr;
  decltype(&gnutls_set_default_priority) setDefaultPriority = nullptr;
  decltype(&gnutls_credentials_set) setCredentials = nullptr;
  decltype(&gnutls_server_name_set) setServerName = nullptr;
  decltype(&gnutls_session_set_verify_cert) setVerifyCert = nullptr;
  decltype(&gnutls_transport_set_int2) setTransport = nullptr;
  decltype(&gnutls_handshake_set_timeout) setHandshakeTimeout = nullptr;
  decltype(&gnutls_handshake) handshake = nullptr;
  decltype(&gnutls_error_is_fatal) errorIsFatal = nullptr;
  decltype(&gnutls_record_recv) receive = nullptr;
  decltype(&gnutls_record_send) send = nullptr;
  decltype(&gnutls_record_set_timeout) setRecordTimeout = nullptr;
  decltype(&gnutls_record_check_pending) checkPending = nullptr;
};

template <typename Fn>
bool Find(void* library, Fn& entry, const char* name) {
  entry = reinterpret_cast<Fn>(platform::FindLibrarySymbol(library, name));
  return entry != nullptr;
}

bool FindAll(void* library, GnuTls& g) {
  return Find(library, g.deinit, "gnutls_deinit") &&
         Find(library, g.freeCredentials, "gnutls_certificate_free_credentials") &&
         Find(library, g.setSystemTrust, "gnutls_certificate_set_x509_system_trust") &&
         Find(library, g.setTrustFile, "gnutls_certificate_set_x509_trust_file") &&
         Find(library, g.allocateCredentials, "gnutls_certificate_allocate_credentials") &&
         Find(library, g.init, "gnutls_init") &&
         Find(library, g.setDefaultPriority, "gnutls_set_default_priority") &&
         Find(library, g.setCredentials, "gnutls_credentials_set") &&
         Find(library, g.setServerName, "gnutls_server_name_set") &&
         Find(library, g.setVerifyCert, "gnutls_session_set_verify_cert") &&
         Find(library, g.setTransport, "gnutls_transport_set_int2") &&
         Find(library, g.setHandshakeTimeout, "gnutls_handshake_set_timeout") &&
         Find(library, g.handshake, "gnutls_handshake") &&
         Find(library, g.errorIsFatal, "gnutls_error_is_fatal") &&
         Find(library, g.receive, "gnutls_record_recv") &&
         Find(library, g.send, "gnutls_record_send") &&
         Find(library, g.setRecordTimeout, "gnutls_record_set_timeout") &&
         Find(library, g.checkPending, "gnutls_record_check_pending");
}

// The library's entry points, loaded once and kept; null when it or one of them is missing.
const GnuTls* LoadGnuTls() {
  static GnuTls entries;
  static const bool loaded = [] {
    void* library = platform::LoadLibrary(kGnuTlsLibrary);
    if (library != nullptr && FindAll(library, entries)) return true;
    platform::ReleaseLibrary(library);
    return false;
  }();
  return loaded ? &entries : nullptr;
}

// Only reached for sockets whose handshake ran, so after a successful load.
const GnuTls& Tls() { return *LoadGnuTls(); }

std::mutex trustLock;
std::string trustFile;

struct TlsSession {
  gnutls_session_t session = nullptr;
  gnutls_certificate_credentials_t credentials = nullptr;
};

TlsSession* SessionOf(NlSocket& s) { return static_cast<TlsSession*>(s.tls); }

void Release(TlsSession* tls) {
  if (tls->session != nullptr) Tls().deinit(tls->session);
  if (tls->credentials != nullptr) Tls().freeCredentials(tls->credentials);
  delete tls;
}

bool LoadTrust(gnutls_certificate_credentials_t credentials) {
  std::lock_guard<std::mutex> guard(trustLock);
  int loaded = trustFile.empty()
                   ? Tls().setSystemTrust(credentials)
                   : Tls().setTrustFile(credentials, trustFile.c_str(), GNUTLS_X509_FMT_PEM);
  return loaded > 0;
}

bool IsAddressLiteral(const char* name) {
  in_addr v4;
  in6_addr v6;
  return inet_pton(AF_INET, name, &v4) == 1 || inet_pton(AF_INET6, name, &v6) == 1;
}

bool Handshake(TlsSession& tls, int fd, const char* serverName) {
  const GnuTls& g = Tls();
  if (g.allocateCredentials(&tls.credentials) < 0) return false;
  if (!LoadTrust(tls.credentials)) return false;
  if (g.init(&tls.session, GNUTLS_CLIENT) < 0) return false;
  if (g.setDefaultPriority(tls.session) < 0) return false;
  if (g.setCredentials(tls.session, GNUTLS_CRD_CERTIFICATE, tls.credentials) < 0) return false;
  // Names travel in the handshake; address literals may not, but are still checked.
  if (!IsAddressLiteral(serverName)) {
    g.setServerName(tls.session, GNUTLS_NAME_DNS, serverName, std::strlen(serverName));
  }
  g.setVerifyCert(tls.session, serverName, 0);
  g.setTransport(tls.session, fd, fd);
  g.setHandshakeTimeout(tls.session, kHandshakeTimeoutMs);
  int result;
  do {
    result = g.handshake(tls.session);
  } while (result < 0 && g.errorIsFatal(result) == 0);
  return result >= 0;
}

}  // namespace

NLboolean nlStartTls(NLsocket socket, const char* serverName) {
  if (serverName == nullptr) return SetNlError(NL_NULL_POINTER), false;
  auto s = FindSocket(socket);
  if (!s) return false;
  if (s->type != NL_TCP || s->tls != nullptr) return SetNlError(NL_INVALID_TYPE), false;
  if (LoadGnuTls() == nullptr) return SetNlError(NL_TLS_ERROR), false;
  std::lock_guard<std::mutex> reading(s->readLock);
  std::lock_guard<std::mutex> writing(s->writeLock);
  auto* tls = new TlsSession();
  if (!Handshake(*tls, s->fd, serverName)) {
    Release(tls);
    return SetNlError(NL_TLS_ERROR), false;
  }
  s->tls = tls;
  TlsSetTimeout(*s);
  return true;
}

void nlSetTlsTrustFile(const char* path) {
  std::lock_guard<std::mutex> guard(trustLock);
  trustFile = path == nullptr ? "" : path;
}

NLint TlsRead(NlSocket& s, uint8_t* out, NLint nbytes) {
  ssize_t n;
  do {
    n = Tls().receive(SessionOf(s)->session, out, static_cast<size_t>(nbytes));
  } while (n == GNUTLS_E_INTERRUPTED);
  if (n > 0) return static_cast<NLint>(n);
  // Non-blocking: nothing yet. Blocking: the read time-out passed (GnuTLS says "again" too).
  if (n == GNUTLS_E_AGAIN && !s.blocking) return 0;
  // Only the close notification ends a stream whole: without it, the stream may have been cut.
  if (n == 0 || n == GNUTLS_E_PREMATURE_TERMINATION) {
    s.broken = n == 0 ? NL_MESSAGE_END : NL_MESSAGE_CUT;
    SetNlError(s.broken);
  } else {
    s.broken = NL_SOCK_DISCONNECT;
    SetNlError(NL_SOCK_DISCONNECT);
  }
  return -1;
}

NLint TlsWrite(NlSocket& s, const uint8_t* bytes, NLint nbytes) {
  NLint sent = 0;
  while (sent < nbytes) {
    ssize_t n = Tls().send(SessionOf(s)->session, bytes + sent, static_cast<size_t>(nbytes - sent));
    if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
    if (n < 0) return SetNlError(NL_SOCK_DISCONNECT), -1;
    sent += static_cast<NLint>(n);
  }
  return nbytes;
}

void TlsSetTimeout(NlSocket& s) {
  unsigned ms = s.readTimeoutMs > 0 ? static_cast<unsigned>(s.readTimeoutMs) : 0;
  Tls().setRecordTimeout(SessionOf(s)->session, ms);
}

bool TlsPending(NlSocket& s) { return Tls().checkPending(SessionOf(s)->session) > 0; }

void TlsEnd(NlSocket& s) {
  Release(SessionOf(s));
  s.tls = nullptr;
}

}  // namespace quillon
