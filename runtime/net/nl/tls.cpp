// TLS for stream sockets, on GnuTLS; the certificate is checked during the handshake.
#include <arpa/inet.h>
#include <gnutls/gnutls.h>

#include <cstring>
#include <mutex>
#include <string>

#include "runtime/net/nl/nl_internal.h"

namespace quillon {

namespace {

constexpr unsigned kHandshakeTimeoutMs = 30000;

std::mutex trustLock;
std::string trustFile;

struct TlsSession {
  gnutls_session_t session = nullptr;
  gnutls_certificate_credentials_t credentials = nullptr;
};

TlsSession* SessionOf(NlSocket& s) { return static_cast<TlsSession*>(s.tls); }

void Release(TlsSession* tls) {
  if (tls->session != nullptr) gnutls_deinit(tls->session);
  if (tls->credentials != nullptr) gnutls_certificate_free_credentials(tls->credentials);
  delete tls;
}

bool LoadTrust(gnutls_certificate_credentials_t credentials) {
  std::lock_guard<std::mutex> guard(trustLock);
  int loaded = trustFile.empty() ? gnutls_certificate_set_x509_system_trust(credentials)
                                 : gnutls_certificate_set_x509_trust_file(
                                       credentials, trustFile.c_str(), GNUTLS_X509_FMT_PEM);
  return loaded > 0;
}

bool IsAddressLiteral(const char* name) {
  in_addr v4;
  in6_addr v6;
  return inet_pton(AF_INET, name, &v4) == 1 || inet_pton(AF_INET6, name, &v6) == 1;
}

bool Handshake(TlsSession& tls, int fd, const char* serverName) {
  if (gnutls_certificate_allocate_credentials(&tls.credentials) < 0) return false;
  if (!LoadTrust(tls.credentials)) return false;
  if (gnutls_init(&tls.session, GNUTLS_CLIENT) < 0) return false;
  if (gnutls_set_default_priority(tls.session) < 0) return false;
  if (gnutls_credentials_set(tls.session, GNUTLS_CRD_CERTIFICATE, tls.credentials) < 0) {
    return false;
  }
  // Names travel in the handshake; address literals may not, but are still checked.
  if (!IsAddressLiteral(serverName)) {
    gnutls_server_name_set(tls.session, GNUTLS_NAME_DNS, serverName, std::strlen(serverName));
  }
  gnutls_session_set_verify_cert(tls.session, serverName, 0);
  gnutls_transport_set_int(tls.session, fd);
  gnutls_handshake_set_timeout(tls.session, kHandshakeTimeoutMs);
  int result;
  do {
    result = gnutls_handshake(tls.session);
  } while (result < 0 && gnutls_error_is_fatal(result) == 0);
  return result >= 0;
}

}  // namespace

NLboolean nlStartTls(NLsocket socket, const char* serverName) {
  if (serverName == nullptr) return SetNlError(NL_NULL_POINTER), false;
  auto s = FindSocket(socket);
  if (!s) return false;
  if (s->type != NL_TCP || s->tls != nullptr) return SetNlError(NL_INVALID_TYPE), false;
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
    n = gnutls_record_recv(SessionOf(s)->session, out, static_cast<size_t>(nbytes));
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
    ssize_t n =
        gnutls_record_send(SessionOf(s)->session, bytes + sent, static_cast<size_t>(nbytes - sent));
    if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
    if (n < 0) return SetNlError(NL_SOCK_DISCONNECT), -1;
    sent += static_cast<NLint>(n);
  }
  return nbytes;
}

void TlsSetTimeout(NlSocket& s) {
  unsigned ms = s.readTimeoutMs > 0 ? static_cast<unsigned>(s.readTimeoutMs) : 0;
  gnutls_record_set_timeout(SessionOf(s)->session, ms);
}

bool TlsPending(NlSocket& s) { return gnutls_record_check_pending(SessionOf(s)->session) > 0; }

void TlsEnd(NlSocket& s) {
  Release(SessionOf(s));
  s.tls = nullptr;
}

}  // namespace quillon
