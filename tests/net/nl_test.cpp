// The socket library against a raw peer on loopback: framing, errors, groups, shared use.
#include "runtime/net/nl/nl.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "tests/net/net_test_helpers.h"

namespace quillon {
namespace {

using namespace quillon::testing;

class NlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nlInit());
    ASSERT_TRUE(nlSelectNetwork(NL_IP));
    listener = RawListen(port);
  }
  void TearDown() override {
    RawClose(listener);
    nlShutdown();
  }
  // An nl socket of the type connected to a raw peer.
  NLsocket Connect(NLenum type, int& peer) {
    NLsocket s = nlOpen(0, type);
    NLaddress address;
    EXPECT_TRUE(nlGetAddrFromName("127.0.0.1", &address));
    nlSetAddrPort(&address, static_cast<uint16_t>(port));
    EXPECT_TRUE(nlConnect(s, &address));
    peer = RawAccept(listener);
    return s;
  }
  int listener = -1;
  int port = 0;
};

TEST_F(NlTest, PacketsAreFramedAndArriveWholeOnePerRead) {
  int peer = -1;
  NLsocket s = Connect(NL_TCP_PACKETS, peer);
  ASSERT_EQ(nlWrite(s, "hello", 5), 5);
  uint8_t wire[9];
  ASSERT_TRUE(RawReceive(peer, wire, 9));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(wire), 9), std::string("NL\0\x05hello", 9));

  // A packet trickling in byte by byte is not returned until whole; two sent together come
  // back one per read, and the group still lists the socket for the buffered second one.
  char buffer[64];
  const char stream[] =
      "NL\0\x03"
      "abc"
      "NL\0\x02"
      "de";
  for (size_t i = 0; i < 5; ++i) {
    RawSend(peer, stream + i, 1);
    while (nlRead(s, buffer, sizeof buffer) != 0) FAIL() << "partial packet returned";
  }
  RawSend(peer, stream + 5, sizeof stream - 1 - 5);
  NLint group = nlGroupCreate();
  nlGroupAddSocket(group, s);
  NLsocket ready[4];
  ASSERT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 5000), 1);
  ASSERT_EQ(nlRead(s, buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  ASSERT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 0), 1);
  ASSERT_EQ(nlRead(s, buffer, sizeof buffer), 2);
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 0), 0);
  EXPECT_EQ(nlRead(s, buffer, sizeof buffer), 0);
  EXPECT_EQ(nlWrite(s, buffer, NL_MAX_PACKET_LENGTH + 1), -1);
  RawClose(peer);
}

// A wake ends a wait that nothing else would end before its minute is up, also one begun after
// it; a closed member is no longer reported.
TEST_F(NlTest, AWakeEndsAGroupsWaitAndAClosedMemberLeavesIt) {
  int peer = -1;
  NLsocket s = Connect(NL_TCP_PACKETS, peer);
  NLint group = nlGroupCreate();
  ASSERT_TRUE(nlGroupAddSocket(group, s));
  NLsocket ready[4];
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(nlGroupWake(group));
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 60000), 0);
  std::thread waker([group] { EXPECT_TRUE(nlGroupWake(group)); });
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 60000), 0);
  waker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  nlClose(s);
  RawSendPacket(peer, "x", 1);
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 100), 0);
  EXPECT_TRUE(nlGroupDestroy(group));
  EXPECT_FALSE(nlGroupWake(group));
  RawClose(peer);
}

TEST_F(NlTest, StreamsOutOfSyncBreakTheSocket) {
  const char* bad[] = {"XL\0\x01z", "NL\x40\x01z"};  // no magic; 16385 bytes claimed
  for (const char* bytes : bad) {
    int peer = -1;
    NLsocket s = Connect(NL_TCP_PACKETS, peer);
    RawSend(peer, bytes, 5);
    char buffer[64];
    NLint n = 0;
    for (int i = 0; i < 1000 && n == 0; ++i) {
      n = nlRead(s, buffer, sizeof buffer);
      if (n == 0) usleep(1000);
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(nlGetError(), NL_SOCK_DISCONNECT);
    RawSendPacket(peer, "ok", 2);
    EXPECT_EQ(nlRead(s, buffer, sizeof buffer), -1) << "a broken stream stays broken";
    nlClose(s);
    RawClose(peer);
  }
}

TEST_F(NlTest, ReadsTellANormalCloseFromAReset) {
  for (bool reset : {false, true}) {
    int peer = -1;
    NLsocket s = Connect(reset ? NL_TCP_PACKETS : NL_TCP, peer);
    char buffer[16];
    EXPECT_EQ(nlRead(s, buffer, sizeof buffer), 0) << "nothing yet on a non-blocking socket";
    if (reset) {
      linger hard{1, 0};
      setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    RawClose(peer);
    NLint n = 0;
    for (int i = 0; i < 1000 && n == 0; ++i) {
      n = nlRead(s, buffer, sizeof buffer);
      if (n == 0) usleep(1000);
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(nlGetError(), reset ? NL_SOCK_DISCONNECT : NL_MESSAGE_END);
    nlClose(s);
  }
}

TEST_F(NlTest, AZeroByteStreamReadLeavesTheStreamOpen) {
  int peer = -1;
  NLsocket s = Connect(NL_TCP, peer);
  RawSend(peer, "ok", 2);
  NLint group = nlGroupCreate();
  nlGroupAddSocket(group, s);
  NLsocket ready = NL_INVALID;
  ASSERT_EQ(nlPollGroup(group, NL_READ_STATUS, &ready, 1, 5000), 1);
  // With bytes waiting, a zero-length read must not look like the peer's close.
  char buffer[8];
  EXPECT_EQ(nlRead(s, buffer, 0), 0);
  EXPECT_EQ(nlRead(s, buffer, sizeof buffer), 2);
  nlGroupDestroy(group);
  nlClose(s);
  RawClose(peer);
}

TEST_F(NlTest, AcceptReportsWhyNothingCame) {
  NLsocket plain = nlOpen(0, NL_TCP_PACKETS);
  EXPECT_EQ(nlAcceptConnection(plain), NL_INVALID);
  EXPECT_EQ(nlGetError(), NL_NOT_LISTEN);
  NLsocket server = nlOpen(0, NL_TCP_PACKETS);
  ASSERT_TRUE(nlListen(server));
  EXPECT_EQ(nlAcceptConnection(server), NL_INVALID);
  EXPECT_EQ(nlGetError(), NL_NO_PENDING);
  NLaddress address;
  ASSERT_TRUE(nlGetLocalAddr(server, &address));
  char text[32];
  EXPECT_EQ(std::string(nlAddrToString(&address, text)),
            "127.0.0.1:" + std::to_string(address.port));
  ASSERT_TRUE(nlConnect(plain, &address));
  NLsocket accepted = NL_INVALID;
  for (int i = 0; i < 1000 && accepted == NL_INVALID; ++i) {
    accepted = nlAcceptConnection(server);
    if (accepted == NL_INVALID) usleep(1000);
  }
  ASSERT_NE(accepted, NL_INVALID);
  ASSERT_EQ(nlWrite(accepted, "x", 1), 1);
}

TEST_F(NlTest, ShutdownClosesSocketsOnlyWhenTheLastUserLeaves) {
  ASSERT_TRUE(nlInit());
  int peer = -1;
  NLsocket s = Connect(NL_TCP_PACKETS, peer);
  nlShutdown();
  EXPECT_EQ(nlWrite(s, "a", 1), 1) << "one user still holds the library";
  nlShutdown();
  EXPECT_EQ(nlWrite(s, "a", 1), -1);
  EXPECT_EQ(nlGetError(), NL_INVALID_SOCKET);
  ASSERT_TRUE(nlInit());  // TearDown's share
  RawClose(peer);
}

}  // namespace
}  // namespace quillon
