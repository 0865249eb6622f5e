// HttpGetFile against small loopback servers of our own that answer from a script.
#include "runtime/net/http_fetch.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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

// Port 443 speaks TLS: a local server with a certificate of a test authority.
TEST_F(HttpFetchTest, Port443VerifiesTheServerAgainstTheTrustedAuthorities) {
  if (geteuid() != 0 || Capture("command -v openssl").empty())
    GTEST_SKIP() << "needs root, openssl";
  const std::string make =
      "cd " + dir +
      " && (for ca in ca other; do openssl req -x509 -newkey rsa:2048 -nodes "
      "-keyout $ca.key -out $ca.pem -days 2 -subj /CN=$ca; done; "
      "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=local; "
      "printf 'subjectAltName=IP:127.0.0.1' > san.ext; "
      "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
      "-extfile san.ext -out server.pem; printf 'secret text' > doc.txt) >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  StartInBackground(dir, "cd " + dir +
                             " && exec openssl s_server -accept 127.0.0.1:443 -WWW "
                             "-cert server.pem -key server.key -naccept 3 -quiet");
  int probe = -1;
  for (int i = 0; i < 100 && probe < 0; ++i) {
    usleep(50000);
    probe = RawConnect(443);
  }
  ASSERT_GE(probe, 0) << "the TLS server did not start";
  RawClose(probe);
  SetHttpTrustFile((dir + "/other.pem").c_str());
  EXPECT_EQ(Get(443, "/doc.txt"), 0) << "a certificate of an untrusted authority was accepted";
  SetHttpTrustFile((dir + "/ca.pem").c_str());
  EXPECT_EQ(Get(443, "/doc.txt"), 1);
  EXPECT_EQ(ReadWholeFile(out), "secret text");
  SetHttpTrustFile("");
  if (WaitForExit(dir, 10000) < 0) Capture("kill " + ReadWholeFile(dir + "/pid"));
}

}  // namespace
}  // namespace quillon
