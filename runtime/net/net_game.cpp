// The network commands: they run on the game thread and meet the thread in the record's queues.
#include "runtime/net/net_game.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/net/net_internal.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

using Guard = std::lock_guard<HTmutex>;

constexpr int32_t kWaitStepMs = 20;
constexpr int32_t kSendStallMs = 5000;
constexpr uint32_t kAddressTextLimit = 4096 - 32;
int32_t waitTries = 250;

// First use: this record takes its share of the library.
bool EnsureLibrary(NetGame& game) {
  if (game.libraryReady) return true;
  game.listenSocket = NL_INVALID;
  game.clientSocket = NL_INVALID;
  game.networkType = NL_IP;
  game.connectionType = NL_TCP_PACKETS;
  if (!nlInit()) return false;
  nlSelectNetwork(NL_IP);
  game.libraryReady = 1;
  return true;
}

int32_t PortOrDefault(int32_t port) { return port <= 0 ? kDefaultNetPort : port; }

void CloseSockets(NetGame& game) {
  if (game.listenSocket != NL_INVALID) nlClose(game.listenSocket);
  if (game.clientSocket != NL_INVALID) nlClose(game.clientSocket);
  game.listenSocket = game.clientSocket = NL_INVALID;
}

bool StartNetThread(NetGame& game) {
  {
    Guard guard(game.lock);
    game.stopRequested = 0;
    game.threadRunning = 1;
    game.hostGone = 0;
    game.nextId = 101;
    // Joins that timed out on the last connection wait for no welcome on this one.
    game.players.remove_if([](const LocalPlayer& p) { return p.abandoned; });
  }
  game.thread = htThreadCreate(NetThread, &game);
  if (game.thread >= 0) return true;
  Guard guard(game.lock);
  game.stopRequested = 1;
  game.threadRunning = 0;
  return false;
}

LocalPlayer* FindEntry(NetGame& game, uint32_t key) {
  for (LocalPlayer& player : game.players) {
    if (player.key == key) return &player;
  }
  return nullptr;
}

// Whether the game thread may read the host's messages itself: only while the thread runs, which
// reads them too, and only from a stream that has not ended. Holds game.lock.
bool ReadsThrough(const NetGame& game) {
  return game.threadRunning && !game.stopRequested && !game.hostGone &&
         game.clientSocket != NL_INVALID;
}

// The entry's id once the host gave one; -1 while it waits.
int32_t IdOf(NetGame& game, uint32_t key, bool& hostGone) {
  Guard guard(game.lock);
  hostGone = game.hostGone != 0;
  LocalPlayer* entry = FindEntry(game, key);
  return entry != nullptr && entry->record.id >= 0 ? entry->record.id : -1;
}

// Gives up on an entry still waiting: a join never sent is forgotten; a join on its way stays
// listed until its welcome comes, so that id is handed back with a leave and to nobody else. The
// id when it came after all, else -1.
int32_t Abandon(NetGame& game, uint32_t key) {
  Guard guard(game.lock);
  LocalPlayer* entry = FindEntry(game, key);
  if (entry == nullptr) return -1;
  if (entry->record.id >= 0) return entry->record.id;
  if (entry->record.id == -3 && !game.hostGone) {
    entry->abandoned = true;
  } else {
    game.players.remove_if([&](const LocalPlayer& p) { return p.key == key; });
  }
  return -1;
}

// Waits for the host to give the entry an id; -1 after the tries run out.
int32_t WaitForId(NetGame& game, uint32_t key) {
  bool hostGone = false;
  for (int32_t i = 0; i < waitTries && !hostGone; ++i) {
    int32_t id = IdOf(game, key, hostGone);
    if (id >= 0) return id;
    htThreadSleep(kWaitStepMs);
  }
  return Abandon(game, key);
}

uint32_t AddEntry(NetGame& game, const char* name, uint8_t hidden) {
  LocalPlayer entry;
  entry.record.socket = -1;
  entry.record.id = -1;
  entry.record.hidden = hidden;
  std::strncpy(entry.record.name, name, kNetNameSize - 1);
  Guard guard(game.lock);
  entry.key = game.nextKey++;
  game.players.push_front(std::move(entry));
  return game.players.front().key;
}

void ForgetEntry(NetGame& game, int32_t id) {
  Guard guard(game.lock);
  game.players.remove_if([&](const LocalPlayer& p) { return p.record.id == id; });
}

bool ConnectClient(NetGame& game, const char* host, int32_t port) {
  NLsocket client = nlOpen(0, NL_TCP_PACKETS);
  if (client == NL_INVALID) return false;
  NLaddress address;
  bool resolved =
      host[0] == '\0' ? nlGetLocalAddr(client, &address) : nlGetAddrFromName(host, &address);
  if (!resolved || !nlSetAddrPort(&address, static_cast<uint16_t>(port)) ||
      !nlConnect(client, &address)) {
    nlClose(client);
    return false;
  }
  game.clientSocket = client;
  return true;
}

NetGame& Game() { return CurrentNetGame(); }
int32_t NumberArgument(const StringValue& text) { return TruncateToInt32(std::atof(text.CStr())); }

}  // namespace

NetGame* CreateNetGame() {
  auto* game = new NetGame();
  htMutexInit(&game->lock);
  return game;
}

void EndNetGame(NetGame*& game) {
  if (game == nullptr) return;
  StopNetThread(*game);
  htMutexDestroy(&game->lock);
  if (game->libraryReady) {
    CloseSockets(*game);
    nlShutdown();
  }
  delete game;
  game = nullptr;
}

NetGame& CurrentNetGame() {
  if (runtimeState.network == nullptr) runtimeState.network = CreateNetGame();
  return *runtimeState.network;
}

void SetNetWaitTries(int32_t tries) { waitTries = tries > 0 ? tries : 1; }

void StopNetThread(NetGame& game) {
  {
    Guard guard(game.lock);
    game.stopRequested = 1;
    // Its wait ends now rather than at its time-out.
    if (game.waitGroup != -1) nlGroupWake(game.waitGroup);
  }
  // The thread never blocks on a peer: it sees the request within one pass.
  htThreadJoin(game.thread);
  game.thread = -1;
}

int32_t HostGame(NetGame& game, int32_t port) {
  if (!EnsureLibrary(game)) return 0;
  port = PortOrDefault(port);
  if (port > 65535) return 0;
  StopNetThread(game);
  CloseSockets(game);
  game.listenSocket = nlOpen(static_cast<uint16_t>(port), NL_TCP_PACKETS);
  if (game.listenSocket == NL_INVALID) return 0;
  if (!nlListen(game.listenSocket) || !ConnectClient(game, "", port) || !StartNetThread(game)) {
    CloseSockets(game);
    return 0;
  }
  return 1;
}

int32_t JoinGame(NetGame& game, const char* host, int32_t port) {
  StopNetThread(game);
  // Joining first in a process is allowed: the library is set up here too.
  if (!EnsureLibrary(game)) return 0;
  CloseSockets(game);
  port = PortOrDefault(port);
  if (port > 65535 || !ConnectClient(game, host, port) || !StartNetThread(game)) {
    CloseSockets(game);
    return 0;
  }
  int32_t probeId = WaitForId(game, AddEntry(game, "", 1));
  NetMessage reply;
  bool answered = probeId >= 0 && AskHost(game, MsgPing, 0, reply);
  if (probeId >= 0) {
    WriteMessage(game.clientSocket, MakeMessage(MsgLeave, 0, probeId));
    ForgetEntry(game, probeId);
  }
  if (answered) return 1;
  StopNetThread(game);
  return 0;
}

int32_t AddPlayer(NetGame& game, const char* name) {
  return WaitForId(game, AddEntry(game, name, name[0] == '\0' ? 1 : 0));
}

int32_t RemovePlayer(NetGame& game, int32_t id) {
  if (game.clientSocket != NL_INVALID) {
    WriteMessage(game.clientSocket, MakeMessage(MsgLeave, 0, id));
  }
  ForgetEntry(game, id);
  return 1;
}

int32_t SendText(NetGame& game, int32_t from, int32_t to, const char* text, size_t length) {
  if (game.clientSocket == NL_INVALID) return 0;
  NetMessage message = MakeMessage(MsgData, to == 0 ? -1 : to, from);
  // The text and its NUL stay inside data.
  length = std::min(length, static_cast<size_t>(kNetDataSize - 1));
  std::memcpy(message.data, text, length);
  message.length = static_cast<int32_t>(length);
  // A host that reads slower than this player writes holds the writer back, as a blocking write
  // would, for at most the old write stall; the queue's bound holds either way.
  for (int32_t waited = 0; waited < kSendStallMs && nlGetQueuedBytes(game.clientSocket) >
                                                        NL_MAX_QUEUED_BYTES / 2;
       ++waited) {
    nlFlush(game.clientSocket);
    htThreadSleep(1);
  }
  return WriteMessage(game.clientSocket, message) ? 1 : 0;
}

bool ReceiveText(NetGame& game, int32_t id, std::string& text, int32_t& from) {
  if (id <= 0) return false;  // only ids the host gave have inboxes
  std::vector<int32_t> leaves;
  bool taken = false;
  {
    Guard guard(game.lock);
    LocalPlayer* player = FindPlayer(game, id);
    if (player == nullptr) return false;
    // Nothing waits: read the socket here rather than wait for the thread to wake and pass it on.
    if (player->inbox.empty() && ReadsThrough(game)) {
      ReadFromHostLocked(game, leaves);
      game.readThroughMs = NetNowMs();
      player = FindPlayer(game, id);
    }
    if (player != nullptr && !player->inbox.empty()) {
      const NetMessage& m = player->inbox.front();
      text.assign(m.data, static_cast<size_t>(m.length));
      from = m.from;
      game.lastSender = m.from;
      player->inbox.pop_front();
      taken = true;
    }
  }
  SendLeaves(game, leaves);
  return taken;
}

bool AskHost(NetGame& game, uint8_t kind, int32_t argument, NetMessage& reply) {
  NetMessage query = MakeMessage(kind, 0, 0);
  {
    Guard guard(game.lock);
    // The newest player the host knows: one still waiting for its id would not be answered.
    auto known = std::find_if(game.players.begin(), game.players.end(),
                              [](const LocalPlayer& p) { return p.record.id > 0; });
    if (known == game.players.end()) return false;
    query.from = known->record.id;
    game.replies.clear();
  }
  query.length = sizeof argument;
  std::memcpy(query.data, &argument, sizeof argument);
  if (!WriteMessage(game.clientSocket, query)) return false;
  for (int32_t i = 0; i < waitTries; ++i) {
    {
      Guard guard(game.lock);
      if (!game.replies.empty()) {
        reply = game.replies.front();
        game.replies.pop_front();
        return true;
      }
      if (game.hostGone) return false;
    }
    htThreadSleep(kWaitStepMs);
  }
  return false;
}

double NetHost(const StringValue& port) { return HostGame(Game(), NumberArgument(port)); }

double NetJoin(const StringValue& host, const StringValue& port) {
  return JoinGame(Game(), host.CStr(), NumberArgument(port));
}

StringValue NetAddPlayer(const StringValue& name) {
  return IntToText(AddPlayer(Game(), name.CStr()));
}

double NetRemovePlayer(const StringValue& id) { return RemovePlayer(Game(), NumberArgument(id)); }

double NetSend(const StringValue& from, const StringValue& to, const StringValue& text) {
  return SendText(Game(), NumberArgument(from), NumberArgument(to), text.CStr(), text.length);
}

StringValue NetReceive(const StringValue& id) {
  std::string text;
  int32_t from = 0;
  if (!ReceiveText(Game(), NumberArgument(id), text, from)) return StringValue("");
  return StringValue(text.c_str());
}

StringValue NetLastSender() { return IntToText(Game().lastSender); }

StringValue NetLocalAddresses() {
  NetGame& game = Game();
  if (!EnsureLibrary(game)) return StringValue("");
  NLsocket probe = nlOpen(kDefaultNetPort, NL_TCP_PACKETS);
  NLint count = 0;
  NLaddress* addresses = nlGetAllLocalAddr(&count);
  StringValue result;
  for (NLint i = 0; i < count; ++i) {
    char text[32];
    nlAddrToString(&addresses[i], text);
    uint32_t extra = static_cast<uint32_t>(std::strlen(text)) + (i > 0 ? 1 : 0);
    if (result.length + extra > kAddressTextLimit) break;
    if (i > 0) result += "|";
    result += text;
  }
  if (probe != NL_INVALID) nlClose(probe);
  return result;
}

double NetPlayerCount() {
  NetMessage reply;
  if (!AskHost(Game(), MsgCountPlayers, 0, reply)) return 0;
  int32_t count = 0;
  std::memcpy(&count, reply.data, sizeof count);
  return count;
}

StringValue NetPlayerId(const StringValue& index) {
  NetMessage reply;
  if (!AskHost(Game(), MsgPlayerId, NumberArgument(index), reply)) return StringValue("0");
  int32_t id = 0;
  std::memcpy(&id, reply.data, sizeof id);
  return IntToText(id);
}

StringValue NetPlayerName(const StringValue& id) {
  NetMessage reply;
  if (!AskHost(Game(), MsgPlayerName, NumberArgument(id), reply)) return StringValue("NO_DATA");
  return StringValue(reply.data);
}

}  // namespace quillon
