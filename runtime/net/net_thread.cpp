// The background thread: local joins and leaves, reading, the host's accepting and routing.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/net/net_internal.h"

namespace quillon {

namespace {

using Guard = std::lock_guard<HTmutex>;

// A socket, a message: the writes one pass makes after letting go of the lock.
using Outgoing = std::vector<std::pair<NLsocket, NetMessage>>;

// How many messages one pass reads from one connection before serving the next.
constexpr int kReadsPerPass = 16;
constexpr int32_t kWaitMs = 10;

void WriteAll(const Outgoing& outgoing) {
  for (const auto& [socket, message] : outgoing) WriteMessage(socket, message);
}

bool ReadOne(NLsocket socket, NetMessage& message, NLint& count) {
  std::memset(&message, 0, sizeof message);
  count = nlRead(socket, &message, sizeof message);
  return AcceptReceived(message, count);
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

// Step 1: leaves for removed entries, joins for new ones.
void SendPlayerChanges(NetGame& game) {
  bool host = game.listenSocket != NL_INVALID;
  Outgoing outgoing;
  {
    Guard guard(game.lock);
    for (auto it = game.players.begin(); it != game.players.end();) {
      NetPlayer& record = it->record;
      if (record.id == -2) {
        outgoing.emplace_back(game.clientSocket, MakeMessage(MsgLeave, 0, -2));
        it = game.players.erase(it);
        continue;
      }
      // The host's own joins need its end of the self connection as their source.
      if (record.id == -1 && (!host || game.selfConnection != NL_INVALID)) {
        NetMessage join = MakeMessage(MsgJoin, 0, 0);
        join.length = sizeof(NetPlayer);
        std::memcpy(join.data, &record, sizeof(NetPlayer));
        if (host)
          game.incoming.push_back({join, game.selfConnection});
        else
          outgoing.emplace_back(game.clientSocket, join);
        record.id = -3;
        it->joinOrder = game.joinsSent++;
      }
      ++it;
    }
  }
  WriteAll(outgoing);
}

// Step 2: everything waiting on the client connection.
void ReadClientSocket(NetGame& game) {
  NetMessage message;
  NLint count = 0;
  while (ReadOne(game.clientSocket, message, count)) {
    Guard guard(game.lock);
    game.incoming.push_back({message, NL_INVALID});
  }
  if (count < 0 && (nlGetError() == NL_MESSAGE_END || nlGetError() == NL_SOCK_DISCONNECT)) {
    // The host is gone: stop waking up for a stream that has ended.
    nlGroupDeleteSocket(game.waitGroup, game.clientSocket);
    Guard guard(game.lock);
    game.hostGone = 1;
  }
}

void DropConnection(NetGame& game, NLsocket socket) {
  nlGroupDeleteSocket(game.connectionGroup, socket);
  nlGroupDeleteSocket(game.waitGroup, socket);
  nlClose(socket);
  std::erase(game.hostSockets, socket);
  Guard guard(game.lock);
  std::erase_if(game.connections, [&](const NetPlayer& p) { return p.socket == socket; });
  if (socket == game.selfConnection) game.selfConnection = NL_INVALID;
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
    game.hostSockets.push_back(accepted);
    nlGroupAddSocket(game.connectionGroup, accepted);
    nlGroupAddSocket(game.waitGroup, accepted);
    if (game.selfConnection == NL_INVALID && IsSelfConnection(game, accepted)) {
      Guard guard(game.lock);
      game.selfConnection = accepted;
    }
  }
}

// Step 3b: one read round over the ready connections.
void ReadConnections(NetGame& game) {
  NLsocket ready[kMaxNetConnections];
  NLint count = nlPollGroup(game.connectionGroup, NL_READ_STATUS, ready, kMaxNetConnections, 0);
  for (NLint i = 0; i < count; ++i) {
    NLsocket socket = ready[i];
    for (int n = 0; n < kReadsPerPass; ++n) {
      NetMessage message;
      NLint read = 0;
      if (ReadOne(socket, message, read)) {
        Guard guard(game.lock);
        if (HostAccepts(game, message, socket)) game.incoming.push_back({message, socket});
        continue;
      }
      NLenum error = nlGetError();
      if (read < 0 && (error == NL_MESSAGE_END || error == NL_SOCK_DISCONNECT)) {
        DropConnection(game, socket);
      }
      // A read of no whole message, or one refused: the next pass looks again.
      if (read <= 0) break;
    }
  }
}

// Step 4: data for this process's own players goes into their inboxes.
void DeliverLocal(NetGame& game) {
  Guard guard(game.lock);
  std::erase_if(game.incoming, [&](const QueuedMessage& queued) {
    const NetMessage& m = queued.message;
    if (m.kind != MsgData || m.to <= 0) return false;
    for (LocalPlayer& player : game.players) {
      if (player.record.id == m.to) {
        if (player.inbox.size() < kMaxInboxMessages) player.inbox.push_back(m);
        return true;
      }
    }
    return false;
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

// Handles one message addressed to the host; false when it is not one the host handles.
bool HandleForHost(NetGame& game, const QueuedMessage& queued, Outgoing& outgoing) {
  const NetMessage& m = queued.message;
  switch (m.kind) {
    case MsgJoin: {
      if (queued.source == NL_INVALID) return true;
      // Unwelcomed beyond the limit: the joining process waits for an id and gives up.
      if (std::count_if(game.connections.begin(), game.connections.end(), [&](const NetPlayer& p) {
            return p.socket == queued.source;
          }) >= kMaxPlayersPerConnection) {
        return true;
      }
      NetPlayer entry;
      std::memcpy(&entry, m.data, sizeof entry);
      entry.socket = queued.source;
      entry.id = game.nextId++;
      entry.hidden = entry.hidden != 0;
      std::memset(entry.padding, 0, sizeof entry.padding);
      std::memset(entry.inbox, 0, sizeof entry.inbox);
      game.connections.push_back(entry);
      outgoing.emplace_back(queued.source, MakeMessage(MsgWelcome, entry.id, 0));
      return true;
    }
    case MsgLeave:
      std::erase_if(game.connections, [&](const NetPlayer& p) { return p.id == m.from; });
      return true;
    case MsgCountPlayers:
    case MsgPlayerId:
    case MsgPlayerName:
    case MsgPing: {
      const NetPlayer* asker = FindConnection(game, m.from);
      if (asker != nullptr) outgoing.emplace_back(asker->socket, ReplyTo(game, m));
      return true;
    }
    default: return true;
  }
}

// Step 5: routing and the host's own handling.
void HandleAtHost(NetGame& game) {
  Outgoing outgoing;
  {
    Guard guard(game.lock);
    std::erase_if(game.incoming, [&](const QueuedMessage& queued) {
      const NetMessage& m = queued.message;
      if (m.kind == MsgData && m.to == -1) {
        for (const NetPlayer& p : game.connections) {
          NetMessage copy = m;
          copy.to = p.id;
          outgoing.emplace_back(p.socket, copy);
        }
        return true;
      }
      if (m.kind == MsgData && m.to != 0) {
        const NetPlayer* p = FindConnection(game, m.to);
        if (p != nullptr) outgoing.emplace_back(p->socket, m);
        return true;
      }
      if (m.to != 0) return false;
      return HandleForHost(game, queued, outgoing);
    });
  }
  WriteAll(outgoing);
}

// Steps 6 and 7: replies for the queries, welcomes for the waiting players, the rest dropped.
void HandleAtClient(NetGame& game) {
  Guard guard(game.lock);
  for (const QueuedMessage& queued : game.incoming) {
    const NetMessage& m = queued.message;
    if (m.kind > 99) {
      game.replies.push_back(m);
      if (game.replies.size() > kMaxWaitingReplies) game.replies.pop_front();
    } else if (m.kind == MsgWelcome) {
      LocalPlayer* oldest = nullptr;
      for (LocalPlayer& player : game.players) {
        if (player.record.id == -3 && (oldest == nullptr || player.joinOrder < oldest->joinOrder)) {
          oldest = &player;
        }
      }
      if (oldest != nullptr) oldest->record.id = m.to;
    }
  }
  game.incoming.clear();
}

void OpenGroups(NetGame& game) {
  game.connectionGroup = nlGroupCreate();
  game.waitGroup = nlGroupCreate();
  nlGroupAddSocket(game.waitGroup, game.clientSocket);
  if (game.listenSocket != NL_INVALID) nlGroupAddSocket(game.waitGroup, game.listenSocket);
}

void CloseHostState(NetGame& game) {
  for (NLsocket socket : game.hostSockets) nlClose(socket);
  game.hostSockets.clear();
  nlGroupDestroy(game.connectionGroup);
  nlGroupDestroy(game.waitGroup);
  game.connectionGroup = game.waitGroup = -1;
  Guard guard(game.lock);
  game.connections.clear();
  game.selfConnection = NL_INVALID;
}

bool StopRequested(NetGame& game) {
  Guard guard(game.lock);
  return game.stopRequested != 0;
}

}  // namespace

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
  OpenGroups(game);
  while (!StopRequested(game)) {
    SendPlayerChanges(game);
    ReadClientSocket(game);
    if (host) {
      if (!AcceptConnections(game)) {
        Guard guard(game.lock);
        game.stopRequested = 1;
        break;
      }
      ReadConnections(game);
    }
    DeliverLocal(game);
    if (host) HandleAtHost(game);
    HandleAtClient(game);
    // Instead of a fixed sleep: wake as soon as anything arrives.
    NLsocket ready[kMaxNetConnections + 2];
    nlPollGroup(game.waitGroup, NL_READ_STATUS, ready, kMaxNetConnections + 2, kWaitMs);
  }
  CloseHostState(game);
  Guard guard(game.lock);
  game.threadRunning = 0;
  game.stopRequested = 1;
}

}  // namespace quillon
