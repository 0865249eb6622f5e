// Line-record files: line n of a text file is record n (0-255). One file at a time is held in
// memory and written back when another file is named or the program ends.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

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

// 0, or 7 (also recorded) when the record number is outside 0-255.
double WriteRecordText(const StringValue& file, double record, const StringValue& text);
double WriteRecordNumber(const StringValue& file, double record, double value);
// text is the record, "NO_DATA" or "NO_FILE"; returns 0 or the recorded error code (7 or 3).
double ReadRecordText(const StringValue& file, double record, StringValue& text);
double ReadRecordNumber(const StringValue& file, double record);

// Program end: a changed file is written back and the cache emptied.
void FlushLineRecords();
// Both program-end saves of the files subsystem: the INI document, then the record cache.
void FlushIniAndRecords();

}  // namespace quillon
