// Raw loopback sockets for the network tests: a peer that speaks the wire format by hand.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/net/net_game.h"

namespace quillon::testing {

// A port on 127.0.0.1 that was free a moment ago.
int FreePort();
// A connected raw socket to 127.0.0.1:port, or -1; a receive buffer of that size when given.
int RawConnect(int port, int receiveBuffer = 0);
// A raw listening socket on 127.0.0.1 at a free port.
int RawListen(int& port);
int RawAccept(int listener);  // waits up to 10 s; -1 on time-out
bool RawSend(int fd, const void* bytes, size_t count);
// Sends a packet frame ('N', 'L', big-endian length) around payload.
bool RawSendPacket(int fd, const void* payload, size_t count);
// Reads exactly count bytes within 10 s.
bool RawReceive(int fd, void* bytes, size_t count);
// Reads one framed NetMessage within 10 s.
bool RawReceiveMessage(int fd, NetMessage& message);
// True when the peer closed the connection within 10 s.
bool RawSeesClose(int fd);
void RawClose(int fd);

// A raw peer joined to a host as a player; -1 when the host did not welcome it.
int32_t RawJoin(int fd, const char* name);
// A join of one player, as a peer sends it.
NetMessage JoinMessage(const char* name);

}  // namespace quillon::testing
