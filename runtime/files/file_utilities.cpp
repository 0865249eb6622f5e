#include "runtime/files/file_utilities_internal.h"
#include "runtime/files/file_utilities.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace quillon {

namespace {

constexpr size_t kCopyBlock = 4096;

// O_NONBLOCK keeps a FIFO from stalling the open; it is dropped again for the regular file.
FILE* OpenRegular(const char* path, int flags, const char* mode) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* file = ::fdopen(fd, mode);
  if (file == nullptr) ::close(fd);
  return file;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool CopyBlocks(FILE* in, FILE* out, uint64_t size) {
  char block[kCopyBlock];
  while (size > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, kCopyBlock));
    if (std::fread(block, 1, n, in) != n) return false;
    if (std::fwrite(block, 1, n, out) != n) return false;
    size -= n;
  }
  return true;
}

// The umask without changing it: the umask(2) round trip would let another thread create a
// file meanwhile with no mask at all.
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned int value = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(status);
  }
  return mask;
}

// A unique new file beside path (same directory, so the rename stays on one file system); a
// short name, so a long file name still leaves room for it. Empty when none could be made.
std::string CreateSaveFile(const std::string& path, int& fd) {
  size_t slash = path.rfind('/');
  std::string name =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".~save-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  return fd < 0 ? std::string() : name;
}

bool WriteAll(int fd, const std::string& contents) {
  const char* p = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FILE* OpenForReading(const char* path) { return OpenRegular(path, O_RDONLY, "rb"); }

FILE* OpenForWriting(const char* path) {
  return OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC, "wb");
}

double FileSize(const StringValue& name) {
  FILE* file = OpenForReading(name.CStr());
  if (file == nullptr) return 0.0;
  struct stat info;
  double size = 0.0;
  if (::fstat(::fileno(file), &info) == 0) {
    size = static_cast<double>(static_cast<uint64_t>(info.st_size) & 0xFFFFFFFFu);
  }
  std::fclose(file);
  return size;
}

double FileExists(const StringValue& name) {
  FILE* file = OpenForReading(name.CStr());
  if (file == nullptr) return 0.0;
  std::fclose(file);
  return 1.0;
}

double DeleteFile(const StringValue& name) {
  if (name.length == 0) return 0.0;
  return ::unlink(name.CStr()) == 0 ? 1.0 : 0.0;
}

void CopyFile(const StringValue& source, const StringValue& destination) {
  FILE* in = OpenForReading(source.CStr());
  if (in == nullptr) return;
  struct stat sourceInfo;
  struct stat destinationInfo;
  bool known = ::fstat(::fileno(in), &sourceInfo) == 0;
  // Truncating the destination would wipe a source that is the same file.
  if (!known || (::stat(destination.CStr(), &destinationInfo) == 0 &&
                 SameFile(sourceInfo, destinationInfo))) {
    std::fclose(in);
    return;
  }
  FILE* out = OpenForWriting(destination.CStr());
  if (out == nullptr) {
    std::fclose(in);
    return;
  }
  bool complete = CopyBlocks(in, out, static_cast<uint64_t>(sourceInfo.st_size));
  std::fclose(in);
  if (std::fclose(out) != 0) complete = false;
  if (!complete) ::unlink(destination.CStr());
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  if (path.empty()) return false;
  // A name of its own: another program saving the same file at the same time has its own too.
  int fd = -1;
  std::string temporary = CreateSaveFile(path, fd);
  if (temporary.empty()) return false;
  // mkstemp makes the file private; the saved file keeps the old mode, or gets the usual one.
  struct stat old;
  bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  ::fchmod(fd, replacing ? old.st_mode & 07777 : 0666 & ~CurrentUmask());
  bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
  if (::close(fd) != 0) written = false;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quillon
