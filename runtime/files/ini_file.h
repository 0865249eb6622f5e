// The one current INI document: ordered sections of key/value pairs, names matched in any letter
// case, written back to its file only when something changed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/values/string_value.h"

namespace quillon {

struct IniEntry {
  StringValue key;
  StringValue value;
};

struct IniSection {
  StringValue name;  // may be empty: the entries before any section line
  std::vector<IniEntry> entries;
};

struct IniDocument {
  std::vector<IniSection> sections;
  StringValue fileName;  // empty: never saved
  uint8_t changed = 0;
};

extern IniDocument iniDocument;

// Saves the current document first when it was changed.
void OpenIni(const StringValue& fileName);
// "NO_DATA" when the first section of that name has no such key.
StringValue ReadIni(const StringValue& section, const StringValue& key);
// An empty key removes the section, an empty value the entry (the last one moves into its place).
void WriteIni(const StringValue& section, const StringValue& key, const StringValue& value);
// Program end: the changed document goes to its file.
void FlushIniDocument();

// Appends the sections of an INI file to document.
void ParseIniFile(FILE* file, IniDocument& document);
// "[name]" and "key=value" lines ended by CR LF, nothing else.
std::string SerializeIniDocument(const IniDocument& document);

}  // namespace quillon
