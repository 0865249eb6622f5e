// What a host accepts from a connection, on arbitrary packets: an accepted message keeps its text
// and a join's name inside their fields, and only a player who joined through the connection may
// speak for it.
//
//   net_message_fuzz -max_len=2100 fuzz/corpus/net_message_fuzz
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/net/net_internal.h"

namespace {

constexpr quillon::NLsocket kSource = 7;

quillon::NetGame& Game() {
  static quillon::NetGame* game = [] {
    auto* g = new quillon::NetGame();
    quillon::NetPlayer own{}, other{};
    own.socket = kSource;
    own.id = 101;
    other.socket = 8;
    other.id = 102;
    g->connections = {own, other};
    return g;
  }();
  return *game;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillon::NetMessage message;
  std::memset(&message, 0, sizeof message);
  size_t count = std::min(size, sizeof message);
  std::memcpy(&message, data, count);
  if (!quillon::AcceptReceived(message, static_cast<int32_t>(count))) return 0;
  if (message.length < 0 || message.length > quillon::kNetDataSize) __builtin_trap();
  if (message.length < quillon::kNetDataSize && message.data[message.length] != '\0') {
    __builtin_trap();
  }
  if (message.kind == quillon::MsgJoin && memchr(message.data + offsetof(quillon::NetPlayer, name),
                                                 0, quillon::kNetNameSize) == nullptr) {
    __builtin_trap();
  }
  if (quillon::HostAccepts(Game(), message, kSource) && message.kind != quillon::MsgJoin &&
      message.from != 101) {
    __builtin_trap();
  }
  return 0;
}
