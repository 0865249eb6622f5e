// Gravduel between two machines: `gravduel --host [PORT]` waits for an opponent and flies the
// blue ship (A); `gravduel --join HOST [PORT]` flies the red one (B). Both play in lockstep over
// the runtime's network commands.
#pragma once

#include <string>

struct NetOptions {
  bool host = false;
  bool join = false;
  std::string address;  // the host to join; "" is this machine
  int port = 27013;
  long frames = 0;     // host: both games end after this many frames (0: never)
  int delay = 3;       // host: input delay in frames, about 50 ms at 60 per second
  long desyncAt = -1;  // test switch: this side's game is changed after that frame
};

// Reads --host [PORT], --join HOST [PORT], --frames N, --delay N and --test-desync N from the
// program's command line. True for --host or --join; error names the first word it cannot read
// (an empty command line reads fine: the one-keyboard game).
bool ReadNetOptions(const std::string& commandLine, NetOptions& options, std::string& error);
// Start-up, the wait for the opponent, then lockstep frames until someone leaves; never returns.
[[noreturn]] void NetDuelMain(const NetOptions& options);
