#include "support/process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace quillon::testing {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void StartInBackground(const std::string& dir, const std::string& command) {
  std::string line = "cd '" + dir + "' && { (" + command +
                     ") >stdout 2>stderr & echo $! >pid; wait $!; echo $? >status.tmp; "
                     "mv status.tmp status; } >/dev/null 2>&1 &";
  std::system(line.c_str());
}

int WaitForExit(const std::string& dir, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string status = ReadWholeFile(dir + "/status");
    if (!status.empty()) return std::atoi(status.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

StopWhenLeft::~StopWhenLeft() {
  std::string pid = ReadWholeFile(dir + "/pid");
  if (!pid.empty() && ReadWholeFile(dir + "/status").empty()) {
    std::system(("kill -KILL " + pid + " 2>/dev/null").c_str());
    WaitForExit(dir, 10000);
  }
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

bool PngSize(const std::string& path, int& width, int& height) {
  std::string data = ReadWholeFile(path);
  if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(data[at]) << 24) |
           (static_cast<unsigned char>(data[at + 1]) << 16) |
           (static_cast<unsigned char>(data[at + 2]) << 8) | static_cast<unsigned char>(data[at + 3]);
  };
  width = be32(16);
  height = be32(20);
  return true;
}

}  // namespace quillon::testing
