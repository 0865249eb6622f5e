#include "runtime/files/file_utilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

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
  std::string temporary = path + ".~save";
  ::unlink(temporary.c_str());  // left over from a run that died mid-save
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat old;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
  if (::close(fd) != 0) written = false;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quillon
