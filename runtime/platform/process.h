// Starting other programs without a shell, waiting for them, and finding them on the PATH.
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

struct ChildProcess {
  int pid = -1;       // -1: not started
  int outputFd = -1;  // the read end of the child's standard output, when captured
};

// Starts argv[0] (searched on the PATH when it has no "/") with the arguments exactly as given;
// no shell sees them. With captureOutput the child's standard output goes into a pipe that
// WaitForProcess reads.
ChildProcess StartProcess(const std::vector<std::string>& argv, bool captureOutput = false);
// Blocks until the process ends, calling idle (when given) between short sleeps; its exit status,
// or 128 + the signal that ended it. A captured output is read into output and closed.
int WaitForProcess(ChildProcess& child, void (*idle)() = nullptr, std::string* output = nullptr);
// A child nobody waits for is reaped in the background, so it never stays a zombie.
void ReapInBackground(int pid);
// A desktop session (X or Wayland) is there for desktop tools to show windows in.
bool DesktopSessionPresent();
// The full path of an executable found on the PATH, or empty.
std::string FindOnPath(const std::string& name);

}  // namespace quillon::platform
