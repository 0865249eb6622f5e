#include "tests/net/net_test_helpers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "runtime/net/net_internal.h"

namespace quillon::testing {

namespace {

constexpr int kWaitMs = 10000;

sockaddr_in Loopback(int port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in.sin_port = htons(static_cast<uint16_t>(port));
  return in;
}

bool WaitReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kWaitMs) > 0;
}

}  // namespace

int RawListen(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in in = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
  ::listen(fd, 16);
  socklen_t size = sizeof in;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&in), &size);
  port = ntohs(in.sin_port);
  return fd;
}

int FreePort() {
  int port = 0;
  ::close(RawListen(port));
  return port;
}

int RawConnect(int port, int receiveBuffer) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (receiveBuffer > 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  sockaddr_in in = Loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int RawAccept(int listener) {
  return WaitReadable(listener) ? ::accept(listener, nullptr, nullptr) : -1;
}

bool RawSend(int fd, const void* bytes, size_t count) {
  return ::send(fd, bytes, count, MSG_NOSIGNAL) == static_cast<ssize_t>(count);
}

bool RawSendPacket(int fd, const void* payload, size_t count) {
  uint8_t header[4] = {'N', 'L', static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
  return RawSend(fd, header, 4) && RawSend(fd, payload, count);
}

bool RawReceive(int fd, void* bytes, size_t count) {
  auto* out = static_cast<uint8_t*>(bytes);
  size_t got = 0;
  while (got < count) {
    if (!WaitReadable(fd)) return false;
    ssize_t n = ::recv(fd, out + got, count - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool RawReceiveMessage(int fd, NetMessage& message) {
  uint8_t header[4];
  if (!RawReceive(fd, header, 4) || header[0] != 'N' || header[1] != 'L') return false;
  size_t length = (static_cast<size_t>(header[2]) << 8) | header[3];
  if (length != sizeof message) return false;
  return RawReceive(fd, &message, sizeof message);
}

bool RawSeesClose(int fd) {
  char byte;
  while (WaitReadable(fd)) {
    ssize_t n = ::recv(fd, &byte, 1, 0);
    if (n <= 0) return true;
  }
  return false;
}

void RawClose(int fd) { ::close(fd); }

NetMessage JoinMessage(const char* name) {
  NetMessage join = MakeMessage(MsgJoin, 0, 0);
  NetPlayer player{};
  player.socket = -1;
  player.id = -1;
  std::strncpy(player.name, name, sizeof player.name - 1);
  std::memcpy(join.data, &player, sizeof player);
  join.length = sizeof player;
  return join;
}

int32_t RawJoin(int fd, const char* name) {
  NetMessage join = JoinMessage(name);
  NetMessage welcome;
  if (!RawSendPacket(fd, &join, sizeof join) || !RawReceiveMessage(fd, welcome)) return -1;
  return welcome.kind == MsgWelcome ? welcome.to : -1;
}

}  // namespace quillon::testing
