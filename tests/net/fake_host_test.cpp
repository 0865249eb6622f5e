// A client against a host of our own that answers joins from a script: bad welcomes and late ones
// must neither reach freed entries nor hand one player another's id.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "runtime/net/net_internal.h"
#include "tests/net/net_test_helpers.h"

namespace quillon {
namespace {

using namespace quillon::testing;

// Serves one connection: welcomes the join probe (id 150) and answers its ping, then hands every
// later message to the script until the script says it is done or 3 s pass quietly.
class FakeHost {
 public:
  using Script = std::function<bool(int fd, const NetMessage& received)>;
  explicit FakeHost(Script script) {
    listener = RawListen(port);
    thread = std::thread([this, script] { Serve(script); });
  }
  ~FakeHost() {
    Finish();
    RawClose(listener);
  }
  // Waits for the script to end (or the client to close); then received may be read.
  void Finish() {
    if (thread.joinable()) thread.join();
  }
  static void Send(int fd, NetMessage m) { RawSendPacket(fd, &m, sizeof m); }
  // Two messages in one write: the client reads them in one go.
  static void SendTogether(int fd, const NetMessage& first, const NetMessage& second) {
    std::vector<char> bytes;
    for (const NetMessage* m : {&first, &second}) {
      char header[4] = {'N', 'L', sizeof *m >> 8, sizeof *m & 0xFF};
      bytes.insert(bytes.end(), header, header + 4);
      bytes.insert(bytes.end(), reinterpret_cast<const char*>(m),
                   reinterpret_cast<const char*>(m) + sizeof *m);
    }
    RawSend(fd, bytes.data(), bytes.size());
  }
  int port = 0;
  std::vector<NetMessage> received;  // what the client sent after the join

 private:
  void Serve(const Script& script) {
    int fd = RawAccept(listener);
    NetMessage m;
    if (fd < 0 || !RawReceiveMessage(fd, m)) return;
    Send(fd, MakeMessage(MsgWelcome, 150, 0));
    if (!RawReceiveMessage(fd, m)) return;
    NetMessage pong = MakeMessage(MsgPing, 150, 0);
    pong.length = 4;
    pong.data[0] = 1;
    Send(fd, pong);
    while (RawReceiveMessage(fd, m)) {
      if (m.kind == MsgLeave && m.from == 150) continue;  // the probe's
      received.push_back(m);
      if (script(fd, m)) break;
    }
    RawClose(fd);
  }
  int listener = -1;
  std::thread thread;
};

class FakeHostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EndNetGame(client);
    SetNetWaitTries(250);
  }
  NetGame* client = CreateNetGame();
};

TEST_F(FakeHostTest, AWelcomeForNoWaitingJoinIsIgnored) {
  FakeHost host([](int fd, const NetMessage& m) {
    if (m.kind != MsgJoin) return false;
    for (int32_t bad : {-2, 0, -1}) FakeHost::Send(fd, MakeMessage(MsgWelcome, bad, 0));
    FakeHost::Send(fd, MakeMessage(MsgWelcome, 151, 0));
    return false;
  });
  ASSERT_EQ(JoinGame(*client, "127.0.0.1", host.port), 1);
  EXPECT_EQ(AddPlayer(*client, "Ann"), 151);
  EndNetGame(client);
  host.Finish();
  for (const NetMessage& m : host.received) EXPECT_NE(m.kind, MsgLeave) << "leave from " << m.from;
}

TEST_F(FakeHostTest, TextRightBehindItsPlayersWelcomeArrives) {
  FakeHost host([](int fd, const NetMessage& m) {
    if (m.kind != MsgJoin) return false;
    NetMessage text = MakeMessage(MsgData, 151, 7);
    text.length = 5;
    std::memcpy(text.data, "hello", 5);
    FakeHost::SendTogether(fd, MakeMessage(MsgWelcome, 151, 0), text);
    return true;
  });
  ASSERT_EQ(JoinGame(*client, "127.0.0.1", host.port), 1);
  ASSERT_EQ(AddPlayer(*client, "Ann"), 151);
  std::string text;
  int32_t from = 0;
  EXPECT_TRUE(ReceiveText(*client, 151, text, from));
  EXPECT_EQ(text, "hello");
}

TEST_F(FakeHostTest, ALateWelcomeGoesBackWithALeaveAndToNobodyElse) {
  SetNetWaitTries(10);  // joins give up after about 200 ms
  int joins = 0;
  std::atomic<bool> gaveUp{false};
  FakeHost host([&](int fd, const NetMessage& m) {
    if (m.kind == MsgJoin && ++joins == 1) {
      for (int i = 0; i < 1000 && !gaveUp; ++i) htThreadSleep(10);
      FakeHost::Send(fd, MakeMessage(MsgWelcome, 202, 0));
    } else if (m.kind == MsgJoin) {
      FakeHost::Send(fd, MakeMessage(MsgWelcome, 203, 0));
    }
    return m.kind == MsgLeave;
  });
  ASSERT_EQ(JoinGame(*client, "127.0.0.1", host.port), 1);
  EXPECT_EQ(AddPlayer(*client, "Ann"), -1);
  gaveUp = true;
  SetNetWaitTries(250);
  EXPECT_EQ(AddPlayer(*client, "Bob"), 203) << "Bob took the id of Ann's late welcome";
  // No ghost: the host is told that 202 left.
  host.Finish();
  ASSERT_EQ(host.received.size(), 3u);
  NetMessage last = host.received.back();
  int32_t leaving = last.from;  // packed: read out before the check binds to it
  EXPECT_EQ(last.kind, MsgLeave);
  EXPECT_EQ(leaving, 202);
}

}  // namespace
}  // namespace quillon
