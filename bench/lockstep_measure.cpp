// The networked duel in lockstep, two real gravduel processes each under an X server of its
// own, 60 s of play (3600 frames) with scripted keys on both sides:
//   loopback:  input round trip per frame (median, p99, as each side measured it) and frames
//              stalled waiting for the opponent's controls;
//   delayed:   the same with 40 ms added by tc netem on the loopback device of a network
//              namespace this program creates; where the kernel has no netem, through a relay of
//              this program that holds every byte 20 or 40 ms in each direction between the
//              joiner and the host (the host's connection to itself stays direct).
//
//   lockstep_measure [seconds=60] [delay-frames=3]      (needs xvfb-run; the namespace needs root)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

pid_t Spawn(const std::string& command) {
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int Run(const std::string& command) { return std::system(command.c_str()); }

// Turns, thrust and fire now and then, different for the two sides.
std::string KeyScript(const std::string& dir, int frames, bool host) {
  std::string path = dir + (host ? "/host.keys" : "/join.keys");
  std::ofstream out(path);
  const char* keys[] = {host ? "left" : "a", host ? "up" : "w", host ? "control_r" : "space"};
  for (int t = 30 + (host ? 0 : 7); t < frames; t += 90) {
    const char* key = keys[(t / 90) % 3];
    out << t << " key " << key << " down\n" << t + 12 << " key " << key << " up\n";
  }
  return path;
}

struct Side {
  long stalled = -1;
  double median = 0, p99 = 0;
  std::string final;
};

Side ReadSide(const std::string& out) {
  Side s;
  size_t at = out.find("gravduel: lockstep frames");
  if (at != std::string::npos) {
    long frames = 0;
    std::sscanf(out.c_str() + at, "gravduel: lockstep frames %ld stalled %ld round trip median %lf p99 %lf",
                &frames, &s.stalled, &s.median, &s.p99);
  }
  at = out.find("gravduel: final frame");
  if (at != std::string::npos) s.final = out.substr(at + 22, out.find(" hit", at) - at - 22);
  return s;
}

// Holds every byte for delayMs in each direction between one accepted connection and the host.
void RelayPair(int a, int b, int delayMs) {
  struct Chunk {
    Clock::time_point due;
    std::string bytes;
  };
  std::deque<Chunk> toB, toA;
  auto pump = [&](int from, std::deque<Chunk>& queue) {
    char buffer[65536];
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n <= 0) return false;
    queue.push_back({Clock::now() + std::chrono::milliseconds(delayMs), std::string(buffer, n)});
    return true;
  };
  auto deliver = [](int to, std::deque<Chunk>& queue) {
    while (!queue.empty() && queue.front().due <= Clock::now()) {
      const std::string& bytes = queue.front().bytes;
      if (write(to, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return false;
      queue.pop_front();
    }
    return true;
  };
  // Once a side has closed, what is still held for the other is delivered before the end.
  bool open = true;
  while (open || !toA.empty() || !toB.empty()) {
    pollfd fds[2] = {{open ? a : -1, POLLIN, 0}, {open ? b : -1, POLLIN, 0}};
    int wait = 100;
    for (const std::deque<Chunk>* q : {&toA, &toB}) {
      if (q->empty()) continue;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(q->front().due - Clock::now());
      wait = std::min(wait, std::max(0, static_cast<int>(left.count())));
    }
    poll(fds, 2, wait);
    if ((fds[0].revents & (POLLIN | POLLHUP)) && !pump(a, toB)) open = false;
    if ((fds[1].revents & (POLLIN | POLLHUP)) && !pump(b, toA)) open = false;
    if (!deliver(b, toB) || !deliver(a, toA)) break;
  }
  close(a);
  close(b);
}

// Listens on listenPort and relays each connection to the host on hostPort, until stop.
void Relay(int listenPort, int hostPort, int delayMs, const std::atomic<bool>& stop) {
  int server = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(listenPort));
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(server, 4) != 0) {
    std::perror("relay");
    return;
  }
  std::vector<std::thread> pairs;
  while (!stop) {
    pollfd p{server, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int joiner = accept(server, nullptr, nullptr);
    int host = socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = htons(static_cast<uint16_t>(hostPort));
    if (joiner < 0 || connect(host, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(joiner);
      close(host);
      continue;
    }
    for (int s : {joiner, host}) setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    pairs.emplace_back(RelayPair, joiner, host, delayMs);
  }
  close(server);
  for (std::thread& t : pairs) t.join();
}

struct Setup {
  std::string name;
  std::string prefix;      // runs both sides inside a namespace, or ""
  int joinPort = 0;        // where the joiner connects (the relay's port, or the host's)
  std::string joinHost = "127.0.0.1";
};

// One run of both sides; prints their lines of the table.
void Measure(const std::string& game, const Setup& setup, int hostPort, int seconds, int delay) {
  char pattern[] = "/tmp/lockstep-XXXXXX";
  std::string dir = mkdtemp(pattern);
  int frames = seconds * 60;
  std::string xvfb = "xvfb-run -a -s '-screen 0 1024x768x24 -noreset' ";
  auto command = [&](bool host, const std::string& arguments) {
    return setup.prefix + "env QUILLON_INPUT=" + KeyScript(dir, frames + 600, host) + " TMPDIR=" + dir + " " +
           xvfb + game + " " + arguments + " >" + dir + (host ? "/host.out" : "/join.out") + " 2>/dev/null";
  };
  pid_t host = Spawn(command(true, "--host " + std::to_string(hostPort) + " --frames " +
                                       std::to_string(frames) + " --delay " + std::to_string(delay)));
  auto started = Clock::now();
  while (ReadFile(dir + "/host.out").find("waiting") == std::string::npos &&
         Clock::now() - started < std::chrono::seconds(60)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  pid_t joiner = Spawn(command(false, "--join " + setup.joinHost + " " + std::to_string(setup.joinPort)));
  int status = 0;
  waitpid(host, &status, 0);
  waitpid(joiner, &status, 0);
  Side h = ReadSide(ReadFile(dir + "/host.out")), j = ReadSide(ReadFile(dir + "/join.out"));
  const char* same = !h.final.empty() && h.final == j.final ? "same" : "DIFFERENT";
  std::printf("%-34s %2d (%3.0f ms)  host  %7.1f %7.1f %8ld   %s\n", setup.name.c_str(), delay,
              delay * 1000.0 / 60, h.median, h.p99, h.stalled, same);
  std::printf("%-34s %2s %9s  join  %7.1f %7.1f %8ld\n", "", "", "", j.median, j.p99, j.stalled);
  if (h.final.empty() || h.final != j.final) {
    std::printf("# the two did not end alike; their reports stay in %s\n", dir.c_str());
  } else {
    Run("rm -rf " + dir);
  }
  std::fflush(stdout);
}

// A namespace with netem on its loopback device, or "" when this machine cannot make one.
std::string MakeDelayedNamespace(const std::string& name, int delayMs) {
  if (Run("ip netns add " + name + " 2>/dev/null") != 0) {
    std::printf("# no network namespace here (ip netns add failed): the namespace run is skipped\n");
    return "";
  }
  Run("ip netns exec " + name + " ip link set lo up");
  if (Run("ip netns exec " + name + " tc qdisc add dev lo root netem delay " +
          std::to_string(delayMs) + "ms 2>/dev/null") != 0) {
    std::printf("# namespace made, but tc netem is not available (the kernel has no netem queue):\n"
                "# the namespace run is skipped; the delayed runs go through this program's relay\n");
    Run("ip netns del " + name);
    return "";
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  int delay = argc > 2 ? std::atoi(argv[2]) : 3;
  char self[4096] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string game = std::string(self, n > 0 ? n : 0);
  game = game.substr(0, game.rfind('/')) + "/../gravduel";
  const int base = 28000 + getpid() % 1000 * 8;

  std::string load = ReadFile("/proc/loadavg");
  std::printf("# load average at the start: %s", load.c_str());
  std::printf("# %d s of lockstep play per run; round trips as each side measured them (ms),\n"
              "# stalled = frames shown again while the opponent's controls were late\n", seconds);
  std::printf("%-34s %-13s %-5s %7s %7s %8s   %s\n", "link", "D (frames)", "side", "median", "p99",
              "stalled", "final state");
  Measure(game, {"loopback", "", base}, base, seconds, delay);

  std::string ns = MakeDelayedNamespace("quillon-lockstep-" + std::to_string(getpid()), 40);
  if (!ns.empty()) {
    Setup s{"netns, netem 40 ms on lo", "ip netns exec " + ns + " ", base + 1};
    Measure(game, s, base + 1, seconds, delay);
    Run("ip netns del " + ns);
  }
  // The relay holds the joiner's traffic 40 ms each way; the host's own connection to itself
  // stays direct, as it would be on a real host machine.
  struct Relayed {
    int oneWayMs, delayFrames;
  } relayed[] = {{20, delay}, {40, delay}, {40, delay + 2}};
  int port = base + 2;
  for (const Relayed& r : relayed) {
    std::atomic<bool> stop{false};
    int relayPort = port++, hostPort = relayPort + 100;
    std::thread relay(Relay, relayPort, hostPort, r.oneWayMs, std::cref(stop));
    std::string name = "relay, " + std::to_string(r.oneWayMs) + " ms each way";
    Measure(game, {name, "", relayPort}, hostPort, seconds, r.delayFrames);
    stop = true;
    relay.join();
  }
  std::printf("# load average at the end: %s", ReadFile("/proc/loadavg").c_str());
  return 0;
}
