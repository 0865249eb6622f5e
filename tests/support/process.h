// Runs real programs of the build for end-to-end tests, through the shell.
#pragma once

#include <string>

namespace quillon::testing {

std::string ReadWholeFile(const std::string& path);

// Starts command in the background inside dir; its standard output, standard error, process id
// and exit status land in dir/stdout, dir/stderr, dir/pid and dir/status.
void StartInBackground(const std::string& dir, const std::string& command);
// Waits up to timeoutMs for dir/status; -1 when the program is still running.
int WaitForExit(const std::string& dir, int timeoutMs);
// Kills the program started in dir when the scope is left while it still runs, so that a test
// that fails early leaves nothing running.
struct StopWhenLeft {
  std::string dir;
  ~StopWhenLeft();
};
// Runs a shell command and returns what it printed.
std::string Capture(const std::string& command);

// Width and height from a PNG file's header; false when it is not a PNG.
bool PngSize(const std::string& path, int& width, int& height);

}  // namespace quillon::testing
