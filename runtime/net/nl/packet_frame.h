// The wire form of NL_TCP_PACKETS: 'N', 'L', the payload length as 16-bit big-endian, the payload.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

constexpr size_t kPacketHeaderSize = 4;

enum class FrameState { Incomplete, Whole, OutOfSync };

// Looks at the start of a received stream: Whole sets payloadLength (the packet takes
// kPacketHeaderSize + payloadLength bytes); OutOfSync when the magic is wrong or the length
// exceeds maxPayload.
FrameState ExamineFrame(const uint8_t* bytes, size_t count, size_t maxPayload,
                        size_t& payloadLength);
// Writes the header for a payload of length bytes (at most 65535).
void WriteFrameHeader(uint8_t* header, size_t length);

}  // namespace quillon
