// A text chat on the network game: one process hosts, others join; every process adds one named
// player. Lines typed go to every player; "/to ID text" to one; "/list" shows the players through
// the host's queries; "/quit" leaves.
//
//   chat host PORT NAME
//   chat join HOST PORT NAME
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/quillon.h"

namespace {

using quillon::StringValue;

void PrintPlayers() {
  int count = static_cast<int>(quillon::NetPlayerCount());
  std::printf("players: %d\n", count);
  for (int i = 0; i < count; ++i) {
    StringValue id = quillon::NetPlayerId(StringValue(i));
    std::printf("  %s %s\n", id.CStr(), quillon::NetPlayerName(id).CStr());
  }
}

// One typed line; false on "/quit".
bool HandleLine(const StringValue& me, std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (line == "/quit") return false;
  if (line == "/list") {
    PrintPlayers();
  } else if (line.rfind("/to ", 0) == 0) {
    size_t space = line.find(' ', 4);
    if (space == std::string::npos) return true;
    quillon::NetSend(me, StringValue(line.substr(4, space - 4).c_str()),
                     StringValue(line.substr(space + 1).c_str()));
  } else if (!line.empty()) {
    quillon::NetSend(me, StringValue("0"), StringValue(line.c_str()));
  }
  return true;
}

void PrintReceived(const StringValue& me) {
  for (;;) {
    StringValue text = quillon::NetReceive(me);
    if (text.length == 0) return;
    StringValue from = quillon::NetLastSender();
    std::printf("<%s %s> %s\n", from.CStr(), quillon::NetPlayerName(from).CStr(), text.CStr());
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool hosting = argc == 4 && std::strcmp(argv[1], "host") == 0;
  bool joining = argc == 5 && std::strcmp(argv[1], "join") == 0;
  if (!hosting && !joining) {
    std::fprintf(stderr, "usage: chat host PORT NAME | chat join HOST PORT NAME\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  // The loop asks poll() whether a line waits; a buffered stdin would hide the lines that came
  // in the same read as the one before, until more input arrived.
  setvbuf(stdin, nullptr, _IONBF, 0);
  double started = hosting ? quillon::NetHost(StringValue(argv[2]))
                           : quillon::NetJoin(StringValue(argv[2]), StringValue(argv[3]));
  if (started != 1) {
    std::printf("could not %s\n", hosting ? "host" : "join");
    return 1;
  }
  StringValue me = quillon::NetAddPlayer(StringValue(argv[argc - 1]));
  std::printf("joined as %s\n", me.CStr());
  char line[4096];
  for (;;) {
    PrintReceived(me);
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 20) <= 0) continue;
    if (std::fgets(line, sizeof line, stdin) == nullptr || !HandleLine(me, line)) break;
  }
  quillon::NetRemovePlayer(me);
  std::printf("bye\n");
  quillon::EndProgram();
}
