// The WAV header walk LoadSound runs before decoding, on arbitrary bytes: it must end, and a
// complete file's length must be a finite number of seconds that fits what the file holds.
//
//   wav_header_fuzz -max_len=4096 fuzz/corpus/wav_header_fuzz
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/sound/sound_length.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  double seconds = -1;
  quillon::WavHeader header = quillon::ReadWavHeaderOf(file, seconds);
  std::fclose(file);
  // At most 8 frames a byte (1-bit samples) at the slowest rate of 1 Hz.
  if (header == quillon::WavHeader::Complete && !(seconds >= 0 && seconds <= 8.0 * size)) {
    std::abort();
  }
  return 0;
}
