// Plumbing of the line records: the cache of the current file, and the saves at program end.
#pragma once

#include <cstdint>

#include "runtime/files/line_records.h"

namespace quillon {

constexpr int kRecordCount = 256;
constexpr int kRecordSize = 1024;  // a record holds at most 1023 bytes of text

struct LineRecordCache {
  char currentFile[kRecordSize];  // exactly as the program named it; empty: no file
  char records[kRecordCount][kRecordSize];
  int32_t highestRecord;  // highest record holding data, 0 when none
  uint8_t changed;
};

extern LineRecordCache lineRecordCache;

// Program end: a changed file is written back and the cache emptied.
void FlushLineRecords();
// Both program-end saves of the files subsystem: the INI document, then the record cache.
void FlushIniAndRecords();

}  // namespace quillon
