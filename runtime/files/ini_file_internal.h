// Plumbing of the INI files: the document in memory, reading and writing it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/files/ini_file.h"

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

// Program end: the changed document goes to its file.
void FlushIniDocument();

// Appends the sections of an INI file to document.
void ParseIniFile(FILE* file, IniDocument& document);
// "[name]" and "key=value" lines ended by CR LF, nothing else.
std::string SerializeIniDocument(const IniDocument& document);

}  // namespace quillon
