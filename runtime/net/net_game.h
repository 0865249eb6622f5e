// The multi-player message service: one process hosts, others join; each adds named players who
// send text messages to one player or to all. One background thread per process does the reading,
// the host's accepting and routing, and the bookkeeping messages.
#pragma once

#include <bit>
#include <cstdint>
#include <deque>
#include <list>
#include <vector>

#include "runtime/net/nl/ht.h"
#include "runtime/net/nl/nl.h"
#include "runtime/values/string_value.h"

namespace quillon {

static_assert(std::endian::native == std::endian::little, "the records travel as they lie");

constexpr int32_t kNetDataSize = 2048;
constexpr int32_t kNetNameSize = 128;
constexpr int32_t kDefaultNetPort = 27013;
constexpr int32_t kMaxNetConnections = 100;

enum NetKind : uint8_t {
  MsgJoin = 1,
  MsgWelcome = 2,
  MsgData = 3,
  MsgLeave = 4,
  MsgCountPlayers = 101,
  MsgPlayerId = 102,
  MsgPlayerName = 103,
  MsgPing = 104,
};

#pragma pack(push, 1)
// One message, as it travels (whole) and as it waits in every queue.
struct NetMessage {
  char magic[4];   // "QLNN"
  int32_t length;  // payload bytes in data
  int32_t to;      // player id; -1 all players; 0 the host
  int32_t from;    // sender, or the subject player
  char data[kNetDataSize];
  uint8_t kind;  // NetKind
};

// A player as the host lists it, and the MsgJoin payload.
struct NetPlayer {
  int32_t socket;  // the host's connection to the player's process; -1 on the wire
  int32_t id;      // -1 new, -3 join sent, else assigned from 101
  uint8_t hidden;  // 1: not counted (the join probe, or a player without a name)
  char name[kNetNameSize];
  uint8_t padding[3];
  int32_t inbox[3];  // 0 on the wire
};
#pragma pack(pop)

static_assert(sizeof(NetMessage) == 2065);
static_assert(sizeof(NetPlayer) == 152);

// Peers decide how much arrives; what is kept for them is bounded. A player's inbox holds this
// many unread messages (about 34 MB), later ones are dropped; replies beyond the last few answer
// queries nobody waits for. On a host, one connection joins at most kMaxPlayersPerConnection
// players (a game process adds a few), and each connection queues at most NL_MAX_QUEUED_BYTES
// for its peer: a peer that does not take them is disconnected as if it had left, so the host
// holds at most kMaxNetConnections times that. A connection that joins nobody within 10 s, or
// holds half a message for 10 s, is closed. While some peer lags behind, the host reads at most
// kMaxMessagesPerSecond from one connection (in bursts up to kMessageBurst); more waits in that
// sender's own socket, so a flood cannot push honest peers over their bound. Texts to all are
// copied for at most kCopiesPerSecond players a second per connection (in bursts up to
// kCopyBurst), lagging or not. A peer that lags holds nobody up: it catches up, or is cut off at
// its bound.
constexpr size_t kMaxInboxMessages = 16384;
constexpr size_t kMaxWaitingReplies = 16;
constexpr int32_t kMaxPlayersPerConnection = 16;
constexpr int32_t kNetDeadlineMs = 10000;
constexpr double kMaxMessagesPerSecond = 1000;
constexpr double kMessageBurst = 50;
constexpr double kCopiesPerSecond = 20000;
constexpr double kCopyBurst = 5000;

struct LocalPlayer {
  NetPlayer record{};
  std::deque<NetMessage> inbox;
  uint32_t key = 0;        // how the game thread finds its entry again: never by pointer
  uint32_t joinOrder = 0;  // welcomes come back in the order the joins went out
  bool abandoned = false;  // its join timed out: the late welcome is answered with a leave
};

// The host thread's view of one accepted connection.
struct HostConnection {
  NLsocket socket = NL_INVALID;
  int64_t acceptedMs = 0;
  int64_t partialSinceMs = -1;  // half a message has waited since then; -1 none
  bool joined = false;          // a player joined through it
  bool throttled = false;       // out of its message allowance: not polled until it refills
  double allowance = kMessageBurst;
  double copies = kCopyBurst;  // its allowance of copies that texts to all make
  int64_t allowanceMs = 0;
  int64_t queued = 0;  // bytes its peer had not taken after the last flush
};

struct QueuedMessage {
  NetMessage message;
  NLsocket source;  // the host's connection it was read from, NL_INVALID otherwise
};

struct NetGame {
  uint8_t libraryReady = 0;  // this record holds one nlInit
  NLsocket listenSocket = NL_INVALID;
  NLsocket clientSocket = NL_INVALID;
  std::list<LocalPlayer> players;      // newest first
  std::vector<NetPlayer> connections;  // host: every joined player, in join order
  int32_t networkType = NL_IP;
  int32_t connectionType = NL_TCP_PACKETS;
  uint8_t stopRequested = 1;
  uint8_t threadRunning = 0;
  HTmutex lock;
  std::deque<QueuedMessage> incoming;
  std::deque<NetMessage> replies;  // kinds above 99, for the waiting queries

  int32_t lastSender = 0;
  uint8_t hostGone = 0;  // the client connection ended: waits for the host end early
  int64_t readThroughMs = -1000;  // when the game thread last read the host's messages itself
  HThreadID thread = -1;
  uint32_t joinsSent = 0;
  uint32_t nextKey = 1;
  // The thread's own host state; connections and incoming are touched by the thread only.
  std::vector<HostConnection> hostSockets;  // accepted connections, at most kMaxNetConnections
  NLsocket selfConnection = NL_INVALID;  // the host's end of its own client connection
  int32_t nextId = 101;
  NLint waitGroup = -1;  // set and cleared under lock: StopNetThread wakes its wait
  bool congested = false;  // some peer lags: senders are held to their allowance
};

// Port (0 or less: 27013): listens and joins its own game. 1 on success, else 0.
// Example:
//   if (NetHost("27013") == 0) ErrorLog("port 27013 is taken");
//   StringValue me = NetAddPlayer("Host");
double NetHost(const StringValue& port);
// Host name ("": this machine), port (0 or less: 27013). 1 when the host answered, else 0.
// Example:
//   if (NetJoin("192.168.1.20", "27013") != 0) {
//     StringValue me = NetAddPlayer("Ada");
//     NetSend(me, "0", "hello everybody");
//   }
double NetJoin(const StringValue& host, const StringValue& port);
// Adds a local player (no name: hidden); its id from the host as text, "-1" after about 5 s. A
// join that timed out never passes its id to a later one: a late welcome is answered with a leave.
// Example:
//   NetJoin("", "27013");  // a game hosted on this machine
//   StringValue me = NetAddPlayer("Ada");
//   if (me == "-1") ErrorLog("the host did not answer");
StringValue NetAddPlayer(const StringValue& name);
// Tells the host the player left and forgets it here; always 1.
// Example:
//   StringValue me = NetAddPlayer("Ada");
//   NetRemovePlayer(me);  // leaving the game
double NetRemovePlayer(const StringValue& id);
// A text (at most 2047 bytes are sent) from one id to another (0: every player); 1 when written.
// Example:
//   StringValue me = NetAddPlayer("Ada");
//   double shipX = 100, shipY = 200;
//   NetSend(me, "0", StringValue("pos ") + shipX + " " + shipY);  // to every player
double NetSend(const StringValue& from, const StringValue& to, const StringValue& text);
// The oldest message text for that local player, or "" (NetLastSender keeps its value). With
// nothing waiting it reads the connection itself, so a text is there as soon as it arrived.
// Example:
//   StringValue me = NetAddPlayer("Ada");
//   for (StringValue text = NetReceive(me); TextLength(text) > 0; text = NetReceive(me)) {
//     PrintText(NetPlayerName(NetLastSender()) + ": " + text, 8, 400);
//   }
StringValue NetReceive(const StringValue& id);
// The sender of the message NetReceive last returned, as text.
// Example:
//   StringValue me = NetAddPlayer("Ada");
//   StringValue text = NetReceive(me);
//   if (TextLength(text) > 0) NetSend(me, NetLastSender(), "got it");  // answer the sender alone
StringValue NetLastSender();
// This machine's IPv4 addresses joined by "|" (at most 4064 bytes).
// Example:
//   PrintText(StringValue("Others join at: ") + NetLocalAddresses(), 8, 8);
StringValue NetLocalAddresses();
// Players in the game (hidden ones not counted); 0 after about 5 s without an answer.
// Example:
//   PrintText(StringValue("Players: ") + NetPlayerCount(), 8, 8);
double NetPlayerCount();
// Id of the visible player at index (from 0) as text; "0" when none or no answer.
// Example:
//   for (double i = 0; i < NetPlayerCount(); ++i) {
//     StringValue id = NetPlayerId(NumberToText(i));
//     PrintText(NetPlayerName(id), 8, 20 + 16 * i);
//   }
StringValue NetPlayerId(const StringValue& index);
// Name of the player with that id; "" when none, "NO_DATA" without an answer.
// Example:
//   StringValue name = NetPlayerName("101");  // the first player who joined
StringValue NetPlayerName(const StringValue& id);

}  // namespace quillon
