#include "runtime/net/nl/packet_frame.h"

namespace quillon {

FrameState ExamineFrame(const uint8_t* bytes, size_t count, size_t maxPayload,
                        size_t& payloadLength) {
  payloadLength = 0;
  // A wrong first byte is out of sync at once, without waiting for the rest of the header.
  if (count >= 1 && bytes[0] != 'N') return FrameState::OutOfSync;
  if (count >= 2 && bytes[1] != 'L') return FrameState::OutOfSync;
  if (count < kPacketHeaderSize) return FrameState::Incomplete;
  size_t length = (static_cast<size_t>(bytes[2]) << 8) | bytes[3];
  if (length > maxPayload) return FrameState::OutOfSync;
  if (count - kPacketHeaderSize < length) return FrameState::Incomplete;
  payloadLength = length;
  return FrameState::Whole;
}

void WriteFrameHeader(uint8_t* header, size_t length) {
  header[0] = 'N';
  header[1] = 'L';
  header[2] = static_cast<uint8_t>((length >> 8) & 0xFF);
  header[3] = static_cast<uint8_t>(length & 0xFF);
}

}  // namespace quillon
