#include "runtime/net/http_fetch.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/net/http_internal.h"
#include "runtime/net/nl/nl.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr size_t kChunkSize = 4095;
// Enough for any real header; the rest of a longer one is skipped unread.
constexpr size_t kKeptHeader = 64 * 1024;
std::atomic<int32_t> idleTimeoutMs{30000};
std::atomic<uint16_t> tlsPort{443};

// CR, LF or any other control byte would start a request line of its own.
bool HasControlBytes(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    auto byte = static_cast<unsigned char>(*c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

uint16_t PortFrom(double port) { return static_cast<uint16_t>(TruncateToInt32(port)); }

// The body goes to a file beside the output and replaces it only when the transfer succeeded.
// Its name carries this process's id, so a later download can tell a killed one's leftover.
struct Download {
  std::string finalPath;
  std::string tempPath;
  FILE* file = nullptr;
  bool writeFailed = false;
  int64_t written = 0;
};

// "NAME.part<pid>-<n>" beside NAME, left by a process that no longer runs.
bool IsStalePart(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  char* end = nullptr;
  long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
  if (pid <= 0 || *end != '-' || end[1] == '\0') return false;
  for (const char* c = end + 1; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleParts(const std::string& finalPath) {
  namespace fs = std::filesystem;
  fs::path path(finalPath);
  fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::string prefix = path.filename().string() + ".part";
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (IsStalePart(it->path().filename().string(), prefix)) fs::remove(it->path(), error);
  }
}

void OpenDownload(Download& d, const char* outputFile) {
  static std::atomic<uint32_t> serial{0};
  if (outputFile[0] == '\0') return;
  d.finalPath = outputFile;
  RemoveStaleParts(d.finalPath);
  std::string own = d.finalPath + ".part" + std::to_string(::getpid()) + "-";
  // "x": never reuse a name another download (or another process) already holds.
  for (int attempt = 0; attempt < 100 && d.file == nullptr; ++attempt) {
    d.tempPath = own + std::to_string(serial++);
    d.file = std::fopen(d.tempPath.c_str(), "wbx");
  }
}

void WriteBody(Download& d, const uint8_t* bytes, size_t count) {
  d.written += static_cast<int64_t>(count);
  if (d.file == nullptr || d.writeFailed) return;
  d.writeFailed = std::fwrite(bytes, 1, count, d.file) != count;
}

// True when the file is complete and in place.
bool FinishDownload(Download& d, bool keep) {
  if (d.file == nullptr) return keep;
  bool written = std::fclose(d.file) == 0 && !d.writeFailed;
  d.file = nullptr;
  if (keep && written && std::rename(d.tempPath.c_str(), d.finalPath.c_str()) == 0) return true;
  std::remove(d.tempPath.c_str());
  return false;
}

// Reads until the server ends the stream; true when the whole body arrived: a normal close
// (over TLS with its close notification) after at least the stated length.
bool ReceiveBody(NLsocket socket, Download& d) {
  NLint group = nlGroupCreate();
  nlGroupAddSocket(group, socket);
  HeaderSkip skip;
  uint8_t chunk[kChunkSize];
  NLenum end = NL_NO_ERROR;
  for (;;) {
    NLsocket ready;
    if (nlPollGroup(group, NL_READ_STATUS, &ready, 1, idleTimeoutMs.load()) != 1) break;
    NLint n = nlRead(socket, chunk, sizeof chunk);
    if (n < 0) {
      end = nlGetError();
      break;
    }
    auto count = static_cast<size_t>(n);
    size_t body = BodyStart(skip, chunk, count);
    if (body < count) WriteBody(d, chunk + body, count - body);
    // A full disk or a file-size limit: the rest would be lost anyway.
    if (d.writeFailed) break;
  }
  nlGroupDestroy(group);
  int64_t stated = skip.lineEnds >= 2 ? StatedLength(skip.header) : -1;
  if (stated >= 0 && d.written < stated) return false;
  // Without its close notification a TLS stream may have been cut; a stated length that all
  // arrived says it was not.
  return end == NL_MESSAGE_END || (end == NL_MESSAGE_CUT && stated >= 0);
}

double Fetch(const char* host, const char* path, uint16_t port, const char* outputFile) {
  NLaddress address;
  if (!nlGetAddrFromName(host, &address) || !nlSetAddrPort(&address, port)) return 0;
  NLsocket socket = nlOpen(0, NL_TCP);
  if (socket == NL_INVALID) return 0;
  if (!nlConnect(socket, &address) || (port == tlsPort.load() && !nlStartTls(socket, host)) ||
      !nlSetReadTimeout(socket, idleTimeoutMs.load())) {
    nlClose(socket);
    return 0;
  }
  Download download;
  OpenDownload(download, outputFile);
  std::string request = std::string("GET ") + path + " HTTP/1.0\r\nHost:" + host +
                        "\r\nAccept: */*\r\nUser-Agent: Quillon game\r\n\r\n";
  auto length = static_cast<NLint>(request.size());
  bool done = nlWrite(socket, request.data(), length) == length && ReceiveBody(socket, download);
  nlClose(socket);
  return FinishDownload(download, done) ? 1 : 0;
}

}  // namespace

size_t BodyStart(HeaderSkip& state, const uint8_t* chunk, size_t count) {
  size_t i = 0;
  while (state.lineEnds < 2 && i < count) {
    uint8_t byte = chunk[i++];
    if (state.header.size() < kKeptHeader) state.header.push_back(static_cast<char>(byte));
    if (byte == '\n')
      ++state.lineEnds;
    else if (byte != '\r')
      state.lineEnds = 0;
  }
  return state.lineEnds < 2 ? count : i;
}

int64_t StatedLength(const std::string& header) {
  static const char kName[] = "content-length:";
  for (size_t line = 0; line < header.size();) {
    size_t next = header.find('\n', line);
    if (next == std::string::npos) next = header.size();
    size_t at = line;
    bool named = next - line > sizeof kName - 1;
    for (size_t k = 0; named && k < sizeof kName - 1; ++k, ++at) {
      named = std::tolower(static_cast<unsigned char>(header[at])) == kName[k];
    }
    if (named) {
      while (at < next && (header[at] == ' ' || header[at] == '\t')) ++at;
      int64_t value = 0;
      size_t digits = 0;
      for (; at < next && header[at] >= '0' && header[at] <= '9' && digits < 18; ++at, ++digits) {
        value = value * 10 + (header[at] - '0');
      }
      return digits > 0 ? value : -1;
    }
    line = next + 1;
  }
  return -1;
}

void SetHttpIdleTimeout(int32_t milliseconds) { idleTimeoutMs = milliseconds; }

void SetHttpTlsPort(uint16_t port) { tlsPort = port == 0 ? 443 : port; }

void SetHttpTrustFile(const char* path) { nlSetTlsTrustFile(path); }

double HttpGetFile(const StringValue& host, const StringValue& path, double port,
                   const StringValue& outputFile) {
  if (HasControlBytes(host.CStr()) || HasControlBytes(path.CStr())) return 0;
  if (!nlInit()) return 0;
  bool wasBlocking = nlGetBoolean(NL_BLOCKING_IO);
  nlSelectNetwork(NL_IP);
  nlEnable(NL_SOCKET_STATS);
  nlEnable(NL_BLOCKING_IO);
  double result = Fetch(host.CStr(), path.CStr(), PortFrom(port), outputFile.CStr());
  if (!wasBlocking) nlDisable(NL_BLOCKING_IO);
  nlShutdown();
  return result;
}

}  // namespace quillon
