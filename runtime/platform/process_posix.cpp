#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "runtime/platform/process.h"

extern char** environ;

namespace quillon::platform {

namespace {

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 0;
}

// Reads what is waiting in the pipe; false once the child has closed it.
bool DrainPipe(int fd, std::string* output) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      if (output != nullptr && output->size() < (1u << 20)) output->append(buffer, size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

}  // namespace

ChildProcess StartProcess(const std::vector<std::string>& argv, bool captureOutput) {
  ChildProcess child;
  if (argv.empty() || argv[0].empty()) return child;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (captureOutput) {
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return child;
    }
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  }
  // The runtime's own files, sockets and pipes are not the child's business (after the dup2,
  // which needs the pipe still open).
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = -1;
  int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) ::close(pipeFds[1]);
  if (failed != 0) {
    if (captureOutput) ::close(pipeFds[0]);
    return child;
  }
  child.pid = pid;
  if (captureOutput) {
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    child.outputFd = pipeFds[0];
  }
  return child;
}

int WaitForProcess(ChildProcess& child, void (*idle)(), std::string* output) {
  if (child.pid <= 0) return -1;
  int status = 0;
  for (;;) {
    if (child.outputFd >= 0 && !DrainPipe(child.outputFd, output)) {
      ::close(child.outputFd);
      child.outputFd = -1;
    }
    pid_t done = ::waitpid(child.pid, &status, WNOHANG);
    if (done == child.pid) break;
    if (done < 0 && errno != EINTR) {
      status = 0;
      break;
    }
    if (idle != nullptr) idle();
    if (child.outputFd >= 0) {
      pollfd poller{child.outputFd, POLLIN, 0};
      ::poll(&poller, 1, 5);
    } else {
      ::usleep(5000);
    }
  }
  if (child.outputFd >= 0) {
    DrainPipe(child.outputFd, output);
    ::close(child.outputFd);
    child.outputFd = -1;
  }
  child.pid = -1;
  return StatusOf(status);
}

void ReapInBackground(int pid) {
  if (pid <= 0) return;
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

bool DesktopSessionPresent() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && x[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

std::string FindOnPath(const std::string& name) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) {
    return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty PATH entry means the current directory.
    std::string candidate(end > start ? dirs.substr(start, end - start) : std::string(1, '.'));
    candidate += '/';
    candidate += name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

}  // namespace quillon::platform
