#include "runtime/net/http_fetch.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "runtime/net/http_internal.h"
#include "runtime/net/nl/nl.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr size_t kChunkSize = 4095;
std::atomic<int32_t> idleTimeoutMs{30000};

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
struct Download {
  std::string finalPath;
  std::string tempPath;
  FILE* file = nullptr;
};

void OpenDownload(Download& d, const char* outputFile) {
  static std::atomic<uint32_t> serial{0};
  if (outputFile[0] == '\0') return;
  d.finalPath = outputFile;
  // "x": never reuse a name another download (or another process) already holds.
  for (int attempt = 0; attempt < 100 && d.file == nullptr; ++attempt) {
    d.tempPath = d.finalPath + ".part" + std::to_string(serial++);
    d.file = std::fopen(d.tempPath.c_str(), "wbx");
  }
}

void FinishDownload(Download& d, bool keep) {
  if (d.file == nullptr) return;
  bool written = std::fclose(d.file) == 0;
  d.file = nullptr;
  if (keep && written && std::rename(d.tempPath.c_str(), d.finalPath.c_str()) == 0) return;
  std::remove(d.tempPath.c_str());
}

// Reads until the server ends the stream; true when it closed it normally.
bool ReceiveBody(NLsocket socket, Download& d) {
  NLint group = nlGroupCreate();
  nlGroupAddSocket(group, socket);
  HeaderSkip skip;
  uint8_t chunk[kChunkSize];
  bool closedNormally = false;
  for (;;) {
    NLsocket ready;
    if (nlPollGroup(group, NL_READ_STATUS, &ready, 1, idleTimeoutMs.load()) != 1) break;
    NLint n = nlRead(socket, chunk, sizeof chunk);
    if (n < 0) {
      closedNormally = nlGetError() == NL_MESSAGE_END;
      break;
    }
    auto count = static_cast<size_t>(n);
    size_t body = BodyStart(skip, chunk, count);
    if (d.file != nullptr && body < count) std::fwrite(chunk + body, 1, count - body, d.file);
  }
  nlGroupDestroy(group);
  return closedNormally;
}

double Fetch(const char* host, const char* path, uint16_t port, const char* outputFile) {
  NLaddress address;
  if (!nlGetAddrFromName(host, &address) || !nlSetAddrPort(&address, port)) return 0;
  NLsocket socket = nlOpen(0, NL_TCP);
  if (socket == NL_INVALID) return 0;
  if (!nlConnect(socket, &address) || (port == 443 && !nlStartTls(socket, host))) {
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
  FinishDownload(download, done);
  return done ? 1 : 0;
}

}  // namespace

size_t BodyStart(HeaderSkip& state, const uint8_t* chunk, size_t count) {
  size_t i = 0;
  while (state.lineEnds < 2 && i < count) {
    uint8_t byte = chunk[i++];
    if (byte == '\n')
      ++state.lineEnds;
    else if (byte != '\r')
      state.lineEnds = 0;
  }
  return state.lineEnds < 2 ? count : i;
}

void SetHttpIdleTimeout(int32_t milliseconds) { idleTimeoutMs = milliseconds; }

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
