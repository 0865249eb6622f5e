// The socket library the network game and the HTTP fetch share: small integer sockets over IPv4
// TCP, with a packet mode that frames every write, socket groups for polling, and counted
// initialisation so several users can share one process.
#pragma once

#include <cstdint>

namespace quillon {

using NLsocket = int32_t;
using NLint = int32_t;
using NLenum = int32_t;
using NLboolean = bool;

constexpr NLsocket NL_INVALID = -1;
constexpr NLint NL_MAX_PACKET_LENGTH = 16384;
// What a non-blocking packet socket keeps for a peer that reads slower than it is written to.
constexpr NLint NL_MAX_QUEUED_BYTES = 512 * 1024;

constexpr NLenum NL_IP = 3;
constexpr NLenum NL_TCP = 0x10;  // a raw byte stream
constexpr NLenum NL_RELIABLE = NL_TCP;
constexpr NLenum NL_TCP_PACKETS = 0x11;  // each write arrives as one read
constexpr NLenum NL_RELIABLE_PACKETS = NL_TCP_PACKETS;
constexpr NLenum NL_UDP = 0x12;

constexpr NLenum NL_BLOCKING_IO = 0x40;
constexpr NLenum NL_SOCKET_STATS = 0x41;
constexpr NLenum NL_READ_STATUS = 0x50;

constexpr NLenum NL_NO_ERROR = 0;
constexpr NLenum NL_NO_NETWORK = 0x100;
constexpr NLenum NL_OUT_OF_MEMORY = 0x101;
constexpr NLenum NL_INVALID_ENUM = 0x102;
constexpr NLenum NL_INVALID_SOCKET = 0x103;
constexpr NLenum NL_INVALID_PORT = 0x104;
constexpr NLenum NL_INVALID_TYPE = 0x105;
constexpr NLenum NL_SYSTEM_ERROR = 0x106;
constexpr NLenum NL_SOCK_DISCONNECT = 0x107;  // reset, or a packet stream out of sync
constexpr NLenum NL_NOT_LISTEN = 0x108;
constexpr NLenum NL_CON_REFUSED = 0x109;
constexpr NLenum NL_NO_PENDING = 0x10A;
constexpr NLenum NL_BAD_ADDR = 0x10B;
constexpr NLenum NL_MESSAGE_END = 0x10C;  // the peer closed the stream normally
constexpr NLenum NL_NULL_POINTER = 0x10D;
constexpr NLenum NL_INVALID_GROUP = 0x10E;
constexpr NLenum NL_PACKET_SIZE = 0x110;
constexpr NLenum NL_TLS_ERROR = 0x120;  // handshake or certificate failure
constexpr NLenum NL_MESSAGE_CUT = 0x121;  // a TLS stream closed without its close notification

// An IPv4 address: host in network byte order, port in host order.
struct NLaddress {
  uint32_t host = 0;
  uint16_t port = 0;
  NLboolean valid = false;
};

// Counted: every successful nlInit needs one nlShutdown; the last one closes all sockets and
// groups. False only when the system refuses.
NLboolean nlInit();
void nlShutdown();
// Only NL_IP exists; anything else fails with NL_INVALID_ENUM.
NLboolean nlSelectNetwork(NLenum network);
// NL_BLOCKING_IO (sockets opened afterwards by this thread block) and NL_SOCKET_STATS
// (accepted, no statistics are kept). Per thread, so one user's choice never reaches another's.
NLboolean nlEnable(NLenum name);
NLboolean nlDisable(NLenum name);
NLboolean nlGetBoolean(NLenum name);
// The last error of the calling thread, and errno behind NL_SYSTEM_ERROR.
NLenum nlGetError();
NLint nlGetSystemError();

// A socket bound to port (0: any free port) of type NL_TCP or NL_TCP_PACKETS; NL_INVALID on
// failure. NL_UDP is not offered (NL_INVALID_TYPE).
NLsocket nlOpen(uint16_t port, NLenum type);
NLboolean nlListen(NLsocket socket);
// A new connected socket, or NL_INVALID with NL_NO_PENDING (nothing waits), NL_NOT_LISTEN or
// NL_SYSTEM_ERROR. The new socket blocks when the listening one does.
NLsocket nlAcceptConnection(NLsocket socket);
// Blocks until connected or refused, also for a non-blocking socket.
NLboolean nlConnect(NLsocket socket, const NLaddress* address);
NLboolean nlClose(NLsocket socket);

// NL_TCP_PACKETS: one whole packet (at most NL_MAX_PACKET_LENGTH bytes; the rest of a longer
// packet than nbytes is dropped) or 0 when none has fully arrived yet (also once, without asking
// the system, right after a read took everything that had arrived; a poll asks again). NL_TCP: what has arrived,
// 0 when nothing has on a non-blocking socket. -1 with NL_MESSAGE_END when the peer closed, with
// NL_SOCK_DISCONNECT on a reset or a packet stream out of sync (the socket stays broken).
NLint nlRead(NLsocket socket, void* buffer, NLint nbytes);
// Writes all bytes (one packet on NL_TCP_PACKETS, at most NL_MAX_PACKET_LENGTH); bytes written
// or -1. A packet cut short breaks the socket rather than desynchronise the stream. A
// non-blocking packet socket never waits: what the system does not take at once is queued
// (nlQueue) and sent by later writes, nlFlush or a poll of a group holding the socket.
NLint nlWrite(NLsocket socket, const void* buffer, NLint nbytes);
// Non-blocking NL_TCP_PACKETS only: appends one packet to the socket's queue without sending it;
// nbytes or -1. A queue that would pass NL_MAX_QUEUED_BYTES ends the stream (NL_SOCK_DISCONNECT;
// the peer reads as gone), so a peer that stops reading costs at most that much.
NLint nlQueue(NLsocket socket, const void* buffer, NLint nbytes);
// Sends what the system takes now of the queue; false when the stream broke.
NLboolean nlFlush(NLsocket socket);
// Bytes waiting in the queue; bytes of a packet that has begun to arrive but is not whole yet.
// 0 for an unknown socket.
NLint nlGetQueuedBytes(NLsocket socket);
NLint nlGetPartialBytes(NLsocket socket);
// The most bytes the process's sockets held queued at once since the last call; each call starts
// over from what is queued now.
int64_t nlTakeQueuedPeak();
// Blocking reads on the socket, also those inside TLS records, give up after milliseconds
// without data (0: never): -1 with NL_SOCK_DISCONNECT, and the stream stays broken.
NLboolean nlSetReadTimeout(NLsocket socket, NLint milliseconds);

// The socket's bound address; a socket bound to every interface reports 127.0.0.1, the address
// this machine reaches itself by.
NLboolean nlGetLocalAddr(NLsocket socket, NLaddress* address);
NLboolean nlGetRemoteAddr(NLsocket socket, NLaddress* address);
// Dotted numbers or a name; NL_BAD_ADDR when it does not resolve.
NLboolean nlGetAddrFromName(const char* name, NLaddress* address);
NLboolean nlSetAddrPort(NLaddress* address, uint16_t port);
uint16_t nlGetPortFromAddr(const NLaddress* address);
// "a.b.c.d:port", or "a.b.c.d" for port 0; buffer holds at least 32 bytes.
char* nlAddrToString(const NLaddress* address, char* buffer);
// Every IPv4 address of this machine's interfaces, in a per-thread array valid until the next
// call; count receives their number.
NLaddress* nlGetAllLocalAddr(NLint* count);

// Groups of sockets to poll together; at most 1024 sockets each. A new group, or NL_INVALID when
// the system has no room for its wait set.
NLint nlGroupCreate();
NLboolean nlGroupDestroy(NLint group);
NLboolean nlGroupAddSocket(NLint group, NLsocket socket);
NLboolean nlGroupDeleteSocket(NLint group, NLsocket socket);
// Ends the group's current or next wait at once, from any thread; that wait may return 0.
NLboolean nlGroupWake(NLint group);
// NL_READ_STATUS: fills sockets with up to max readable members (a whole packet buffered, new
// data, a closed or broken stream, a pending connection); waits up to timeout ms (0: no wait,
// negative: forever). Returns their count, or -1. Members with queued packets are sent what
// they take meanwhile; that alone may end the wait with a count of 0.
NLint nlPollGroup(NLint group, NLenum name, NLsocket* sockets, NLint max, NLint timeout);

// Beyond the classic calls: TLS on a connected NL_TCP socket. Verifies the server's certificate
// for serverName (a name or dotted address) against the system's authorities, or those of the
// file nlSetTlsTrustFile named; afterwards reads and writes on the socket go through TLS. False
// with NL_TLS_ERROR, and the socket should be closed; also when the TLS library (GnuTLS, loaded
// by the first call) is missing. A stream that ends without the server's close notification may
// have been cut short: its read fails with NL_MESSAGE_CUT.
NLboolean nlStartTls(NLsocket socket, const char* serverName);
// A PEM file of authorities to trust instead of the system's store; "" restores the store.
void nlSetTlsTrustFile(const char* path);

}  // namespace quillon
