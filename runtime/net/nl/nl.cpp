#include "runtime/net/nl/nl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "runtime/net/nl/nl_internal.h"
#include "runtime/net/nl/packet_frame.h"

namespace quillon {

namespace {

// A stream that stops taking bytes for this long breaks the packet rather than hang the writer.
constexpr int kWriteStallMs = 5000;
// Room for a few whole packets: a peer cannot make a socket buffer more than this.
constexpr size_t kReadBufferLimit = 4 * (kPacketHeaderSize + NL_MAX_PACKET_LENGTH);
// An emptied queue keeps this much room; a peer that once lagged does not pin its peak.
constexpr size_t kKeptQueueCapacity = 64 * 1024;

// A group's member, as its epoll set watches it.
struct GroupMember {
  NLsocket id = NL_INVALID;
  std::shared_ptr<NlSocket> socket;
  bool watchingOut = false;  // also woken when it takes bytes: its queue had some
};

// The members of a group and the epoll set that waits for them: a wake reports just the ready
// ones, with no list to hand the system on every wait.
struct Group {
  int epollFd = -1;
  int wakeFd = -1;  // an eventfd in the set: nlGroupWake ends a wait
  std::vector<GroupMember> members;
};

struct Library {
  std::mutex lock;
  int users = 0;
  NLsocket nextSocket = 1;
  NLint nextGroup = 1;
  std::unordered_map<NLsocket, std::shared_ptr<NlSocket>> sockets;
  std::unordered_map<NLint, Group> groups;
};

// Never destroyed: a network thread may still close a socket while static objects go away.
Library& Lib() {
  static auto* library = new Library();
  return *library;
}

bool Watch(const Group& group, const GroupMember& member, int operation) {
  epoll_event event{};
  event.events = EPOLLIN | (member.watchingOut ? uint32_t{EPOLLOUT} : 0u);
  event.data.u64 = static_cast<uint64_t>(static_cast<uint32_t>(member.id));
  return ::epoll_ctl(group.epollFd, operation, member.socket->fd, &event) == 0;
}

// Takes the socket out of the group, if it is in. Holds the library lock.
void Unwatch(Group& group, NLsocket socket) {
  std::erase_if(group.members, [&](const GroupMember& m) {
    if (m.id != socket) return false;
    ::epoll_ctl(group.epollFd, EPOLL_CTL_DEL, m.socket->fd, nullptr);
    return true;
  });
}

constexpr uint64_t kWakeMark = ~uint64_t{0};

void CloseGroup(Group& group) {
  for (int* fd : {&group.epollFd, &group.wakeFd}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

// A new group's epoll set with its wake-up in it; false (and nothing open) when the system refuses.
bool OpenGroup(Group& group) {
  group.epollFd = ::epoll_create1(EPOLL_CLOEXEC);
  group.wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kWakeMark;
  if (group.epollFd >= 0 && group.wakeFd >= 0 &&
      ::epoll_ctl(group.epollFd, EPOLL_CTL_ADD, group.wakeFd, &event) == 0) {
    return true;
  }
  CloseGroup(group);
  return false;
}

// Every socket's queue together, and the most it reached.
std::atomic<int64_t> queuedTotal{0};
std::atomic<int64_t> queuedPeak{0};

void CountQueued(int64_t delta) {
  int64_t now = queuedTotal.fetch_add(delta) + delta;
  int64_t peak = queuedPeak.load();
  while (now > peak && !queuedPeak.compare_exchange_weak(peak, now)) {
  }
}

thread_local NLenum lastError = NL_NO_ERROR;
thread_local NLint lastSystemError = 0;
thread_local bool blockingOption = false;

bool Fail(NLenum error) {
  lastError = error;
  if (error == NL_SYSTEM_ERROR) lastSystemError = errno;
  return false;
}

NLenum ErrorFromErrno(int code) {
  switch (code) {
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH: return NL_SOCK_DISCONNECT;
    case ECONNREFUSED: return NL_CON_REFUSED;
    default: return NL_SYSTEM_ERROR;
  }
}

void SetNonBlocking(int fd, bool nonBlocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return;
  fcntl(fd, F_SETFL, nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

void SetNoDelay(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

NLsocket AddSocket(const std::shared_ptr<NlSocket>& socket) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  NLsocket id = lib.nextSocket++;
  lib.sockets.emplace(id, socket);
  return id;
}

NLaddress FromSockaddr(const sockaddr_in& in) {
  NLaddress address;
  address.host = in.sin_addr.s_addr;
  address.port = ntohs(in.sin_port);
  address.valid = true;
  return address;
}

sockaddr_in ToSockaddr(const NLaddress& address) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = address.host;
  in.sin_port = htons(address.port);
  return in;
}

// Waits until fd takes more bytes; false after kWriteStallMs.
bool WaitWritable(int fd) {
  pollfd p{fd, POLLOUT, 0};
  int ready = ::poll(&p, 1, kWriteStallMs);
  return ready > 0;
}

// Sends every byte or reports how far it got.
bool SendAll(int fd, const uint8_t* bytes, size_t count, size_t& sent) {
  sent = 0;
  while (sent < count) {
    ssize_t n = ::send(fd, bytes + sent, count - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitWritable(fd)) return Fail(NL_SOCK_DISCONNECT);
    } else {
      return Fail(ErrorFromErrno(errno));
    }
  }
  return true;
}

// A stream whose queue its peer will not take: it ends, and reads as gone on both sides.
void BreakWrites(NlSocket& s) {
  CountQueued(-static_cast<int64_t>(s.queued.load()));
  s.writeBroken = true;
  s.outgoing.clear();
  s.outgoing.shrink_to_fit();
  s.outHead = 0;
  s.queued = 0;
  ::shutdown(s.fd, SHUT_RDWR);
}

// Sends what the system takes of the queue now; false when the stream broke. Holds writeLock.
bool FlushQueue(NlSocket& s) {
  if (s.writeBroken) return Fail(NL_SOCK_DISCONNECT);
  while (s.outHead < s.outgoing.size()) {
    ssize_t n = ::send(s.fd, s.outgoing.data() + s.outHead, s.outgoing.size() - s.outHead,
                       MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      s.outHead += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      Fail(ErrorFromErrno(errno));
      BreakWrites(s);
      return false;
    }
  }
  CountQueued(static_cast<int64_t>(s.outgoing.size() - s.outHead) -
              static_cast<int64_t>(s.queued.load()));
  if (s.outHead == s.outgoing.size()) {
    s.outgoing.clear();
    s.outHead = 0;
    if (s.outgoing.capacity() > kKeptQueueCapacity) s.outgoing.shrink_to_fit();
  } else if (s.outHead > s.outgoing.size() / 2) {
    s.outgoing.erase(s.outgoing.begin(), s.outgoing.begin() + static_cast<ptrdiff_t>(s.outHead));
    s.outHead = 0;
  }
  s.queued = s.outgoing.size() - s.outHead;
  return true;
}

// Appends one framed packet; past the limit the stream ends instead. Holds writeLock.
bool QueuePacket(NlSocket& s, const uint8_t* bytes, size_t count) {
  if (s.writeBroken) return Fail(NL_SOCK_DISCONNECT);
  size_t size = kPacketHeaderSize + count;
  if (s.queued + size > static_cast<size_t>(NL_MAX_QUEUED_BYTES)) {
    BreakWrites(s);
    return Fail(NL_SOCK_DISCONNECT);
  }
  size_t at = s.outgoing.size();
  s.outgoing.resize(at + size);
  WriteFrameHeader(s.outgoing.data() + at, count);
  if (count > 0) std::memcpy(s.outgoing.data() + at + kPacketHeaderSize, bytes, count);
  s.queued = s.outgoing.size() - s.outHead;
  CountQueued(static_cast<int64_t>(size));
  return true;
}

bool Queues(const NlSocket& s) { return s.type == NL_TCP_PACKETS && !s.blocking; }

// One recv into out: the bytes received, 0 when nothing has arrived, or -1 with the stream marked
// ended or broken for every later read.
NLint Receive(NlSocket& s, uint8_t* out, size_t count) {
  ssize_t n;
  do {
    n = ::recv(s.fd, out, count, 0);
  } while (n < 0 && errno == EINTR);
  if (n > 0) return static_cast<NLint>(n);
  bool nothing = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  // A blocking socket only says "nothing" once its read time-out has passed.
  if (nothing && !s.blocking) return 0;
  s.broken = n == 0 ? NL_MESSAGE_END : nothing ? NL_SOCK_DISCONNECT : ErrorFromErrno(errno);
  if (s.broken == NL_CON_REFUSED) s.broken = NL_SOCK_DISCONNECT;
  Fail(s.broken);
  return -1;
}

// One Receive into the socket's packet buffer. The buffer is sized once, so a read only moves the
// unread tail, never clears the whole buffer again.
NLint FillBuffer(NlSocket& s) {
  if (s.buffer.empty()) s.buffer.resize(kReadBufferLimit);
  if (s.head > 0) {
    std::memmove(s.buffer.data(), s.buffer.data() + s.head, s.end - s.head);
    s.end -= s.head;
    s.head = 0;
  }
  size_t room = kReadBufferLimit - s.end;
  NLint n = Receive(s, s.buffer.data() + s.end, room);
  if (n > 0) s.end += static_cast<size_t>(n);
  // Only a non-blocking read that left room took all there was; a blocking one waits for more. A
  // read that found nothing says nothing of the next: a caller that comes back asks again.
  s.drained = !s.blocking && n > 0 && static_cast<size_t>(n) < room;
  return n;
}

FrameState BufferedFrame(const NlSocket& s, size_t& payloadLength) {
  return ExamineFrame(s.buffer.data() + s.head, s.end - s.head, NL_MAX_PACKET_LENGTH,
                      payloadLength);
}

NLint ReadPacket(NlSocket& s, uint8_t* out, NLint nbytes) {
  for (;;) {
    size_t length = 0;
    FrameState state = BufferedFrame(s, length);
    if (state == FrameState::OutOfSync) {
      s.broken = NL_SOCK_DISCONNECT;
      Fail(NL_SOCK_DISCONNECT);
      return -1;
    }
    if (state == FrameState::Whole) {
      size_t copied = std::min(length, static_cast<size_t>(nbytes));
      if (copied > 0) std::memcpy(out, s.buffer.data() + s.head + kPacketHeaderSize, copied);
      s.head += kPacketHeaderSize + length;
      return static_cast<NLint>(copied);
    }
    // Just emptied: a second recv would only say so again. Once, then the system is asked.
    if (s.drained) {
      s.drained = false;
      return 0;
    }
    NLint received = FillBuffer(s);
    if (received <= 0) return received;
  }
}

NLint ReadStream(NlSocket& s, uint8_t* out, NLint nbytes) {
  // A zero-length recv returns 0 as if the peer had closed: nothing to read is not an end.
  if (nbytes == 0) return 0;
  if (s.tls != nullptr) return TlsRead(s, out, nbytes);
  return Receive(s, out, static_cast<size_t>(nbytes));
}

// A socket is ready without asking the system when a read would return at once.
bool ReadyFromBuffer(NlSocket& s) {
  std::lock_guard<std::mutex> guard(s.readLock);
  s.drained = false;  // the poll asks the system itself
  if (s.broken != NL_NO_ERROR) return true;
  if (s.tls != nullptr) return TlsPending(s);
  if (s.type != NL_TCP_PACKETS) return false;
  size_t length = 0;
  return BufferedFrame(s, length) != FrameState::Incomplete;
}

bool SetOption(NLenum name, bool on) {
  if (name == NL_BLOCKING_IO)
    blockingOption = on;
  else if (name != NL_SOCKET_STATS)
    return Fail(NL_INVALID_ENUM);
  return true;
}

// getsockname or getpeername into address.
bool SocketAddress(NLsocket socket, NLaddress* address, int (*query)(int, sockaddr*, socklen_t*)) {
  if (address == nullptr) return Fail(NL_NULL_POINTER);
  auto s = FindSocket(socket);
  if (!s) return false;
  sockaddr_in in{};
  socklen_t size = sizeof in;
  if (query(s->fd, reinterpret_cast<sockaddr*>(&in), &size) != 0) return Fail(NL_SYSTEM_ERROR);
  *address = FromSockaddr(in);
  return true;
}

}  // namespace

NlSocket::~NlSocket() {
  CountQueued(-static_cast<int64_t>(queued.load()));
  if (tls != nullptr) TlsEnd(*this);
  if (fd >= 0) ::close(fd);
}

std::shared_ptr<NlSocket> FindSocket(NLsocket socket) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto found = lib.sockets.find(socket);
  if (found == lib.sockets.end()) {
    Fail(NL_INVALID_SOCKET);
    return nullptr;
  }
  return found->second;
}

void SetNlError(NLenum error) { Fail(error); }

NLboolean nlInit() {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  ++lib.users;
  return true;
}

void nlShutdown() {
  Library& lib = Lib();
  std::vector<std::shared_ptr<NlSocket>> closing;
  {
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.users == 0) return;
    if (--lib.users > 0) return;
    for (auto& entry : lib.sockets) closing.push_back(entry.second);
    lib.sockets.clear();
    for (auto& group : lib.groups) CloseGroup(group.second);
    lib.groups.clear();
  }
  for (auto& s : closing) ::shutdown(s->fd, SHUT_RDWR);
}

NLboolean nlSelectNetwork(NLenum network) {
  if (network != NL_IP) return Fail(NL_INVALID_ENUM);
  return true;
}

NLboolean nlEnable(NLenum name) { return SetOption(name, true); }
NLboolean nlDisable(NLenum name) { return SetOption(name, false); }

NLboolean nlGetBoolean(NLenum name) { return name == NL_BLOCKING_IO && blockingOption; }

NLenum nlGetError() { return lastError; }
NLint nlGetSystemError() { return lastSystemError; }

NLsocket nlOpen(uint16_t port, NLenum type) {
  {
    Library& lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.users == 0) return Fail(NL_NO_NETWORK), NL_INVALID;
  }
  if (type != NL_TCP && type != NL_TCP_PACKETS) return Fail(NL_INVALID_TYPE), NL_INVALID;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail(NL_SYSTEM_ERROR), NL_INVALID;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_ANY);
  in.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) {
    Fail(NL_SYSTEM_ERROR);
    ::close(fd);
    return NL_INVALID;
  }
  SetNoDelay(fd);
  auto s = std::make_shared<NlSocket>();
  s->fd = fd;
  s->type = type;
  s->blocking = blockingOption;
  SetNonBlocking(fd, !s->blocking);
  return AddSocket(s);
}

NLboolean nlListen(NLsocket socket) {
  auto s = FindSocket(socket);
  if (!s) return false;
  if (::listen(s->fd, 128) != 0) return Fail(NL_SYSTEM_ERROR);
  s->listening = true;
  return true;
}

NLsocket nlAcceptConnection(NLsocket socket) {
  auto s = FindSocket(socket);
  if (!s) return NL_INVALID;
  if (!s->listening) return Fail(NL_NOT_LISTEN), NL_INVALID;
  int flags = SOCK_CLOEXEC | (s->blocking ? 0 : SOCK_NONBLOCK);
  int fd;
  do {
    fd = ::accept4(s->fd, nullptr, nullptr, flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // A connection that gave up while waiting is no reason to stop listening.
    bool none = errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED;
    return Fail(none ? NL_NO_PENDING : NL_SYSTEM_ERROR), NL_INVALID;
  }
  SetNoDelay(fd);
  auto accepted = std::make_shared<NlSocket>();
  accepted->fd = fd;
  accepted->type = s->type;
  accepted->blocking = s->blocking;
  return AddSocket(accepted);
}

NLboolean nlConnect(NLsocket socket, const NLaddress* address) {
  if (address == nullptr) return Fail(NL_NULL_POINTER);
  if (!address->valid) return Fail(NL_BAD_ADDR);
  auto s = FindSocket(socket);
  if (!s) return false;
  sockaddr_in in = ToSockaddr(*address);
  SetNonBlocking(s->fd, false);
  int result;
  do {
    result = ::connect(s->fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
  } while (result != 0 && errno == EINTR);
  int code = errno;
  SetNonBlocking(s->fd, !s->blocking);
  if (result != 0) {
    errno = code;
    return Fail(ErrorFromErrno(code));
  }
  return true;
}

NLboolean nlClose(NLsocket socket) {
  Library& lib = Lib();
  std::shared_ptr<NlSocket> s;
  {
    std::lock_guard<std::mutex> guard(lib.lock);
    auto found = lib.sockets.find(socket);
    if (found == lib.sockets.end()) return Fail(NL_INVALID_SOCKET);
    s = found->second;
    lib.sockets.erase(found);
    for (auto& group : lib.groups) Unwatch(group.second, socket);
  }
  // Wakes a thread still blocked on it; the descriptor closes with the last user.
  ::shutdown(s->fd, SHUT_RDWR);
  return true;
}

NLint nlRead(NLsocket socket, void* buffer, NLint nbytes) {
  if (buffer == nullptr) return Fail(NL_NULL_POINTER), -1;
  if (nbytes < 0) return Fail(NL_PACKET_SIZE), -1;
  auto s = FindSocket(socket);
  if (!s) return -1;
  std::lock_guard<std::mutex> guard(s->readLock);
  if (s->broken != NL_NO_ERROR) return Fail(s->broken), -1;
  auto* out = static_cast<uint8_t*>(buffer);
  return s->type == NL_TCP_PACKETS ? ReadPacket(*s, out, nbytes) : ReadStream(*s, out, nbytes);
}

NLint nlWrite(NLsocket socket, const void* buffer, NLint nbytes) {
  if (buffer == nullptr) return Fail(NL_NULL_POINTER), -1;
  if (nbytes < 0) return Fail(NL_PACKET_SIZE), -1;
  auto s = FindSocket(socket);
  if (!s) return -1;
  std::lock_guard<std::mutex> guard(s->writeLock);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  size_t sent = 0;
  if (s->type != NL_TCP_PACKETS) {
    if (s->tls != nullptr) return TlsWrite(*s, bytes, nbytes);
    return SendAll(s->fd, bytes, static_cast<size_t>(nbytes), sent) ? nbytes : -1;
  }
  if (nbytes > NL_MAX_PACKET_LENGTH) return Fail(NL_PACKET_SIZE), -1;
  if (Queues(*s)) {
    bool sent = QueuePacket(*s, bytes, static_cast<size_t>(nbytes)) && FlushQueue(*s);
    return sent ? nbytes : -1;
  }
  thread_local std::vector<uint8_t> packet;
  packet.resize(kPacketHeaderSize + static_cast<size_t>(nbytes));
  WriteFrameHeader(packet.data(), static_cast<size_t>(nbytes));
  if (nbytes > 0)
    std::memcpy(packet.data() + kPacketHeaderSize, bytes, static_cast<size_t>(nbytes));
  if (SendAll(s->fd, packet.data(), packet.size(), sent)) return nbytes;
  // Half a packet would desynchronise the peer: end the stream instead.
  if (sent > 0) ::shutdown(s->fd, SHUT_RDWR);
  return -1;
}

NLint nlQueue(NLsocket socket, const void* buffer, NLint nbytes) {
  if (buffer == nullptr) return Fail(NL_NULL_POINTER), -1;
  if (nbytes < 0 || nbytes > NL_MAX_PACKET_LENGTH) return Fail(NL_PACKET_SIZE), -1;
  auto s = FindSocket(socket);
  if (!s) return -1;
  if (!Queues(*s)) return Fail(NL_INVALID_TYPE), -1;
  std::lock_guard<std::mutex> guard(s->writeLock);
  bool queued = QueuePacket(*s, static_cast<const uint8_t*>(buffer), static_cast<size_t>(nbytes));
  return queued ? nbytes : -1;
}

NLboolean nlFlush(NLsocket socket) {
  auto s = FindSocket(socket);
  if (!s) return false;
  std::lock_guard<std::mutex> guard(s->writeLock);
  return FlushQueue(*s);
}

NLint nlGetQueuedBytes(NLsocket socket) {
  auto s = FindSocket(socket);
  return s ? static_cast<NLint>(s->queued.load()) : 0;
}

int64_t nlTakeQueuedPeak() { return queuedPeak.exchange(queuedTotal.load()); }

NLint nlGetPartialBytes(NLsocket socket) {
  auto s = FindSocket(socket);
  if (!s || s->type != NL_TCP_PACKETS) return 0;
  std::lock_guard<std::mutex> guard(s->readLock);
  size_t length = 0;
  if (BufferedFrame(*s, length) != FrameState::Incomplete) return 0;
  return static_cast<NLint>(s->end - s->head);
}

NLboolean nlSetReadTimeout(NLsocket socket, NLint milliseconds) {
  if (milliseconds < 0) return Fail(NL_INVALID_ENUM);
  auto s = FindSocket(socket);
  if (!s) return false;
  std::lock_guard<std::mutex> guard(s->readLock);
  timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  if (setsockopt(s->fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    return Fail(NL_SYSTEM_ERROR);
  }
  s->readTimeoutMs = milliseconds;
  if (s->tls != nullptr) TlsSetTimeout(*s);
  return true;
}

NLboolean nlGetLocalAddr(NLsocket socket, NLaddress* address) {
  if (!SocketAddress(socket, address, ::getsockname)) return false;
  if (address->host == htonl(INADDR_ANY)) address->host = htonl(INADDR_LOOPBACK);
  return true;
}

NLboolean nlGetRemoteAddr(NLsocket socket, NLaddress* address) {
  return SocketAddress(socket, address, ::getpeername);
}

NLboolean nlGetAddrFromName(const char* name, NLaddress* address) {
  if (name == nullptr || address == nullptr) return Fail(NL_NULL_POINTER);
  *address = NLaddress();
  in_addr numeric{};
  if (inet_pton(AF_INET, name, &numeric) == 1) {
    address->host = numeric.s_addr;
    address->valid = true;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (name[0] == '\0' || getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) {
    return Fail(NL_BAD_ADDR);
  }
  *address = FromSockaddr(*reinterpret_cast<sockaddr_in*>(found->ai_addr));
  address->port = 0;
  freeaddrinfo(found);
  return true;
}

NLboolean nlSetAddrPort(NLaddress* address, uint16_t port) {
  if (address == nullptr) return Fail(NL_NULL_POINTER);
  address->port = port;
  return true;
}

uint16_t nlGetPortFromAddr(const NLaddress* address) {
  return address == nullptr ? 0 : address->port;
}

char* nlAddrToString(const NLaddress* address, char* buffer) {
  if (address == nullptr || buffer == nullptr) return Fail(NL_NULL_POINTER), nullptr;
  in_addr in{};
  in.s_addr = address->host;
  char dotted[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &in, dotted, sizeof dotted);
  if (address->port == 0)
    std::snprintf(buffer, 32, "%s", dotted);
  else
    std::snprintf(buffer, 32, "%s:%u", dotted, static_cast<unsigned>(address->port));
  return buffer;
}

NLaddress* nlGetAllLocalAddr(NLint* count) {
  thread_local std::vector<NLaddress> addresses;
  addresses.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
      if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
      NLaddress address = FromSockaddr(*reinterpret_cast<sockaddr_in*>(it->ifa_addr));
      address.port = 0;
      addresses.push_back(address);
    }
    freeifaddrs(list);
  } else {
    Fail(NL_SYSTEM_ERROR);
  }
  if (count != nullptr) *count = static_cast<NLint>(addresses.size());
  return addresses.empty() ? nullptr : addresses.data();
}

NLint nlGroupCreate() {
  Group group;
  if (!OpenGroup(group)) return Fail(NL_SYSTEM_ERROR), NL_INVALID;
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  NLint id = lib.nextGroup++;
  lib.groups.emplace(id, std::move(group));
  return id;
}

NLboolean nlGroupWake(NLint group) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto found = lib.groups.find(group);
  if (found == lib.groups.end()) return Fail(NL_INVALID_GROUP);
  uint64_t one = 1;
  return ::write(found->second.wakeFd, &one, sizeof one) == sizeof one ? true
                                                                       : Fail(NL_SYSTEM_ERROR);
}

NLboolean nlGroupDestroy(NLint group) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto found = lib.groups.find(group);
  if (found == lib.groups.end()) return Fail(NL_INVALID_GROUP);
  CloseGroup(found->second);
  lib.groups.erase(found);
  return true;
}

NLboolean nlGroupAddSocket(NLint group, NLsocket socket) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto found = lib.groups.find(group);
  if (found == lib.groups.end()) return Fail(NL_INVALID_GROUP);
  auto s = lib.sockets.find(socket);
  if (s == lib.sockets.end()) return Fail(NL_INVALID_SOCKET);
  std::vector<GroupMember>& members = found->second.members;
  if (members.size() >= 1024) return Fail(NL_INVALID_GROUP);
  if (std::any_of(members.begin(), members.end(),
                  [&](const GroupMember& m) { return m.id == socket; })) {
    return true;
  }
  GroupMember member{socket, s->second, false};
  if (!Watch(found->second, member, EPOLL_CTL_ADD)) return Fail(NL_SYSTEM_ERROR);
  members.push_back(std::move(member));
  return true;
}

NLboolean nlGroupDeleteSocket(NLint group, NLsocket socket) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto found = lib.groups.find(group);
  if (found == lib.groups.end()) return Fail(NL_INVALID_GROUP);
  Unwatch(found->second, socket);
  return true;
}

NLint nlPollGroup(NLint group, NLenum name, NLsocket* sockets, NLint max, NLint timeout) {
  if (name != NL_READ_STATUS) return Fail(NL_INVALID_ENUM), -1;
  if (sockets == nullptr) return Fail(NL_NULL_POINTER), -1;
  // Kept between calls: the network thread polls on every pass and should not allocate.
  thread_local std::vector<std::pair<NLsocket, std::shared_ptr<NlSocket>>> members;
  thread_local std::vector<char> ready;
  thread_local std::vector<epoll_event> events;
  members.clear();
  int epollFd = -1;
  int wakeFd = -1;
  {
    Library& lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    auto found = lib.groups.find(group);
    if (found == lib.groups.end()) return Fail(NL_INVALID_GROUP), -1;
    epollFd = found->second.epollFd;
    wakeFd = found->second.wakeFd;
    for (GroupMember& m : found->second.members) {
      // Members with queued packets are sent what they take meanwhile.
      bool out = m.socket->queued.load() > 0;
      if (out != m.watchingOut) {
        m.watchingOut = out;
        Watch(found->second, m, EPOLL_CTL_MOD);
      }
      members.emplace_back(m.id, m.socket);
    }
  }
  // By id, so that each woken member is found by a binary search.
  std::sort(members.begin(), members.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  ready.assign(members.size(), 0);
  bool anyReady = false;
  for (size_t i = 0; i < members.size(); ++i) {
    if (ReadyFromBuffer(*members[i].second)) ready[i] = anyReady = true;
  }
  events.resize(std::max<size_t>(members.size(), 1));
  int result;
  do {
    result = ::epoll_wait(epollFd, events.data(), static_cast<int>(events.size()),
                          anyReady ? 0 : timeout);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    members.clear();
    return Fail(NL_SYSTEM_ERROR), -1;
  }
  for (int k = 0; k < result; ++k) {
    if (events[k].data.u64 == kWakeMark) {
      uint64_t count = 0;
      if (::read(wakeFd, &count, sizeof count) < 0) count = 0;  // already taken: still awake
      continue;
    }
    auto id = static_cast<NLsocket>(static_cast<uint32_t>(events[k].data.u64));
    auto member = std::lower_bound(members.begin(), members.end(), id,
                                   [](const auto& m, NLsocket value) { return m.first < value; });
    if (member == members.end() || member->first != id) continue;  // left the group meanwhile
    NlSocket& s = *member->second;
    bool broke = false;
    if (events[k].events & EPOLLOUT) {
      std::lock_guard<std::mutex> guard(s.writeLock);
      broke = !FlushQueue(s);
    }
    if (broke || (events[k].events & (EPOLLIN | EPOLLHUP | EPOLLERR))) {
      ready[static_cast<size_t>(member - members.begin())] = true;
    }
  }
  NLint count = 0;
  for (size_t i = 0; i < members.size() && count < max; ++i) {
    if (ready[i]) sockets[count++] = members[i].first;
  }
  // The descriptors of sockets closed meanwhile go with their last holder.
  members.clear();
  return count;
}

}  // namespace quillon
