// The INI reader on arbitrary bytes. Besides surviving every input, a document must read back
// the same after it is saved, as long as no saved line is longer than one read piece.
//
//   ini_fuzz -max_len=8192 fuzz/corpus/ini_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/files/ini_file.h"
#include "runtime/files/ini_file_internal.h"

namespace {

constexpr size_t kLongestWholeLine = 1022;  // plus CR LF: one 1024-byte piece

quillon::IniDocument Parse(const void* bytes, size_t size) {
  quillon::IniDocument document;
  if (FILE* file = fmemopen(const_cast<void*>(bytes), size, "rb")) {
    quillon::ParseIniFile(file, document);
    std::fclose(file);
  }
  return document;
}

bool AllLinesShort(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end - start > kLongestWholeLine) return false;
    start = end + 2;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string saved = quillon::SerializeIniDocument(Parse(data, size));
  if (saved.empty() || !AllLinesShort(saved)) return 0;
  std::string again = quillon::SerializeIniDocument(Parse(saved.data(), saved.size()));
  if (again != saved) __builtin_trap();
  return 0;
}
