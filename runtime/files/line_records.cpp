#include "runtime/files/line_records_internal.h"
#include "runtime/files/line_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/runtime_errors.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/file_channels_internal.h"
#include "runtime/files/file_utilities.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/files/ini_file.h"
#include "runtime/files/ini_file_internal.h"
#include "runtime/values/string_functions.h"
#include "runtime/values/truncate.h"

namespace quillon {

LineRecordCache lineRecordCache;

namespace {

constexpr double kBadRecord = 7;
constexpr double kNoFile = 3;
constexpr size_t kLongestText = kRecordSize - 1;

// Texts longer than a record holds are cut, never written past it.
void CopyCut(char* destination, const char* source, size_t length) {
  size_t n = std::min(length, kLongestText);
  std::memcpy(destination, source, n);
  destination[n] = '\0';
}

bool ValidRecord(double record, int32_t& index) {
  index = TruncateToInt32(record);
  return index >= 0 && index < kRecordCount;
}

void LoadRecords(FILE* file, LineRecordCache& cache) {
  LineReader reader;
  reader.file = file;
  // One line is one record, however long: what exceeds a record is lost, not a record of its own.
  for (int n = 0; n < kRecordCount; ++n) {
    if (!ReadWholeLine(reader, cache.records[n], kLongestText)) break;
    cache.highestRecord = n;
  }
}

void WriteBack(const LineRecordCache& cache) {
  std::string contents;
  for (int n = 0; n <= cache.highestRecord; ++n) {
    contents += cache.records[n];
    contents += "\r\n";
  }
  ReplaceFileContents(cache.currentFile, contents);
}

void WriteBackAndClear(LineRecordCache& cache) {
  if (cache.currentFile[0] != '\0' && cache.changed != 0) WriteBack(cache);
  std::memset(&cache, 0, sizeof cache);
}

// Makes file the cached one; false (and error 3 recorded) when it could not be read.
bool SelectRecordFile(const StringValue& file) {
  LineRecordCache& cache = lineRecordCache;
  char name[kRecordSize];
  CopyCut(name, file.CStr(), file.length);
  if (std::strcmp(name, cache.currentFile) == 0) return true;
  WriteBackAndClear(cache);
  std::memcpy(cache.currentFile, name, sizeof name);
  StringValue resolved;
  FILE* in = nullptr;
  if (ResolveAssetFile(kLoaderResolver, name, resolved) == 1) in = OpenForReading(resolved.CStr());
  if (in == nullptr) {
    RaiseRuntimeError(kNoFile);
    return false;
  }
  LoadRecords(in, cache);
  std::fclose(in);
  return true;
}

}  // namespace

double WriteRecordText(const StringValue& file, double record, const StringValue& text) {
  int32_t n;
  if (!ValidRecord(record, n)) return RaiseRuntimeError(kBadRecord);
  SelectRecordFile(file);  // a file that does not exist yet is created by the write-back
  LineRecordCache& cache = lineRecordCache;
  CopyCut(cache.records[n], text.CStr(), text.length);
  cache.highestRecord = std::max(cache.highestRecord, n);
  cache.changed = 1;
  return 0;
}

double WriteRecordNumber(const StringValue& file, double record, double value) {
  return WriteRecordText(file, record, NumberToText(value));
}

double ReadRecordText(const StringValue& file, double record, StringValue& text) {
  int32_t n;
  if (!ValidRecord(record, n)) {
    text = "NO_DATA";
    return RaiseRuntimeError(kBadRecord);
  }
  if (!SelectRecordFile(file)) {
    text = "NO_FILE";
    return kNoFile;
  }
  text = lineRecordCache.records[n];
  TrimTrailingControl(text);
  if (text.length == 0) text = "NO_DATA";
  return 0;
}

double ReadRecordNumber(const StringValue& file, double record) {
  StringValue text;
  ReadRecordText(file, record, text);
  return TextToNumber(text.CStr());
}

void FlushLineRecords() { WriteBackAndClear(lineRecordCache); }

void FlushIniAndRecords() {
  FlushIniDocument();
  FlushLineRecords();
}

}  // namespace quillon
