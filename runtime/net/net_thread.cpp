// The background thread: local joins and leaves, reading, the host's accepting and routing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/net/net_internal.h"

namespace quillon {

namespace {

using Guard = std::lock_guard<HTmutex>;

// How many messages one pass reads from one connection before serving the next, and from the
// host on a client.
constexpr int kReadsPerPass = 16;
constexpr int kClientReadsPerPass = 256;
constexpr int32_t kWaitMs = 10;
// While the game thread reads the host's messages itself, the thread leaves that socket to it and
// looks in this often: a wake for every message would only compete with the reader.
constexpr int32_t kReadThroughMs = 2;
constexpr int64_t kDeadlineCheckMs = 50;
// A peer with this much queued lags: senders are then held to their allowance.
constexpr int64_t kLaggingBytes = 64 * 1024;
std::atomic<int32_t> deadlineMs{kNetDeadlineMs};

bool ReadOne(NLsocket socket, NetMessage& message, NLint& count) {
  std::memset(&message, 0, sizeof message);
  count = nlRead(socket, &message, sizeof message);
  return AcceptReceived(message, count);
}

bool PeerGone(NLint count) {
  return count < 0 && (nlGetError() == NL_MESSAGE_END || nlGetError() == NL_SOCK_DISCONNECT);
}

bool JoinedThrough(const NetGame& game, int32_t id, NLsocket source) {
  return std::any_of(game.connections.begin(), game.connections.end(),
                     [&](const NetPlayer& p) { return p.id == id && p.socket == source; });
}

const NetPlayer* FindConnection(const NetGame& game, int32_t id) {
  for (const NetPlayer& p : game.connections) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

HostConnection* FindHostConnection(NetGame& game, NLsocket socket) {
  for (HostConnection& c : game.hostSockets) {
    if (c.socket == socket) return &c;
  }
  return nullptr;
}

// Step 1: joins for new entries.
void SendPlayerChanges(NetGame& game) {
  bool host = game.listenSocket != NL_INVALID;
  std::vector<NetMessage> outgoing;
  {
    Guard guard(game.lock);
    for (LocalPlayer& player : game.players) {
      NetPlayer& record = player.record;
      // The host's own joins need its end of the self connection as their source.
      if (record.id != -1 || (host && game.selfConnection == NL_INVALID)) continue;
      NetMessage join = MakeMessage(MsgJoin, 0, 0);
      join.length = sizeof(NetPlayer);
      std::memcpy(join.data, &record, sizeof(NetPlayer));
      if (host)
        game.incoming.push_back({join, game.selfConnection});
      else
        outgoing.push_back(join);
      record.id = -3;
      player.joinOrder = game.joinsSent++;
    }
  }
  for (const NetMessage& join : outgoing) WriteMessage(game.clientSocket, join);
}

// Step 2: what the host sent, filed at once (the game thread may read it first).
void ReadClientSocket(NetGame& game) {
  std::vector<int32_t> leaves;
  {
    Guard guard(game.lock);
    ReadFromHostLocked(game, leaves);
  }
  SendLeaves(game, leaves);
}

// The client socket is polled unless the host is gone (no waking for a stream that has ended) or
// the game thread just read it itself. Returns the poll's time-out.
int32_t ChooseClientPolling(NetGame& game, int64_t now, bool& polled) {
  bool readByGame = false;
  bool wanted = false;
  {
    Guard guard(game.lock);
    readByGame = now - game.readThroughMs <= kReadThroughMs;
    wanted = !game.hostGone && !readByGame;
  }
  if (wanted != polled) {
    if (wanted)
      nlGroupAddSocket(game.waitGroup, game.clientSocket);
    else
      nlGroupDeleteSocket(game.waitGroup, game.clientSocket);
    polled = wanted;
  }
  return readByGame ? kReadThroughMs : kWaitMs;
}

void DropConnection(NetGame& game, NLsocket socket) {
  nlGroupDeleteSocket(game.waitGroup, socket);
  nlClose(socket);
  std::erase_if(game.hostSockets, [&](const HostConnection& c) { return c.socket == socket; });
  std::erase_if(game.connections, [&](const NetPlayer& p) { return p.socket == socket; });
  if (socket == game.selfConnection) {
    Guard guard(game.lock);
    game.selfConnection = NL_INVALID;
  }
}

bool IsSelfConnection(const NetGame& game, NLsocket accepted) {
  NLaddress client, remote;
  return nlGetLocalAddr(game.clientSocket, &client) && nlGetRemoteAddr(accepted, &remote) &&
         client.port == remote.port && client.host == remote.host;
}

// Step 3a: false when the listening socket failed and the thread must stop.
bool AcceptConnections(NetGame& game) {
  for (;;) {
    NLsocket accepted = nlAcceptConnection(game.listenSocket);
    if (accepted == NL_INVALID) {
      NLenum error = nlGetError();
      return error != NL_SYSTEM_ERROR && error != NL_NOT_LISTEN;
    }
    // One more would not fit the poll array: refuse it.
    if (static_cast<int32_t>(game.hostSockets.size()) >= kMaxNetConnections) {
      nlClose(accepted);
      continue;
    }
    HostConnection connection;
    connection.socket = accepted;
    connection.acceptedMs = connection.allowanceMs = NetNowMs();
    game.hostSockets.push_back(connection);
    nlGroupAddSocket(game.waitGroup, accepted);
    if (game.selfConnection == NL_INVALID && IsSelfConnection(game, accepted)) {
      game.hostSockets.back().joined = true;  // the host's own players need no deadline
      Guard guard(game.lock);
      game.selfConnection = accepted;
    }
  }
}

// A connection earns kMaxMessagesPerSecond and kCopiesPerSecond; one that spent them is not polled
// until it has more.
bool OutOfAllowance(const NetGame& game, const HostConnection& c) {
  return c.copies < 1 || (game.congested && c.allowance < 1);
}

void Refill(HostConnection& c, int64_t now) {
  double seconds = static_cast<double>(now - c.allowanceMs) / 1000.0;
  c.allowance = std::min(kMessageBurst, c.allowance + seconds * kMaxMessagesPerSecond);
  c.copies = std::min(kCopyBurst, c.copies + seconds * kCopiesPerSecond);
  c.allowanceMs = now;
}

// Step 3b: what one ready connection sent. While some peer lags, within the sender's allowance.
void ReadConnection(NetGame& game, HostConnection& c, int64_t now) {
  NLsocket socket = c.socket;
  Refill(c, now);
  NLint read = 0;
  for (int n = 0; n < kReadsPerPass && !OutOfAllowance(game, c); ++n) {
    NetMessage message;
    bool accepted = ReadOne(socket, message, read);
    // A read of no whole message: the next pass looks again.
    if (!accepted && read <= 0) break;
    c.allowance = std::max(0.0, c.allowance - 1);
    if (accepted && HostAccepts(game, message, socket)) game.incoming.push_back({message, socket});
  }
  if (PeerGone(read)) {
    DropConnection(game, socket);
    return;
  }
  bool partial = nlGetPartialBytes(socket) > 0;
  if (!partial) c.partialSinceMs = -1;
  if (partial && c.partialSinceMs < 0) c.partialSinceMs = now;
  if (OutOfAllowance(game, c)) {
    c.throttled = true;
    nlGroupDeleteSocket(game.waitGroup, socket);
  }
}

// Throttled connections that earned a message again (or all, once no peer lags) are polled
// again; silent and half-framed ones past the deadline are closed.
void TendConnections(NetGame& game, int64_t now, int64_t& lastCheck) {
  bool congested = false;
  for (HostConnection& c : game.hostSockets) {
    // Queues also drain in the poll: look again at the ones that lagged.
    if (c.queued > 0) c.queued = nlGetQueuedBytes(c.socket);
    congested = congested || c.queued > kLaggingBytes;
  }
  game.congested = congested;
  for (HostConnection& c : game.hostSockets) {
    if (!c.throttled) continue;
    Refill(c, now);
    if (OutOfAllowance(game, c)) continue;
    c.throttled = false;
    nlGroupAddSocket(game.waitGroup, c.socket);
  }
  if (now - lastCheck < kDeadlineCheckMs) return;
  lastCheck = now;
  int64_t limit = deadlineMs.load();
  std::vector<NLsocket> late;
  for (const HostConnection& c : game.hostSockets) {
    bool silent = !c.joined && now - c.acceptedMs > limit;
    bool stuck = c.partialSinceMs >= 0 && now - c.partialSinceMs > limit;
    if (silent || stuck) late.push_back(c.socket);
  }
  for (NLsocket socket : late) DropConnection(game, socket);
}

// Data for one of this process's players into its inbox (within kMaxInboxMessages); false when
// no player here has that id. Holds game.lock.
bool FileForPlayer(NetGame& game, const NetMessage& m) {
  LocalPlayer* player = FindPlayer(game, m.to);
  if (player == nullptr) return false;
  if (player->inbox.size() < kMaxInboxMessages) player->inbox.push_back(m);
  return true;
}

// Step 4: data from a connection for this process's own players goes into their inboxes.
void DeliverLocal(NetGame& game) {
  if (game.incoming.empty()) return;
  Guard guard(game.lock);
  std::erase_if(game.incoming, [&](const QueuedMessage& queued) {
    const NetMessage& m = queued.message;
    return m.kind == MsgData && m.to > 0 && FileForPlayer(game, m);
  });
}

NetMessage ReplyTo(const NetGame& game, const NetMessage& query) {
  NetMessage reply = MakeMessage(query.kind, query.from, 0);
  int32_t number = 0;
  int32_t argument = 0;
  std::memcpy(&argument, query.data, sizeof argument);
  std::vector<const NetPlayer*> visible;
  for (const NetPlayer& p : game.connections) {
    if (!p.hidden) visible.push_back(&p);
  }
  switch (query.kind) {
    case MsgCountPlayers: number = static_cast<int32_t>(visible.size()); break;
    case MsgPlayerId:
      if (argument >= 0 && argument < static_cast<int32_t>(visible.size())) {
        number = visible[static_cast<size_t>(argument)]->id;
      }
      break;
    case MsgPlayerName: {
      const NetPlayer* p = FindConnection(game, argument);
      if (p != nullptr) {
        reply.length = static_cast<int32_t>(strnlen(p->name, kNetNameSize));
        std::memcpy(reply.data, p->name, static_cast<size_t>(reply.length));
      }
      return reply;
    }
    default: number = 1; break;
  }
  reply.length = sizeof number;
  std::memcpy(reply.data, &number, sizeof number);
  return reply;
}

// The sockets a pass queued messages on, flushed once at its end.
struct Touched {
  std::vector<NLsocket> sockets;
  void Queue(NLsocket socket, const NetMessage& message) {
    nlQueue(socket, &message, sizeof message);
    if (std::find(sockets.begin(), sockets.end(), socket) == sockets.end()) {
      sockets.push_back(socket);
    }
  }
};

// Handles one message addressed to the host.
void HandleForHost(NetGame& game, const QueuedMessage& queued, Touched& touched) {
  const NetMessage& m = queued.message;
  switch (m.kind) {
    case MsgJoin: {
      if (queued.source == NL_INVALID) return;
      // Unwelcomed beyond the limit: the joining process waits for an id and gives up.
      if (std::count_if(game.connections.begin(), game.connections.end(), [&](const NetPlayer& p) {
            return p.socket == queued.source;
          }) >= kMaxPlayersPerConnection) {
        return;
      }
      NetPlayer entry;
      std::memcpy(&entry, m.data, sizeof entry);
      entry.socket = queued.source;
      entry.id = game.nextId++;
      entry.hidden = entry.hidden != 0;
      std::memset(entry.padding, 0, sizeof entry.padding);
      std::memset(entry.inbox, 0, sizeof entry.inbox);
      game.connections.push_back(entry);
      if (HostConnection* c = FindHostConnection(game, queued.source)) c->joined = true;
      touched.Queue(queued.source, MakeMessage(MsgWelcome, entry.id, 0));
      return;
    }
    case MsgLeave:
      std::erase_if(game.connections, [&](const NetPlayer& p) { return p.id == m.from; });
      return;
    case MsgCountPlayers:
    case MsgPlayerId:
    case MsgPlayerName:
    case MsgPing: {
      const NetPlayer* asker = FindConnection(game, m.from);
      if (asker != nullptr) touched.Queue(asker->socket, ReplyTo(game, m));
      return;
    }
    default: return;
  }
}

// Sends what the pass queued and notes what the peers have not taken yet.
void FlushTouched(NetGame& game, Touched& touched) {
  for (NLsocket socket : touched.sockets) {
    nlFlush(socket);
    if (HostConnection* c = FindHostConnection(game, socket)) c->queued = nlGetQueuedBytes(socket);
  }
  touched.sockets.clear();
}

// Step 5: routing and the host's own handling. Messages the host does not take stay for step 6.
void HandleAtHost(NetGame& game) {
  thread_local Touched touched;
  std::erase_if(game.incoming, [&](const QueuedMessage& queued) {
    const NetMessage& m = queued.message;
    if (m.kind == MsgData && m.to == -1) {
      NetMessage copy = m;
      for (const NetPlayer& p : game.connections) {
        copy.to = p.id;
        touched.Queue(p.socket, copy);
      }
      HostConnection* source = FindHostConnection(game, queued.source);
      if (source != nullptr) source->copies -= static_cast<double>(game.connections.size());
      return true;
    }
    if (m.kind == MsgData && m.to != 0) {
      const NetPlayer* p = FindConnection(game, m.to);
      if (p != nullptr) touched.Queue(p->socket, m);
      return true;
    }
    if (m.to != 0) return false;
    HandleForHost(game, queued, touched);
    return true;
  });
  game.incoming.clear();  // nothing the host took: dropped
  FlushTouched(game, touched);
}

// A welcome matches the oldest join still waiting, also one that timed out: the host answers
// joins in order. Ids no host gives, or one a local player already holds, match nothing.
LocalPlayer* WelcomedEntry(NetGame& game, int32_t id) {
  if (id <= 0) return nullptr;
  LocalPlayer* oldest = nullptr;
  for (LocalPlayer& player : game.players) {
    if (player.record.id == id) return nullptr;
    if (player.record.id == -3 && (oldest == nullptr || player.joinOrder < oldest->joinOrder)) {
      oldest = &player;
    }
  }
  return oldest;
}

// A reply, a welcome or data for a local player, as the host sent it. Holds game.lock.
void FileFromHost(NetGame& game, const NetMessage& m, std::vector<int32_t>& leaves) {
  if (m.kind > 99) {
    game.replies.push_back(m);
    if (game.replies.size() > kMaxWaitingReplies) game.replies.pop_front();
    return;
  }
  if (m.kind == MsgData && m.to > 0) {
    FileForPlayer(game, m);
    return;
  }
  if (m.kind != MsgWelcome) return;
  LocalPlayer* entry = WelcomedEntry(game, m.to);
  if (entry == nullptr) return;
  if (!entry->abandoned) {
    entry->record.id = m.to;
    return;
  }
  leaves.push_back(m.to);
  uint32_t key = entry->key;
  game.players.remove_if([&](const LocalPlayer& p) { return p.key == key; });
}

void CloseHostState(NetGame& game) {
  for (const HostConnection& c : game.hostSockets) nlClose(c.socket);
  game.hostSockets.clear();
  nlGroupDestroy(game.waitGroup);
  game.connections.clear();
  game.incoming.clear();
  Guard guard(game.lock);
  game.waitGroup = -1;
  game.selfConnection = NL_INVALID;
}

bool StopRequested(NetGame& game) {
  Guard guard(game.lock);
  return game.stopRequested != 0;
}

// One pass over what the last poll found ready; false when the thread must stop.
bool ServeReady(NetGame& game, const NLsocket* ready, NLint count, int64_t now) {
  for (NLint i = 0; i < count; ++i) {
    if (ready[i] == game.clientSocket) {
      ReadClientSocket(game);
    } else if (ready[i] == game.listenSocket) {
      if (!AcceptConnections(game)) return false;
    } else if (HostConnection* c = FindHostConnection(game, ready[i])) {
      ReadConnection(game, *c, now);
    }
  }
  return true;
}

}  // namespace

bool ReadFromHostLocked(NetGame& game, std::vector<int32_t>& leaves) {
  NetMessage message;
  NLint count = 0;
  int n = 0;
  for (; n < kClientReadsPerPass && ReadOne(game.clientSocket, message, count); ++n) {
    FileFromHost(game, message, leaves);
  }
  if (n == kClientReadsPerPass || !PeerGone(count)) return false;
  game.hostGone = 1;
  return true;
}

void SendLeaves(NetGame& game, const std::vector<int32_t>& leaves) {
  for (int32_t id : leaves) WriteMessage(game.clientSocket, MakeMessage(MsgLeave, 0, id));
}

LocalPlayer* FindPlayer(NetGame& game, int32_t id) {
  for (LocalPlayer& player : game.players) {
    if (player.record.id == id) return &player;
  }
  return nullptr;
}

int64_t NetNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetNetDeadline(int32_t milliseconds) {
  deadlineMs = milliseconds > 0 ? milliseconds : kNetDeadlineMs;
}

bool AcceptReceived(NetMessage& message, int32_t count) {
  constexpr int32_t kHeader = offsetof(NetMessage, data);
  if (count <= kHeader || std::memcmp(message.magic, "QLNN", 4) != 0) return false;
  // The text and its end must lie inside data, the text inside what the read delivered: readers
  // take data as a C string.
  if (message.length < 0 || message.length >= kNetDataSize) return false;
  if (message.length > count - kHeader) return false;
  message.data[message.length] = '\0';
  if (message.kind == MsgJoin) {
    // The name must end inside its 128 bytes.
    auto* name = message.data + offsetof(NetPlayer, name);
    name[kNetNameSize - 1] = '\0';
  }
  return true;
}

bool HostAccepts(const NetGame& game, const NetMessage& message, NLsocket source) {
  switch (message.kind) {
    case MsgJoin: return message.to == 0;
    case MsgData: return JoinedThrough(game, message.from, source);
    case MsgLeave:
    case MsgCountPlayers:
    case MsgPlayerId:
    case MsgPlayerName:
    case MsgPing: return message.to == 0 && JoinedThrough(game, message.from, source);
    default: return false;
  }
}

NetMessage MakeMessage(uint8_t kind, int32_t to, int32_t from) {
  NetMessage message;
  std::memset(&message, 0, sizeof message);
  std::memcpy(message.magic, "QLNN", 4);
  message.kind = kind;
  message.to = to;
  message.from = from;
  return message;
}

bool WriteMessage(NLsocket socket, const NetMessage& message) {
  return nlWrite(socket, &message, sizeof message) == static_cast<NLint>(sizeof message);
}

void NetThread(void* argument) {
  NetGame& game = *static_cast<NetGame*>(argument);
  bool host = game.listenSocket != NL_INVALID;
  NLint group = nlGroupCreate();
  {
    Guard guard(game.lock);  // StopNetThread wakes it
    game.waitGroup = group;
  }
  bool clientPolled = false;
  if (host) nlGroupAddSocket(game.waitGroup, game.listenSocket);
  NLsocket ready[kMaxNetConnections + 2];
  NLint count = 0;
  int64_t lastCheck = NetNowMs();
  while (!StopRequested(game)) {
    int64_t now = NetNowMs();
    SendPlayerChanges(game);
    if (!ServeReady(game, ready, count, now)) {
      Guard guard(game.lock);
      game.stopRequested = 1;
      break;
    }
    DeliverLocal(game);
    if (host) HandleAtHost(game);
    if (host) TendConnections(game, now, lastCheck);
    int32_t wait = ChooseClientPolling(game, now, clientPolled);
    // Wakes as soon as anything arrives; the time-out only paces the game thread's requests.
    count = nlPollGroup(game.waitGroup, NL_READ_STATUS, ready, kMaxNetConnections + 2, wait);
    if (count < 0) {  // no wait set (the system had no descriptor for it): pace the passes anyway
      count = 0;
      htThreadSleep(wait);
    }
  }
  CloseHostState(game);
  Guard guard(game.lock);
  game.threadRunning = 0;
  game.stopRequested = 1;
}

}  // namespace quillon
