// The lockstep books: what a peer's texts may change, and what they may not.
#include "game/lockstep.h"

#include <gtest/gtest.h>

#include "game/net_duel.h"

namespace {

// Plays frames while the peer's controls are there; returns how many.
int PlayWhatWeCan(Lockstep& ls, double now) {
  int played = 0;
  Controls own, peer;
  while (ReadyToStep(ls)) {
    OwnInputMessage(ls, {}, now);
    TakeStep(ls, own, peer);
    ++played;
  }
  return played;
}

TEST(Lockstep, WaitsForThePeersControlsAndIgnoresAnythingElse) {
  Lockstep ls;
  StartLockstep(ls, 3);
  EXPECT_EQ(OwnInputMessage(ls, {true, false, true, false, true}, 100.0), "in 4 21 3");
  Controls own, peer;
  TakeStep(ls, own, peer);
  EXPECT_EQ(PlayWhatWeCan(ls, 116.0), 2);  // the frames before the first controls pass empty
  EXPECT_FALSE(ReadyToStep(ls));

  for (const char* bad : {"in 4", "in 4 32 3", "in x 1 3", "in 4 1 3 x", "in 4 -1 3",
                          "in 3 1 3", "in 11 1 3", "sum 60", "sum 61 ab", "sum 60 zz", "", "hi"}) {
    EXPECT_EQ(TakePeerMessage(ls, bad, 150.0), PeerSays::Nothing) << bad;
  }
  EXPECT_FALSE(ReadyToStep(ls));
  EXPECT_TRUE(ls.roundTrips.empty());

  // The peer's controls for frame 4, acknowledging our frame 4 sent at 100 ms.
  EXPECT_EQ(TakePeerMessage(ls, "in 4 21 4", 150.0), PeerSays::Input);
  ASSERT_TRUE(ReadyToStep(ls));
  OwnInputMessage(ls, {}, 150.0);
  TakeStep(ls, own, peer);
  EXPECT_TRUE(own.thrust && own.left && own.fire && !own.brake && !own.right);
  EXPECT_TRUE(peer.thrust && peer.left && peer.fire && !peer.brake && !peer.right);
  ASSERT_EQ(ls.roundTrips.size(), 1u);
  EXPECT_EQ(ls.roundTrips[0], 50.0);
  EXPECT_EQ(TakePeerMessage(ls, "in 5 0 4", 160.0), PeerSays::Input);
  EXPECT_EQ(ls.roundTrips.size(), 1u);  // no new acknowledgement, no new round trip
  EXPECT_EQ(TakePeerMessage(ls, "bye", 170.0), PeerSays::Bye);
  EXPECT_EQ(TakePeerMessage(ls, "done", 170.0), PeerSays::Done);
}

TEST(Lockstep, DifferentChecksumsOfOneFrameAreAMismatch) {
  for (bool same : {true, false}) {
    Lockstep ls;
    StartLockstep(ls, 3);
    while (ls.stepped < 60) {
      TakePeerMessage(ls, "in " + std::to_string(ls.stepped + 1) + " 0 0", 0.0);
      ASSERT_GT(PlayWhatWeCan(ls, 0.0), 0);
    }
    EXPECT_EQ(TakePeerMessage(ls, same ? "sum 60 00000000000000ff" : "sum 60 fe", 0.0),
              PeerSays::Checksum);
    EXPECT_EQ(OwnChecksumMessage(ls, 255), "sum 60 00000000000000ff");
    EXPECT_EQ(ls.mismatchFrame, same ? -1 : 60);
  }
}

TEST(NetOptions, CommandLines) {
  NetOptions o;
  std::string error;
  EXPECT_FALSE(ReadNetOptions("", o, error));
  EXPECT_TRUE(ReadNetOptions("--join \"game.example\" --delay 4", o, error));
  EXPECT_EQ(o.address, "game.example");
  EXPECT_EQ(o.port, 27013);
  EXPECT_EQ(o.delay, 4);
  EXPECT_EQ(error, "");
  for (const char* bad : {"--join", "--host 0", "--host 65536", "--host --delay 61", "--host x"}) {
    error.clear();
    ReadNetOptions(bad, o, error);
    EXPECT_NE(error, "") << bad;
  }
}

}  // namespace
