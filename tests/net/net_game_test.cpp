// The network game between records in one process, each with its own thread, over loopback.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/runtime_state.h"
#include "runtime/net/http_fetch.h"
#include "runtime/net/net_internal.h"
#include "tests/net/net_test_helpers.h"

namespace quillon {
namespace {

using namespace quillon::testing;

// Waits (bounded) for the next text of a player.
std::string Next(NetGame& game, int32_t id, int32_t* from = nullptr) {
  std::string text;
  int32_t sender = 0;
  for (int i = 0; i < 1000; ++i) {
    if (ReceiveText(game, id, text, sender)) {
      if (from != nullptr) *from = sender;
      return text;
    }
    htThreadSleep(5);
  }
  return "<nothing>";
}

class NetGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = FreePort();
    host = CreateNetGame();
    ASSERT_EQ(HostGame(*host, port), 1);
  }
  void TearDown() override {
    for (NetGame*& game : clients) EndNetGame(game);
    EndNetGame(host);
    SetNetWaitTries(250);
  }
  NetGame& Join() {
    clients.push_back(CreateNetGame());
    EXPECT_EQ(JoinGame(*clients.back(), "127.0.0.1", port), 1);
    return *clients.back();
  }
  int port = 0;
  NetGame* host = nullptr;
  std::vector<NetGame*> clients;
};

TEST_F(NetGameTest, IdsCountFrom101AndMessagesReachOneOrAll) {
  int32_t third = AddPlayer(*host, "Hal");
  EXPECT_EQ(third, 101);
  EXPECT_EQ(AddPlayer(*host, ""), 102) << "a hidden player";
  NetGame& a = Join();
  NetGame& b = Join();
  int32_t first = AddPlayer(a, "Ann");
  int32_t second = AddPlayer(b, "Bob");
  ASSERT_GT(first, 102);
  ASSERT_GT(second, first);

  // Hidden players and the joins' probes are not counted.
  NetMessage reply;
  ASSERT_TRUE(AskHost(b, MsgCountPlayers, 0, reply));
  EXPECT_EQ(*reinterpret_cast<int32_t*>(reply.data), 3);
  ASSERT_TRUE(AskHost(b, MsgPlayerId, 1, reply));
  EXPECT_EQ(*reinterpret_cast<int32_t*>(reply.data), first);
  ASSERT_TRUE(AskHost(a, MsgPlayerName, third, reply));
  EXPECT_STREQ(reply.data, "Hal");

  ASSERT_EQ(SendText(a, first, 0, "to all", 6), 1);
  int32_t from = 0;
  for (auto [game, id] : {std::pair{&a, first}, {&b, second}, {host, third}}) {
    EXPECT_EQ(Next(*game, id, &from), "to all");
    EXPECT_EQ(from, first);
  }
  ASSERT_EQ(SendText(*host, third, second, "just Bob", 8), 1);
  EXPECT_EQ(Next(b, second), "just Bob");
  std::string text;
  EXPECT_FALSE(ReceiveText(a, first, text, from)) << "Ann got a message for Bob";

  // Leaving: the player is gone from the host's list (the leave travels on another connection).
  RemovePlayer(b, second);
  int32_t count = 0;
  for (int i = 0; i < 100 && count != 2; ++i) {
    ASSERT_TRUE(AskHost(a, MsgCountPlayers, 0, reply));
    count = *reinterpret_cast<int32_t*>(reply.data);
  }
  EXPECT_EQ(count, 2);
}

// The game thread reads the socket itself while it polls and leaves it to the network thread when
// it pauses: every message still comes once, in order.
TEST_F(NetGameTest, MessagesKeepTheirOrderWhoeverReadsThem) {
  NetGame& a = Join();
  int32_t ann = AddPlayer(a, "Ann");
  int32_t hal = AddPlayer(*host, "Hal");
  for (int i = 0; i < 1000; ++i) {
    std::string text = std::to_string(i);
    ASSERT_EQ(SendText(a, ann, hal, text.c_str(), text.size()), 1);
    if (i % 100 == 0) htThreadSleep(5);  // the network thread's turn
    if (i % 3 == 0) {
      ASSERT_EQ(Next(*host, hal), std::to_string(i / 3));
    }
  }
  for (int i = 334; i < 1000; ++i) ASSERT_EQ(Next(*host, hal), std::to_string(i));
}

TEST_F(NetGameTest, ReceiveWithNothingWaitingKeepsTheLastSender) {
  NetGame* saved = runtimeState.network;
  runtimeState.network = host;
  int32_t id = AddPlayer(*host, "Solo");
  SendText(*host, id, id, "x", 1);
  StringValue idText = IntToText(id);
  EXPECT_STREQ(Next(*host, id).c_str(), "x");
  host->lastSender = 555;
  EXPECT_STREQ(NetReceive(idText).CStr(), "");
  EXPECT_STREQ(NetLastSender().CStr(), "555");
  runtimeState.network = saved;
}

TEST_F(NetGameTest, QueriesFallBackToTheirDefaultsWhenTheHostIsGone) {
  NetGame& a = Join();
  ASSERT_GT(AddPlayer(a, "Ann"), 101);
  EndNetGame(host);
  SetNetWaitTries(10);
  NetGame* saved = runtimeState.network;
  runtimeState.network = &a;
  EXPECT_EQ(NetPlayerCount(), 0);
  EXPECT_STREQ(NetPlayerId(StringValue("0")).CStr(), "0");
  EXPECT_STREQ(NetPlayerName(StringValue("101")).CStr(), "NO_DATA");
  EXPECT_STREQ(NetAddPlayer(StringValue("Late")).CStr(), "-1");
  runtimeState.network = saved;
}

TEST_F(NetGameTest, AFetchInTheSameProcessLeavesTheGameAlone) {
  int32_t hal = AddPlayer(*host, "Hal");
  // The fetch takes and releases its own share of the library, with blocking sockets.
  EXPECT_EQ(HttpGetFile(StringValue("127.0.0.1"), StringValue("/"), FreePort(), StringValue("")),
            0);
  ASSERT_EQ(SendText(*host, hal, hal, "still here", 10), 1);
  EXPECT_EQ(Next(*host, hal), "still here");
  NetGame& a = Join();
  EXPECT_GT(AddPlayer(a, "Ann"), hal) << "a socket opened after the fetch blocked the thread";
}

TEST(NetDefaultPortTest, PortZeroHostsAndJoinsOn27013) {
  NetGame* host = CreateNetGame();
  NetGame* client = CreateNetGame();
  ASSERT_EQ(HostGame(*host, 0), 1);
  int raw = RawConnect(27013);
  EXPECT_GE(raw, 0);
  RawClose(raw);
  EXPECT_EQ(JoinGame(*client, "", -5), 1);
  EXPECT_GT(AddPlayer(*client, "Zed"), 101);
  EndNetGame(client);
  EndNetGame(host);
}

TEST(NetJoinTest, JoiningNothingFailsAndJoiningFirstInitialises) {
  NetGame* client = CreateNetGame();
  EXPECT_EQ(JoinGame(*client, "127.0.0.1", FreePort()), 0);
  EXPECT_EQ(client->libraryReady, 1);
  EndNetGame(client);
}

}  // namespace
}  // namespace quillon
