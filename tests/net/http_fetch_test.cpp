// HttpGetFile against small loopback servers of our own that answer from a script.
#include "runtime/net/http_fetch.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/net/http_internal.h"
#include "tests/net/net_test_helpers.h"
#include "tests/support/process.h"

namespace quillon {
namespace {

using namespace quillon::testing;
namespace fs = std::filesystem;

enum class End { Close, Reset, Stall };

// Accepts one connection, reads the request, sends the chunks apart, then ends as told.
class ScriptedServer {
 public:
  ScriptedServer(std::vector<std::string> chunks, End end) {
    listener = RawListen(port);
    thread = std::thread([this, chunks, end] { Serve(chunks, end); });
  }
  ~ScriptedServer() {
    if (thread.joinable()) thread.join();
    RawClose(listener);
  }
  std::string Request() {
    thread.join();
    return request;
  }
  int port = 0;
  int listener = -1;

 private:
  void Serve(const std::vector<std::string>& chunks, End end) {
    int fd = RawAccept(listener);
    if (fd < 0) return;
    char byte;
    while (request.find("\r\n\r\n") == std::string::npos && RawReceive(fd, &byte, 1)) {
      request += byte;
    }
    for (const std::string& chunk : chunks) {
      RawSend(fd, chunk.data(), chunk.size());
      usleep(20000);  // pacing, so the chunks tend to arrive apart
    }
    if (end == End::Reset) {
      linger hard{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    if (end == End::Stall) RawSeesClose(fd);  // until the client gives up
    RawClose(fd);
  }
  std::thread thread;
  std::string request;
};

class HttpFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::string(QUILLON_BINARY_DIR) + "/test-tmp/http-" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    out = dir + "/out.bin";
  }
  void TearDown() override { SetHttpIdleTimeout(30000); }
  double Get(int port, const char* path = "/doc") {
    return HttpGetFile(StringValue("127.0.0.1"), StringValue(path), port, StringValue(out.c_str()));
  }
  std::string dir, out;
};

TEST_F(HttpFetchTest, SendsTheRequestAndStoresTheBodyAfterTheBlankLine) {
  ScriptedServer server({"HTTP/1.0 200 OK\r\nServer: t\r\n\r\nhi"}, End::Close);
  EXPECT_EQ(Get(server.port, "/a/b?c=d"), 1);
  EXPECT_EQ(
      server.Request(),
      "GET /a/b?c=d HTTP/1.0\r\nHost:127.0.0.1\r\nAccept: */*\r\nUser-Agent: Quillon game\r\n\r\n");
  EXPECT_EQ(ReadWholeFile(out), "hi");
  EXPECT_EQ(fs::directory_iterator(dir)->path().filename(), "out.bin") << "a temporary file left";
}

TEST_F(HttpFetchTest, HeadersEndAtTwoLineEndsWhereverTheChunksSplit) {
  struct Case {
    std::vector<std::string> chunks;
    std::string body;
  };
  const Case cases[] = {
      {{"HTTP/1.0 200 OK\r", "\nX: y\r\n", "\r", "\nbody"}, "body"},
      {{"HTTP/1.0 404 Not Found\r\n\r\nmissing", " page"}, "missing page"},  // status ignored
      {{"HTTP/1.0 200 OK\nA: b\n\nplain\r\n\r\n"}, "plain\r\n\r\n"},
      {{"HTTP/1.0 200 OK\r\nA: b\r\n"}, ""},  // no blank line: nothing stored
  };
  for (const Case& c : cases) {
    ScriptedServer server(c.chunks, End::Close);
    EXPECT_EQ(Get(server.port), 1);
    EXPECT_EQ(ReadWholeFile(out), c.body);
  }
  // The same response cut at every byte gives the same body.
  const std::string response = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nxyz";
  for (size_t cut = 0; cut <= response.size(); ++cut) {
    HeaderSkip skip;
    std::string body;
    for (const std::string& part : {response.substr(0, cut), response.substr(cut)}) {
      auto* bytes = reinterpret_cast<const uint8_t*>(part.data());
      body += part.substr(BodyStart(skip, bytes, part.size()));
    }
    EXPECT_EQ(body, "xyz") << "cut at " << cut;
  }
}

TEST_F(HttpFetchTest, FailuresLeaveThePreviousFileAlone) {
  std::ofstream(out) << "old copy";
  {
    ScriptedServer server({"HTTP/1.0 200 OK\r\n\r\npart of a bo"}, End::Reset);
    EXPECT_EQ(Get(server.port), 0);
  }
  SetHttpIdleTimeout(300);
  {
    ScriptedServer server({"HTTP/1.0 200 OK\r\n\r\nand then nothing"}, End::Stall);
    EXPECT_EQ(Get(server.port), 0);
  }
  // Control bytes would inject request lines: refused before any connection.
  int port = 0;
  int listener = RawListen(port);
  for (const char* path : {"/a\r\nX-Evil: 1", "/a\tb", "/\x7f"}) EXPECT_EQ(Get(port, path), 0);
  EXPECT_EQ(
      HttpGetFile(StringValue("127.0.0.1\n"), StringValue("/"), port, StringValue(out.c_str())), 0);
  pollfd p{listener, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 0), 0) << "it connected";
  RawClose(listener);
  EXPECT_EQ(Get(FreePort()), 0) << "nobody listening";
  EXPECT_EQ(ReadWholeFile(out), "old copy");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// A certificate authority and a server certificate it signed for one name (a dotted address
// becomes an IP entry, anything else a DNS one), as PEM texts, made with GnuTLS.
struct TestPki {
  std::string authority;
  std::string certificate;
  std::string key;
};

enum class TlsEnd { Goodbye, Cut, StallMidRecord };


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

// Accepts one connection, completes the handshake, reads the request, sends the chunks as
// records, then ends as told (StallMidRecord sends half a record and waits up to 20 s).
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

size_t FilesIn(const std::string& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST_F(HttpFetchTest, AShortBodyOrARefusedWriteGivesZeroAndKeepsTheOldFile) {
  std::ofstream(out) << "old copy";
  {
    ScriptedServer server({"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789"},
                          End::Close);
    EXPECT_EQ(Get(server.port), 0) << "a body short of its stated length";
  }
  {
    ScriptedServer server({"HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'x')}, End::Close);
    // A file-size limit of 1000 bytes, in a child so the limit stays there.
    pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{1000, 1000};
      setrlimit(RLIMIT_FSIZE, &limit);
      _exit(Get(server.port) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a refused write gave 1";
  }
  EXPECT_EQ(ReadWholeFile(out), "old copy");
  EXPECT_EQ(FilesIn(dir), 1u) << "a temporary file left";
}

TEST_F(HttpFetchTest, AKilledDownloadsLeftoverGoesWithTheNextOne) {
  ScriptedServer stalled({"HTTP/1.0 200 OK\r\n\r\npartial"}, End::Stall);
  pid_t child = fork();
  if (child == 0) _exit(static_cast<int>(Get(stalled.port)));
  for (int i = 0; i < 500 && FilesIn(dir) == 0; ++i) usleep(10000);
  ASSERT_EQ(FilesIn(dir), 1u) << "the download never started";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  ScriptedServer server({"HTTP/1.0 200 OK\r\n\r\nnew"}, End::Close);
  EXPECT_EQ(Get(server.port), 1);
  EXPECT_EQ(ReadWholeFile(out), "new");
  EXPECT_EQ(FilesIn(dir), 1u) << "the killed download's temporary file stayed";
}

// TLS against a server of our own on a port of our own, which the fetch treats as 443.
class HttpsTest : public HttpFetchTest {
 protected:
  void SetUp() override {
    HttpFetchTest::SetUp();
    listener = RawListen(port);
    SetHttpTlsPort(static_cast<uint16_t>(port));
  }
  void TearDown() override {
    HttpFetchTest::TearDown();
    SetHttpTlsPort(0);
    SetHttpTrustFile("");
    RawClose(listener);
  }
  double Fetch(const TestPki& pki, std::vector<std::string> chunks, TlsEnd end) {
    std::ofstream(dir + "/ca.pem") << pki.authority;
    SetHttpTrustFile((dir + "/ca.pem").c_str());
    std::thread server([&] { ServeTlsOnce(listener, pki, chunks, end); });
    double result = Get(port);
    server.join();
    fs::remove(dir + "/ca.pem");
    return result;
  }
  int listener = -1;
  int port = 0;
};

TEST_F(HttpsTest, TheServerMustProveItsNameAndEndItsStream) {
  const TestPki right = MakeTestPki("127.0.0.1");
  std::ofstream(out) << "old copy";
  EXPECT_EQ(Fetch(MakeTestPki("elsewhere.example"), {"HTTP/1.0 200 OK\r\n\r\nx"}, TlsEnd::Goodbye),
            0)
      << "a trusted certificate for another name";
  EXPECT_EQ(Fetch(right, {"HTTP/1.0 200 OK\r\n\r\ncut"}, TlsEnd::Cut), 0)
      << "an end without the close notification";
  EXPECT_EQ(Fetch(right, {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"},
                  TlsEnd::Goodbye),
            0)
      << "short of the stated length";
  EXPECT_EQ(ReadWholeFile(out), "old copy");
  EXPECT_EQ(Fetch(right, {"HTTP/1.0 200 OK\r\ncontent-length: 6\r\n\r\n", "secret"}, TlsEnd::Cut),
            1)
      << "the stated length all arrived";
  EXPECT_EQ(ReadWholeFile(out), "secret");
  EXPECT_EQ(Fetch(right, {"HTTP/1.0 200 OK\r\n\r\n", "whole"}, TlsEnd::Goodbye), 1);
  EXPECT_EQ(ReadWholeFile(out), "whole");
}

TEST_F(HttpsTest, AServerStallingMidRecordMeetsTheIdleTimeOut) {
  SetHttpIdleTimeout(300);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(MakeTestPki("127.0.0.1"), {"HTTP/1.0 200 OK\r\n\r\nsome"},
                  TlsEnd::StallMidRecord),
            0);
  // The server itself gives up after 20 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quillon
