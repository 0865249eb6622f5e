// The packet de-framer on arbitrary streams, fed in pieces of varying size as the network
// delivers them: the packets taken out must not depend on where the pieces were cut, and none is
// longer than the limit.
//
//   net_packet_fuzz -max_len=40000 fuzz/corpus/net_packet_fuzz
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/net/nl/nl.h"
#include "runtime/net/nl/packet_frame.h"

namespace {

using quillon::FrameState;

// Packets taken from the stream, delivered piece by piece; stops at a sync error.
std::vector<std::string> Deframe(const uint8_t* data, size_t size, size_t piece) {
  std::vector<std::string> packets;
  std::string buffer;
  for (size_t at = 0; at < size; at += piece) {
    buffer.append(reinterpret_cast<const char*>(data + at), std::min(piece, size - at));
    for (;;) {
      size_t length = 0;
      auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
      FrameState state =
          quillon::ExamineFrame(bytes, buffer.size(), quillon::NL_MAX_PACKET_LENGTH, length);
      if (state == FrameState::OutOfSync) {
        packets.push_back("<out of sync>");
        return packets;
      }
      if (state == FrameState::Incomplete) break;
      if (length > quillon::NL_MAX_PACKET_LENGTH) __builtin_trap();
      packets.push_back(buffer.substr(quillon::kPacketHeaderSize, length));
      buffer.erase(0, quillon::kPacketHeaderSize + length);
    }
  }
  return packets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t piece = 1 + data[0] % 64;
  if (Deframe(data + 1, size - 1, piece) != Deframe(data + 1, size - 1, size)) __builtin_trap();
  return 0;
}
