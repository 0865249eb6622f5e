#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "runtime/platform/automation.h"
#include "runtime/platform/system.h"

namespace quillon::platform {

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string UserTemporaryDirectory() {
  std::string path = TemporaryDirectory() + "quillon-" + std::to_string(::geteuid());
  if (::mkdir(path.c_str(), 0700) == 0) {
    ::chmod(path.c_str(), 0700);  // whatever the umask took away
  } else if (errno != EEXIST) {
    return std::string();
  }
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 07777) != 0700) {
    return std::string();
  }
  return path + "/";
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;  // a signal, not a failure
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return ::close(fd) == 0 && left == 0;
}

std::string ProgramPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  buffer[n] = '\0';
  return std::string(buffer);
}

bool ChangeDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

std::string Cp1252ToUtf8(const char* text) {
  // The 0x80-0x9F block differs from Latin-1; the rest maps straight onto U+00xx.
  static const uint16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p) {
    unsigned cp = *p;
    if (cp >= 0x80 && cp < 0xA0) cp = kHigh[cp - 0x80];
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

void ShowMessageBox(const char* caption, const char* text, MessageKind kind) {
  std::string utf8Caption = Cp1252ToUtf8(caption);
  std::string utf8Text = Cp1252ToUtf8(text);
  if (GetAutomation().noDialogs) {
    std::fprintf(stderr, "[%s] %s\n", utf8Caption.c_str(), utf8Text.c_str());
    return;
  }
  Uint32 flags = kind == MessageKind::Error     ? SDL_MESSAGEBOX_ERROR
                 : kind == MessageKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                : SDL_MESSAGEBOX_INFORMATION;
  if (SDL_ShowSimpleMessageBox(flags, utf8Caption.c_str(), utf8Text.c_str(), nullptr) != 0) {
    std::fprintf(stderr, "[%s] %s\n", utf8Caption.c_str(), utf8Text.c_str());
  }
}

bool DebuggerAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
  }
  return false;
}

void DebuggerOutput(const char* text) { std::fprintf(stderr, "%s\n", text); }

void ExitProcess(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}

}  // namespace quillon::platform
