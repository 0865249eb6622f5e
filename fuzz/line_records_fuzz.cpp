// The line-record reader on arbitrary file contents, through the language's own commands: the
// bytes become a file, every record is read, then one is written back and the file reloaded.
// A record never holds a line end or more than 1023 bytes, records past the last line read
// NO_DATA, and writing the file back and reading it again gives the same records.
//
//   line_records_fuzz -max_len=8192 fuzz/corpus/line_records_fuzz
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/files/line_records.h"
#include "runtime/files/line_records_internal.h"

namespace {

// A private temporary directory per input, removed with the input's file when the input is
// done (libFuzzer may end the process without running exit handlers). Writing back syncs the
// file, so memory-backed /dev/shm is the default: on a disk each input would wait for it.
std::string MakeDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp != nullptr && *tmp != '\0'    ? tmp
                     : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                       : "/tmp";
  std::string pattern = base + "/line_records_fuzz.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

// Every record as the program reads it, checking what any record read must look like.
std::vector<std::string> ReadAllRecords(const quillon::StringValue& file) {
  std::vector<std::string> texts;
  for (int n = 0; n < quillon::kRecordCount; ++n) {
    quillon::StringValue text;
    if (quillon::ReadRecordText(file, n, text) != 0) __builtin_trap();
    if (text.length == 0 || text.length >= quillon::kRecordSize) __builtin_trap();
    if (std::memchr(text.text, '\n', text.length) != nullptr) __builtin_trap();
    if (n > quillon::lineRecordCache.highestRecord && std::strcmp(text.CStr(), "NO_DATA") != 0) {
      __builtin_trap();
    }
    texts.emplace_back(text.text, text.length);
  }
  return texts;
}

void CheckRecordFile(const quillon::StringValue& file) {
  std::vector<std::string> loaded = ReadAllRecords(file);
  // Rewriting record 0 unchanged marks the file for the write-back. The cached bytes may differ
  // afterwards (a 1022-byte record comes back with its CR), never what a read returns.
  quillon::WriteRecordText(file, 0, quillon::StringValue(quillon::lineRecordCache.records[0]));
  quillon::FlushLineRecords();
  if (ReadAllRecords(file) != loaded) __builtin_trap();
  quillon::FlushLineRecords();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillon::FlushLineRecords();
  std::string directory = MakeDirectory();
  std::string path = directory + "/records.txt";
  if (WriteFile(path, data, size)) CheckRecordFile(quillon::StringValue(path.c_str()));
  std::remove(path.c_str());
  ::rmdir(directory.c_str());
  return 0;
}
