// Plumbing of the network game: the commands on an explicit record (several records may live in
// one process, as the tests' players do), message checks, the thread, start-up and end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/net/net_game.h"

namespace quillon {

// Start-up creates the process's record; program end stops its thread and releases the library.
NetGame* CreateNetGame();
void EndNetGame(NetGame*& game);
// The process's record (created on first use when start-up has not run).
NetGame& CurrentNetGame();

int32_t HostGame(NetGame& game, int32_t port);
int32_t JoinGame(NetGame& game, const char* host, int32_t port);
int32_t AddPlayer(NetGame& game, const char* name);
int32_t RemovePlayer(NetGame& game, int32_t id);
int32_t SendText(NetGame& game, int32_t from, int32_t to, const char* text, size_t length);
// False when the player has nothing waiting; otherwise the text and its sender.
bool ReceiveText(NetGame& game, int32_t id, std::string& text, int32_t& from);
// The host's reply to a query (kind 101..104 with its int32 payload); false without one.
bool AskHost(NetGame& game, uint8_t kind, int32_t argument, NetMessage& reply);
// Asks the thread to stop and waits for it.
void StopNetThread(NetGame& game);
// The waits for ids and replies: tries of 20 ms each (250 unless a test changes it).
void SetNetWaitTries(int32_t tries);
// How long a host lets a connection stay silent or hold half a message (10 s unless a test
// changes it; 0 restores that).
void SetNetDeadline(int32_t milliseconds);

// A message just read (count bytes into a zeroed record): true when it is one, after
// terminating its text; false for short reads, a wrong magic, lengths the read did not carry and
// texts that leave no room in data for their end.
bool AcceptReceived(NetMessage& message, int32_t count);
// Whether the host takes a message from a connection: joins, and otherwise only a `from` that
// joined through that same connection.
bool HostAccepts(const NetGame& game, const NetMessage& message, NLsocket source);
NetMessage MakeMessage(uint8_t kind, int32_t to, int32_t from);
// Writes the whole record; false when it did not all go.
bool WriteMessage(NLsocket socket, const NetMessage& message);

// Reads what the host sent, a pass's worth at most, and files it: data into its player's inbox
// (within kMaxInboxMessages), replies for the queries, welcomes to their entries; the ids of late
// welcomes go into leaves, for SendLeaves once the lock is released. Either thread calls it while
// holding game.lock, so messages are filed in the order they came. True when the host is gone.
bool ReadFromHostLocked(NetGame& game, std::vector<int32_t>& leaves);
void SendLeaves(NetGame& game, const std::vector<int32_t>& leaves);
// This process's player with that id, or null. Holds game.lock.
LocalPlayer* FindPlayer(NetGame& game, int32_t id);
// Steady milliseconds, for the thread's deadlines and the game thread's reads.
int64_t NetNowMs();

void NetThread(void* game);

}  // namespace quillon
