// A host facing raw peers that speak the wire format badly or dishonestly: it keeps serving the
// honest players, and none of their messages is lost.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/net/net_internal.h"
#include "tests/net/net_test_helpers.h"

namespace quillon {
namespace {

using namespace quillon::testing;

class HostilePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = FreePort();
    host = CreateNetGame();
    client = CreateNetGame();
    ASSERT_EQ(HostGame(*host, port), 1);
    ASSERT_EQ(JoinGame(*client, "127.0.0.1", port), 1);
    hal = AddPlayer(*host, "Hal");
    ann = AddPlayer(*client, "Ann");
    ASSERT_GT(hal, 0);
    ASSERT_GT(ann, 0);
  }
  void TearDown() override {
    EndNetGame(client);
    EndNetGame(host);
    SetNetDeadline(0);
  }
  // Every one of a burst of honest messages arrives, in order, after the hostile acts.
  void ExpectHonestTrafficFlows() {
    for (int i = 0; i < 20; ++i) {
      std::string text = "m" + std::to_string(i);
      ASSERT_EQ(SendText(*client, ann, hal, text.c_str(), text.size()), 1);
    }
    for (int i = 0; i < 20; ++i) EXPECT_EQ(NextFor(hal), "m" + std::to_string(i));
  }
  // Within tries of 1 ms; a peer that blocks the host for a write's 5 s stall shows as "<nothing>".
  std::string NextFor(int32_t id, int tries = 10000) {
    std::string text;
    int32_t from = 0;
    for (int i = 0; i < tries; ++i) {
      if (ReceiveText(*host, id, text, from)) return text;
      htThreadSleep(1);
    }
    return "<nothing>";
  }
  int32_t CountPlayers() {
    NetMessage reply;
    return AskHost(*client, MsgCountPlayers, 0, reply) ? *reinterpret_cast<int32_t*>(reply.data)
                                                       : -1;
  }
  int port = 0;
  NetGame* host = nullptr;
  NetGame* client = nullptr;
  int32_t hal = 0, ann = 0;
};

TEST_F(HostilePeerTest, BadLengthsShortReadsAndWrongMagicAreDropped) {
  int raw = RawConnect(port);
  int32_t mallory = RawJoin(raw, "Mallory");
  ASSERT_GT(mallory, 0);
  NetMessage m = MakeMessage(MsgData, hal, mallory);
  std::strcpy(m.data, "abcXYZ");
  for (int32_t length : {5000, -7, 2049, 2048}) {
    m.length = length;  // outside data, or no room left for the text's end
    RawSendPacket(raw, &m, sizeof m);
  }
  m.length = 100;  // more than the 20 bytes that arrive
  RawSendPacket(raw, &m, 20);
  RawSendPacket(raw, &m, 16);  // shorter than a header and kind
  NetMessage wrong = m;
  std::memcpy(wrong.magic, "QLNX", 4);
  wrong.length = 3;
  RawSendPacket(raw, &wrong, sizeof wrong);
  // The one good one, whose text is cut at its length.
  m.length = 3;
  RawSendPacket(raw, &m, sizeof m);
  EXPECT_EQ(NextFor(hal), "abc");
  ExpectHonestTrafficFlows();
  RawClose(raw);
}

TEST_F(HostilePeerTest, AJoinNameWithoutItsEndIsCut) {
  int raw = RawConnect(port);
  NetMessage join = MakeMessage(MsgJoin, 0, 0);
  std::memset(join.data, 'A', sizeof join.data);
  join.length = sizeof(NetPlayer);
  NetMessage welcome;
  ASSERT_TRUE(RawSendPacket(raw, &join, sizeof join) && RawReceiveMessage(raw, welcome));
  NetMessage reply;
  ASSERT_TRUE(AskHost(*client, MsgPlayerName, welcome.to, reply));
  EXPECT_EQ(std::string(reply.data), std::string(127, 'A'));
  RawClose(raw);
}

TEST_F(HostilePeerTest, NobodyActsForAPlayerOfAnotherConnection) {
  int raw = RawConnect(port);
  int32_t mallory = RawJoin(raw, "Mallory");
  ASSERT_GT(mallory, 0);
  NetMessage forged = MakeMessage(MsgData, hal, ann);
  std::strcpy(forged.data, "forged");
  forged.length = 6;
  RawSendPacket(raw, &forged, sizeof forged);
  NetMessage leave = MakeMessage(MsgLeave, 0, ann);
  RawSendPacket(raw, &leave, sizeof leave);
  NetMessage query = MakeMessage(MsgPing, 0, ann);
  RawSendPacket(raw, &query, sizeof query);
  NetMessage welcome = MakeMessage(MsgWelcome, hal, 0);  // only the host welcomes
  RawSendPacket(raw, &welcome, sizeof welcome);
  NetMessage own = MakeMessage(MsgData, hal, mallory);
  std::strcpy(own.data, "own");
  own.length = 3;
  RawSendPacket(raw, &own, sizeof own);
  EXPECT_EQ(NextFor(hal), "own") << "the forged text came first";
  EXPECT_EQ(CountPlayers(), 3) << "Ann was removed by another connection";
  ExpectHonestTrafficFlows();
  RawClose(raw);
}

TEST_F(HostilePeerTest, OneConnectionJoinsABoundedNumberOfPlayers) {
  int raw = RawConnect(port);
  NetMessage join = MakeMessage(MsgJoin, 0, 0);
  join.length = sizeof(NetPlayer);
  std::strcpy(join.data + offsetof(NetPlayer, name), "m");
  for (int i = 0; i < kMaxPlayersPerConnection + 50; ++i) RawSendPacket(raw, &join, sizeof join);
  NetMessage welcome;
  int welcomed = 0;
  while (welcomed < kMaxPlayersPerConnection && RawReceiveMessage(raw, welcome)) ++welcomed;
  EXPECT_EQ(welcomed, kMaxPlayersPerConnection);
  // Honest traffic passes the host after the surplus joins, so they have been handled by now.
  ExpectHonestTrafficFlows();
  EXPECT_EQ(CountPlayers(), 2 + kMaxPlayersPerConnection);
  RawClose(raw);
}

TEST_F(HostilePeerTest, AFloodOfConnectionsIsRefusedBeyondTheArrayAndTheIdleAreDropped) {
  std::vector<int> flood;
  for (int i = 0; i < 120; ++i) flood.push_back(RawConnect(port));
  // Host side: its own connection and the client's. The rest of the 100 are taken by the flood.
  int refused = 0;
  for (size_t i = 98; i < flood.size(); ++i) refused += RawSeesClose(flood[i]) ? 1 : 0;
  EXPECT_EQ(refused, 22);
  ExpectHonestTrafficFlows();
  // One joins and then holds half a message; one sends half a frame header.
  ASSERT_GT(RawJoin(flood[0], "Half"), 0);
  NetMessage m = MakeMessage(MsgData, hal, 0);
  RawSendPacket(flood[0], &m, 0);  // a whole empty packet: not a message, and not half one
  uint8_t header[4] = {'N', 'L', sizeof m >> 8, sizeof m & 0xFF};
  RawSend(flood[0], header, 4);
  RawSend(flood[0], &m, 100);
  RawSend(flood[1], "NL", 2);
  SetNetDeadline(300);
  for (int i : {0, 1, 50, 97}) EXPECT_TRUE(RawSeesClose(flood[i])) << "connection " << i << " kept";
  NetGame* late = CreateNetGame();
  EXPECT_EQ(JoinGame(*late, "127.0.0.1", port), 1) << "the idle connections lock players out";
  EXPECT_GT(AddPlayer(*late, "Late"), 0);
  EndNetGame(late);
  for (int fd : flood) RawClose(fd);
  ExpectHonestTrafficFlows();
}

// Peers that join a few players and never read: the host's writes to them wait in bounded
// queues, and past the bound they are cut off, while everyone else's messages pass at once.
TEST_F(HostilePeerTest, PeersThatNeverReadDelayNobody) {
  std::vector<int> stalled;
  nlTakeQueuedPeak();
  for (int count : {1, 10}) {
    while (static_cast<int>(stalled.size()) < count) {
      stalled.push_back(RawConnect(port, 4096));
      for (int i = 0; i < 8; ++i) ASSERT_GT(RawJoin(stalled.back(), "Stalled"), 0);
    }
    for (int i = 0; i < 250; ++i) {
      std::string text = std::to_string(count) + "/" + std::to_string(i);
      ASSERT_EQ(SendText(*client, ann, 0, text.c_str(), text.size()), 1);
      ASSERT_EQ(NextFor(hal, 2000), text) << "with " << count << " stalled";
    }
  }
  // Ten that never read queue at most their bound each (and the two honest connections).
  EXPECT_LE(nlTakeQueuedPeak(), 12 * int64_t{NL_MAX_QUEUED_BYTES});
  for (int i = 0; i < 30; ++i) SendText(*client, ann, 0, "more", 4);
  auto start = std::chrono::steady_clock::now();
  EndNetGame(host);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  for (int fd : stalled) RawClose(fd);
}

// One connection joins its limit of players, floods messages to all and reads nothing: each
// message comes back to it once per player. The host holds a bounded amount and cuts it off,
// and honest messages pass meanwhile.
TEST_F(HostilePeerTest, AnAmplifyingFloodIsCutOffWithinItsBound) {
  int raw = RawConnect(port, 4096);
  nlTakeQueuedPeak();
  NetMessage join = JoinMessage("Amp");
  for (int i = 0; i < kMaxPlayersPerConnection + 4; ++i) RawSendPacket(raw, &join, sizeof join);
  NetMessage welcome;
  ASSERT_TRUE(RawReceiveMessage(raw, welcome));
  struct Joined : std::thread {
    using std::thread::thread;
    ~Joined() { join(); }
  } flooder([&] {
    NetMessage flood = MakeMessage(MsgData, -1, welcome.to);
    flood.length = 1000;
    std::memset(flood.data, 'x', 1000);
    uint8_t header[4] = {'N', 'L', sizeof flood >> 8, sizeof flood & 0xFF};
    // Until the host stops taking them: it read them all, or cut the connection.
    for (int sent = 0; sent < 5000; ++sent) {
      pollfd p{raw, POLLOUT, 0};
      if (::poll(&p, 1, 2000) <= 0 || !RawSend(raw, header, 4) ||
          !RawSend(raw, &flood, sizeof flood)) {
        break;
      }
    }
  });
  // Hal gets the flood too; each honest text must come through it within 2 s.
  for (int i = 0; i < 20; ++i) {
    std::string text = "h" + std::to_string(i), got;
    ASSERT_EQ(SendText(*client, ann, hal, text.c_str(), text.size()), 1);
    for (int k = 0; k < 5000 && got != text && got != "<nothing>"; ++k) got = NextFor(hal, 2000);
    ASSERT_EQ(got, text) << "during the flood";
  }
  EXPECT_TRUE(RawSeesClose(raw));
  int64_t peak = nlTakeQueuedPeak();
  EXPECT_LE(peak, 3 * int64_t{NL_MAX_QUEUED_BYTES});
  EXPECT_GE(peak, NL_MAX_QUEUED_BYTES / 2) << "the flood did not flood";
  int32_t count = 0;
  for (int i = 0; i < 100 && count != 2; ++i) count = CountPlayers();
  EXPECT_EQ(count, 2) << "the flood's players stay listed";
  RawClose(raw);
}

}  // namespace
}  // namespace quillon
