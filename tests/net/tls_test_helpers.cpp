#include "tests/net/tls_test_helpers.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <cstring>
#include <ctime>

#include "tests/net/net_test_helpers.h"

namespace quillon::testing {

namespace {

gnutls_x509_privkey_t NewKey() {
  gnutls_x509_privkey_t key;
  gnutls_x509_privkey_init(&key);
  gnutls_x509_privkey_generate(key, GNUTLS_PK_ECDSA,
                               GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0);
  return key;
}

gnutls_x509_crt_t NewCertificate(const char* commonName, gnutls_x509_privkey_t key, int serial) {
  gnutls_x509_crt_t crt;
  gnutls_x509_crt_init(&crt);
  gnutls_x509_crt_set_version(crt, 3);
  unsigned char number = static_cast<unsigned char>(serial);
  gnutls_x509_crt_set_serial(crt, &number, 1);
  gnutls_x509_crt_set_activation_time(crt, std::time(nullptr) - 3600);
  gnutls_x509_crt_set_expiration_time(crt, std::time(nullptr) + 86400);
  gnutls_x509_crt_set_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, commonName,
                                std::strlen(commonName));
  gnutls_x509_crt_set_key(crt, key);
  unsigned char id[64];
  size_t size = sizeof id;
  gnutls_x509_crt_get_key_id(crt, 0, id, &size);
  gnutls_x509_crt_set_subject_key_id(crt, id, size);
  return crt;
}

std::string Pem(gnutls_x509_crt_t crt) {
  gnutls_datum_t out;
  gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, &out);
  std::string text(reinterpret_cast<char*>(out.data), out.size);
  gnutls_free(out.data);
  return text;
}

gnutls_datum_t Datum(const std::string& text) {
  return {reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
          static_cast<unsigned>(text.size())};
}

}  // namespace

TestPki MakeTestPki(const char* serverName) {
  gnutls_x509_privkey_t caKey = NewKey();
  gnutls_x509_crt_t ca = NewCertificate("Test Authority", caKey, 1);
  gnutls_x509_crt_set_basic_constraints(ca, 1, -1);
  gnutls_x509_crt_set_key_usage(ca, GNUTLS_KEY_KEY_CERT_SIGN | GNUTLS_KEY_CRL_SIGN);
  gnutls_x509_crt_sign2(ca, ca, caKey, GNUTLS_DIG_SHA256, 0);

  gnutls_x509_privkey_t key = NewKey();
  gnutls_x509_crt_t crt = NewCertificate(serverName, key, 2);
  gnutls_x509_crt_set_basic_constraints(crt, 0, -1);
  gnutls_x509_crt_set_key_usage(crt, GNUTLS_KEY_DIGITAL_SIGNATURE);
  gnutls_x509_crt_set_key_purpose_oid(crt, GNUTLS_KP_TLS_WWW_SERVER, 0);
  in_addr address{};
  if (inet_pton(AF_INET, serverName, &address) == 1) {
    gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, &address, 4, GNUTLS_FSAN_SET);
  } else {
    gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_DNSNAME, serverName,
                                         std::strlen(serverName), GNUTLS_FSAN_SET);
  }
  gnutls_x509_crt_sign2(crt, ca, caKey, GNUTLS_DIG_SHA256, 0);

  TestPki pki{Pem(ca), Pem(crt), ""};
  gnutls_datum_t out;
  gnutls_x509_privkey_export2(key, GNUTLS_X509_FMT_PEM, &out);
  pki.key.assign(reinterpret_cast<char*>(out.data), out.size);
  gnutls_free(out.data);
  gnutls_x509_crt_deinit(crt);
  gnutls_x509_crt_deinit(ca);
  gnutls_x509_privkey_deinit(key);
  gnutls_x509_privkey_deinit(caKey);
  return pki;
}

void ServeTlsOnce(int listener, const TestPki& pki, const std::vector<std::string>& chunks,
                  TlsEnd end) {
  int fd = RawAccept(listener);
  if (fd < 0) return;
  gnutls_certificate_credentials_t credentials;
  gnutls_certificate_allocate_credentials(&credentials);
  gnutls_datum_t cert = Datum(pki.certificate), key = Datum(pki.key);
  gnutls_certificate_set_x509_key_mem(credentials, &cert, &key, GNUTLS_X509_FMT_PEM);
  gnutls_session_t session;
  gnutls_init(&session, GNUTLS_SERVER);
  gnutls_set_default_priority(session);
  gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials);
  gnutls_transport_set_int(session, fd);
  gnutls_handshake_set_timeout(session, 10000);
  int result;
  do {
    result = gnutls_handshake(session);
  } while (result < 0 && gnutls_error_is_fatal(result) == 0);
  std::string request;
  char buffer[1024];
  while (result >= 0 && request.find("\r\n\r\n") == std::string::npos) {
    ssize_t n = gnutls_record_recv(session, buffer, sizeof buffer);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  for (const std::string& chunk : chunks) {
    if (result >= 0) gnutls_record_send(session, chunk.data(), chunk.size());
  }
  if (result >= 0 && end == TlsEnd::Goodbye) gnutls_bye(session, GNUTLS_SHUT_WR);
  if (result >= 0 && end == TlsEnd::StallMidRecord) {
    const unsigned char half[] = {0x17, 0x03, 0x03, 0x00, 0x64, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    RawSend(fd, half, sizeof half);
    for (int i = 0; i < 2 && !RawSeesClose(fd); ++i) {
    }
  }
  RawClose(fd);
  gnutls_deinit(session);
  gnutls_certificate_free_credentials(credentials);
}

}  // namespace quillon::testing
