// Network measurements on loopback, side by side in one run:
//   round trip: a message from one process through the host to another process and back,
//               beside the same ping-pong through a relay process over raw TCP and over ENet;
//               Also to all, and to all with ten peers connected that never read;
//   load:       N clients each sending R messages per second to all players, through a host in
//               its own process, with two peers flooding texts to all (one reads, one never
//               does): deliveries per second, losses, the host's memory over time and its peak;
//   http:       HttpGetFile downloading a file from a loopback server, beside curl.
//
//   net_measure [roundtrips=2000] [clients=32] [seconds=30] [rate=100] [megabytes=100]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef QUILLON_BENCH_ENET
#include <enet/enet.h>
#endif

#include "runtime/net/http_fetch.h"
#include "runtime/net/net_internal.h"

namespace {

using namespace quillon;
using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

int ListenOnLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
  ::listen(fd, 64);
  socklen_t size = sizeof in;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&in), &size);
  port = ntohs(in.sin_port);
  return fd;
}

int ConnectLoopback(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) return -1;
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool FullIo(int fd, char* bytes, size_t count, bool sending) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = sending ? ::send(fd, bytes + done, count - done, MSG_NOSIGNAL)
                        : ::recv(fd, bytes + done, count - done, 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void Report(const char* what, std::vector<double>& samples) {
  if (samples.empty()) {
    std::printf("%-28s no samples\n", what);
    return;
  }
  std::sort(samples.begin(), samples.end());
  std::printf("%-28s median %8.1f us   p99 %8.1f us   (%zu round trips)\n", what,
              samples[samples.size() / 2], samples[samples.size() * 99 / 100], samples.size());
}

// Waits for the next text of a local player from someone else (a text to all comes back to its
// sender too); false after 10 s.
bool Await(NetGame& game, int32_t id, std::string& text, int32_t& from) {
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (ReceiveText(game, id, text, from) && from != id) return true;
    std::this_thread::yield();
  }
  return false;
}

// Raw peers that join players and then never read again: the host's writes to them back up.
std::vector<int> StalledPeers(int port, int count, int playersEach) {
  std::vector<int> peers;
  for (int i = 0; i < count; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) continue;
    NetMessage join = MakeMessage(MsgJoin, 0, 0);
    join.length = sizeof(NetPlayer);
    std::strcpy(join.data + offsetof(NetPlayer, name), "stalled");
    char frame[4 + sizeof join] = {'N', 'L', sizeof join >> 8, sizeof join & 0xFF};
    std::memcpy(frame + 4, &join, sizeof join);
    for (int k = 0; k < playersEach; ++k) FullIo(fd, frame, sizeof frame, true);
    peers.push_back(fd);
  }
  return peers;
}

#ifdef QUILLON_BENCH_ENET
// The same ping-pong of whole records as reliable ENet packets, through a relay process.
ENetPeer* ConnectEnet(ENetHost* client, const ENetAddress& address) {
  ENetEvent event;
  for (int i = 0; i < 50; ++i) {
    ENetPeer* trying = enet_host_connect(client, &address, 1, 0);
    if (enet_host_service(client, &event, 200) > 0 && event.type == ENET_EVENT_TYPE_CONNECT) {
      return trying;
    }
    enet_peer_reset(trying);
  }
  return nullptr;
}

void SendEnet(ENetHost* host, ENetPeer* peer, const void* bytes, size_t size) {
  enet_peer_send(peer, 0, enet_packet_create(bytes, size, ENET_PACKET_FLAG_RELIABLE));
  enet_host_flush(host);
}

void MeasureEnet(int count, int port) {
  enet_initialize();
  ENetAddress address{};
  enet_address_set_host(&address, "127.0.0.1");
  address.port = static_cast<enet_uint16>(port);
  pid_t relay = fork();
  if (relay == 0) {
    ENetHost* host = enet_host_create(&address, 4, 1, 0, 0);
    ENetPeer* peers[2] = {nullptr, nullptr};
    ENetEvent event;
    for (;;) {
      if (host == nullptr || enet_host_service(host, &event, 1000) < 0) _exit(1);
      if (event.type == ENET_EVENT_TYPE_CONNECT) (peers[0] ? peers[1] : peers[0]) = event.peer;
      if (event.type == ENET_EVENT_TYPE_DISCONNECT) _exit(0);
      if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
      ENetPeer* other = event.peer == peers[0] ? peers[1] : peers[0];
      if (other != nullptr) SendEnet(host, other, event.packet->data, event.packet->dataLength);
      enet_packet_destroy(event.packet);
    }
  }
  pid_t echo = fork();
  if (echo == 0) {
    ENetHost* client = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetPeer* peer = ConnectEnet(client, address);
    ENetEvent event;
    while (peer != nullptr && enet_host_service(client, &event, 5000) > 0) {
      if (event.type == ENET_EVENT_TYPE_DISCONNECT) break;
      if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
      SendEnet(client, peer, event.packet->data, event.packet->dataLength);
      enet_packet_destroy(event.packet);
    }
    _exit(0);
  }
  usleep(300000);  // the echo connects first
  ENetHost* client = enet_host_create(nullptr, 1, 1, 0, 0);
  ENetPeer* peer = ConnectEnet(client, address);
  ENetEvent event;
  std::vector<double> samples;
  std::vector<char> record(sizeof(NetMessage), 0);
  for (int i = 0; peer != nullptr && i < count; ++i) {
    auto start = Clock::now();
    SendEnet(client, peer, record.data(), record.size());
    bool back = false;
    while (!back && enet_host_service(client, &event, 1000) > 0) {
      if (event.type == ENET_EVENT_TYPE_RECEIVE) {
        enet_packet_destroy(event.packet);
        back = true;
      }
    }
    if (!back) break;
    samples.push_back(Micros(Clock::now() - start));
  }
  if (peer != nullptr) {
    enet_peer_disconnect(peer, 0);
    enet_host_service(client, &event, 500);
  }
  kill(relay, SIGTERM);
  kill(echo, SIGTERM);
  waitpid(relay, nullptr, 0);
  waitpid(echo, nullptr, 0);
  enet_host_destroy(client);
  enet_deinitialize();
  Report("ENet reliable, via relay", samples);
}
#endif

// A child process that joins and sends every text back to its sender until "quit".
pid_t StartEcho(int port) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  NetGame* game = CreateNetGame();
  for (int i = 0; i < 100 && !JoinGame(*game, "127.0.0.1", port); ++i) usleep(20000);
  int32_t id = AddPlayer(*game, "echo");
  std::string text;
  int32_t from = 0;
  for (;;) {
    if (!ReceiveText(*game, id, text, from)) {
      std::this_thread::yield();
      continue;
    }
    if (text == "quit") break;
    SendText(*game, id, from, text.data(), text.size());
  }
  _exit(0);
}

// Ping-pong through the host with the echo process: to: the echo's id, or -1 for all. Stops
// after limitSeconds.
void PingPong(NetGame& client, int32_t me, int32_t to, int count, double limitSeconds,
              const char* what) {
  std::vector<double> samples;
  std::string text;
  int32_t from = 0;
  auto begin = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (std::chrono::duration<double>(Clock::now() - begin).count() > limitSeconds) break;
    auto start = Clock::now();
    SendText(client, me, to, "ping", 4);
    if (!Await(client, me, text, from)) break;
    samples.push_back(Micros(Clock::now() - start));
  }
  Report(what, samples);
}

void MeasureRoundTrips(int count) {
  int port = 0;
  ::close(ListenOnLoopback(port));
  pid_t echo = StartEcho(port);
  NetGame* host = CreateNetGame();
  NetGame* client = CreateNetGame();
  if (!HostGame(*host, port) || !JoinGame(*client, "127.0.0.1", port)) {
    std::printf("round trip: could not set up the game\n");
    return;
  }
  int32_t me = AddPlayer(*client, "pinger");
  NetMessage reply;
  int32_t echoId = 0;
  for (int i = 0; i < 250 && echoId == 0; ++i) {
    // The echo's id: the visible player that is not this one.
    for (int index = 0; index < 2; ++index) {
      if (AskHost(*client, MsgPlayerId, index, reply)) {
        int32_t id = *reinterpret_cast<int32_t*>(reply.data);
        if (id != me && id != 0) echoId = id;
      }
    }
    if (echoId == 0) usleep(20000);
  }
  PingPong(*client, me, echoId, count, 60, "net game, via host");
  PingPong(*client, me, -1, count, 60, "net game, to all");
  // Ten peers that never read, with a few players each: every text to all reaches them too.
  std::vector<int> stalled = StalledPeers(port, 10, 4);
  usleep(100000);
  PingPong(*client, me, -1, count, 20, "net game, to all, 10 stalled");
  SendText(*client, me, echoId, "quit", 4);
  waitpid(echo, nullptr, 0);
  EndNetGame(client);
  auto endStart = Clock::now();
  EndNetGame(host);
  std::printf("%-28s %.1f ms\n", "EndNetGame, 10 stalled", Micros(Clock::now() - endStart) / 1000);
  for (int fd : stalled) ::close(fd);

  // The same ping-pong of whole records over raw TCP, through a relay process.
  constexpr size_t kRecord = sizeof(NetMessage) + 4;
  int listener = ListenOnLoopback(port);
  pid_t relay = fork();
  if (relay == 0) {
    int echo = ::accept(listener, nullptr, nullptr);
    int pinger = ::accept(listener, nullptr, nullptr);
    for (int fd : {echo, pinger}) {
      int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    char record[kRecord];
    while (FullIo(pinger, record, kRecord, false) && FullIo(echo, record, kRecord, true) &&
           FullIo(echo, record, kRecord, false) && FullIo(pinger, record, kRecord, true)) {
    }
    _exit(0);
  }
  pid_t rawEcho = fork();
  if (rawEcho == 0) {
    int fd = ConnectLoopback(port);
    char record[kRecord];
    while (FullIo(fd, record, kRecord, false) && FullIo(fd, record, kRecord, true)) {
    }
    _exit(0);
  }
  usleep(100000);  // the echo connects first
  int fd = ConnectLoopback(port);
  char record[kRecord] = {};
  std::vector<double> samples;
  for (int i = 0; i < count; ++i) {
    auto start = Clock::now();
    if (!FullIo(fd, record, kRecord, true) || !FullIo(fd, record, kRecord, false)) break;
    samples.push_back(Micros(Clock::now() - start));
  }
  ::close(fd);
  ::close(listener);
  waitpid(relay, nullptr, 0);
  waitpid(rawEcho, nullptr, 0);
  Report("raw TCP, via relay", samples);
#ifdef QUILLON_BENCH_ENET
  MeasureEnet(count, port);
#endif
}

long StatusKilobytes(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

long RssKilobytes(pid_t pid) { return StatusKilobytes(pid, "VmRSS:"); }

// A process that joins one player and sends texts to all as fast as the host takes them; the
// reading one also takes everything sent to it, the other never reads.
pid_t StartFlooder(int port, bool reads) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  std::vector<int> fds = StalledPeers(port, 1, 1);
  if (fds.empty()) _exit(1);
  int fd = fds[0];
  NetMessage welcome;
  char frame[4 + sizeof welcome];
  FullIo(fd, frame, sizeof frame, false);
  std::memcpy(&welcome, frame + 4, sizeof welcome);
  NetMessage flood = MakeMessage(MsgData, -1, welcome.to);
  flood.length = 5;
  std::memcpy(flood.data, "flood", 5);
  char out[4 + sizeof flood] = {'N', 'L', sizeof flood >> 8, sizeof flood & 0xFF};
  std::memcpy(out + 4, &flood, sizeof flood);
  std::vector<char> sink(1 << 16);
  for (;;) {
    if (reads) {
      while (::recv(fd, sink.data(), sink.size(), MSG_DONTWAIT) > 0) {
      }
    }
    if (!FullIo(fd, out, sizeof out, true)) _exit(0);
  }
}

void MeasureLoad(int clients, int seconds, int rate) {
  int port = 0;
  ::close(ListenOnLoopback(port));
  pid_t hostPid = fork();
  if (hostPid == 0) {
    NetGame* host = CreateNetGame();
    HostGame(*host, port);
    pause();
    _exit(0);
  }
  std::vector<NetGame*> games(static_cast<size_t>(clients));
  std::vector<int32_t> ids(games.size());
  usleep(200000);
  pid_t flooders[2] = {getenv("NOFLOOD") ? 0 : StartFlooder(port, false), getenv("NOFLOOD") ? 0 : StartFlooder(port, true)};
  for (size_t i = 0; i < games.size(); ++i) {
    games[i] = CreateNetGame();
    for (int t = 0; t < 100 && !JoinGame(*games[i], "127.0.0.1", port); ++t) usleep(20000);
    ids[i] = AddPlayer(*games[i], ("p" + std::to_string(i)).c_str());
  }
  long sent = 0, received = 0;
  std::vector<long> rss;
  auto start = Clock::now();
  auto period = std::chrono::microseconds(1000000 / rate);
  auto next = start;
  std::string text;
  int32_t from = 0;
  while (Clock::now() - start < std::chrono::seconds(seconds)) {
    for (size_t i = 0; i < games.size(); ++i) sent += SendText(*games[i], ids[i], 0, "load", 4);
    next += period;
    while (Clock::now() < next) {
      for (size_t i = 0; i < games.size(); ++i) {
        while (ReceiveText(*games[i], ids[i], text, from)) received += text == "load";
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    long elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
    if (static_cast<long>(rss.size()) <= elapsed) rss.push_back(RssKilobytes(hostPid));
  }
  double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  // Drain what is still on its way.
  for (auto quiet = Clock::now(); Clock::now() - quiet < std::chrono::seconds(2);) {
    bool any = false;
    for (size_t i = 0; i < games.size(); ++i) {
      while (ReceiveText(*games[i], ids[i], text, from)) received += text == "load", any = true;
    }
    if (any) quiet = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  long expected = sent * clients;
  std::printf(
      "load: %d clients x %d msg/s to all for %.1f s, 2 flooders: sent %ld, delivered %ld of %ld "
      "(%.0f per second), lost %ld; host peak RSS %ld kB\n",
      clients, rate, sendSeconds, sent, received, expected, received / sendSeconds,
      expected - received, StatusKilobytes(hostPid, "VmHWM:"));
  for (pid_t flooder : flooders) {
    if (flooder <= 0) continue;
    kill(flooder, SIGTERM);
    waitpid(flooder, nullptr, 0);
  }
  std::printf("host RSS kB per second:");
  for (long kb : rss) std::printf(" %ld", kb);
  std::printf("\n");
  for (NetGame*& game : games) EndNetGame(game);
  kill(hostPid, SIGTERM);
  waitpid(hostPid, nullptr, 0);
}

void MeasureHttp(int megabytes) {
  int port = 0;
  int listener = ListenOnLoopback(port);
  pid_t server = fork();
  if (server == 0) {
    std::vector<char> body(1 << 20, 'x');
    for (;;) {
      int fd = ::accept(listener, nullptr, nullptr);
      char request[4096];
      ssize_t got = ::recv(fd, request, sizeof request, 0);
      (void)got;
      const char header[] = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
      FullIo(fd, const_cast<char*>(header), sizeof header - 1, true);
      for (int i = 0; i < megabytes; ++i) FullIo(fd, body.data(), body.size(), true);
      ::close(fd);
    }
  }
  std::string out = "/tmp/net_measure_" + std::to_string(getpid()) + ".bin";
  auto start = Clock::now();
  double result =
      HttpGetFile(StringValue("127.0.0.1"), StringValue("/big"), port, StringValue(out.c_str()));
  double ours = std::chrono::duration<double>(Clock::now() - start).count();
  std::string curl = "curl -s -o " + out + " http://127.0.0.1:" + std::to_string(port) + "/big";
  start = Clock::now();
  int curlStatus = std::system(curl.c_str());
  double theirs = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "http: %d MB  HttpGetFile %.0f MB/s (result %.0f)   curl %.0f MB/s (status %d)   "
      "ratio %.2f\n",
      megabytes, megabytes / ours, result, megabytes / theirs, curlStatus, theirs / ours);
  std::remove(out.c_str());
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  ::close(listener);
}

}  // namespace

int main(int argc, char** argv) {
  // Every count is at least 1 (a rate of 0 would divide by zero, a negative count size a vector).
  auto arg = [&](int i, long fallback) {
    long value = argc > i ? std::strtol(argv[i], nullptr, 10) : fallback;
    return static_cast<int>(std::clamp(value, 1L, 1000000L));
  };
  MeasureRoundTrips(arg(1, 2000));
  MeasureLoad(arg(2, 32), arg(3, 30), arg(4, 100));
  MeasureHttp(arg(5, 100));
  return 0;
}
