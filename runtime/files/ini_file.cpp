#include "runtime/files/ini_file_internal.h"
#include "runtime/files/ini_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "runtime/core/bytes.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/file_channels_internal.h"
#include "runtime/files/file_utilities.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/values/string_functions.h"

namespace quillon {

IniDocument iniDocument;

namespace {

constexpr size_t kLinePiece = 1024;
// The runtime's growable lists: a first capacity, then at least a fixed step. A fixed step
// alone made loading quadratic (300,000 sections took most of a minute), so a long list grows
// by half its size instead.
constexpr size_t kSectionsFirst = 512, kSectionsStep = 128;
constexpr size_t kLoadedEntriesFirst = 8, kLoadedEntriesStep = 32;
constexpr size_t kWrittenEntriesFirst = 512, kWrittenEntriesStep = 128;

template <typename T>
void Append(std::vector<T>& list, T&& item, size_t first, size_t step) {
  if (list.size() == list.capacity()) {
    size_t capacity = list.capacity();
    list.reserve(capacity == 0 ? first : capacity + std::max(step, capacity / 2));
  }
  list.push_back(std::move(item));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool EndsName(char c) {
  return c == '\0' || c == ' ' || c == '\t' || c == '=' || c == '\r' || c == '\n';
}

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

const char* NameEnd(const char* p) {
  while (!EndsName(*p)) ++p;
  return p;
}

bool SameName(const StringValue& a, const StringValue& b) {
  if (a.length != b.length) return false;
  for (uint32_t i = 0; i < a.length; ++i) {
    if (AsciiLower(a.text[i]) != AsciiLower(b.text[i])) return false;
  }
  return true;
}

StringValue TextOf(const char* begin, const char* end) {
  StringValue text;
  size_t n = static_cast<size_t>(end - begin);
  if (n > 0) {
    std::memcpy(text.WritableBuffer(static_cast<uint32_t>(n)), begin, n);
    text.text[n] = '\0';
    text.length = static_cast<uint32_t>(n);
  }
  return text;
}

// Sections without entries are not kept.
void StoreSection(IniSection& section, IniDocument& document) {
  if (section.entries.empty()) return;
  IniSection stored{section.name, {}};
  stored.entries = std::move(section.entries);
  section.entries = {};
  Append(document.sections, std::move(stored), kSectionsFirst, kSectionsStep);
}

// "[name" up to a blank or "=", a "]" right at its end dropped; an empty name keeps the old one.
void StartSection(const char* p, IniSection& current, IniDocument& document) {
  StoreSection(current, document);
  const char* begin = SkipBlanks(p + 1);
  const char* end = NameEnd(begin);
  if (end > begin && end[-1] == ']') --end;
  if (end > begin) current.name = TextOf(begin, end);
}

// "key = value"; lines without "=" or without a value are not entries.
void AddEntry(const char* p, IniSection& current) {
  const char* keyEnd = NameEnd(p);
  if (*keyEnd == '\0') return;
  const char* q = keyEnd;
  if (*q != '=') q = SkipBlanks(q);
  if (*q != '=') return;
  q = SkipBlanks(q + 1);
  if (*q == '\0') return;
  IniEntry entry{TextOf(p, keyEnd), TextOf(q, q + std::strlen(q))};
  TrimTrailingControl(entry.value);
  if (entry.value.length == 0) return;
  Append(current.entries, std::move(entry), kLoadedEntriesFirst, kLoadedEntriesStep);
}

void ParseLine(const char* line, IniSection& current, IniDocument& document) {
  const char* p = SkipBlanks(line);
  if (*p == ';') return;
  if (*p == '[') {
    StartSection(p, current, document);
  } else {
    AddEntry(p, current);
  }
}

IniSection* FindSection(IniDocument& document, const StringValue& name) {
  for (IniSection& section : document.sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

IniEntry* FindEntry(IniSection& section, const StringValue& key) {
  for (IniEntry& entry : section.entries) {
    if (SameName(entry.key, key)) return &entry;
  }
  return nullptr;
}

// The order changes: the last element takes the place of the removed one.
template <typename T>
void RemoveByMovingLast(std::vector<T>& list, T* item) {
  if (item != &list.back()) *item = std::move(list.back());
  list.pop_back();
}

void SaveIfChanged(IniDocument& document) {
  if (document.changed == 0 || document.fileName.length == 0) return;
  if (ReplaceFileContents(document.fileName.CStr(), SerializeIniDocument(document))) {
    document.changed = 0;
  }
}

}  // namespace

void ParseIniFile(FILE* file, IniDocument& document) {
  char line[kLinePiece + 1];
  IniSection current;
  LineReader reader;
  reader.file = file;
  while (ReadLinePiece(reader, line, kLinePiece)) ParseLine(line, current, document);
  StoreSection(current, document);
}

std::string SerializeIniDocument(const IniDocument& document) {
  std::string out;
  for (const IniSection& section : document.sections) {
    out += '[';
    out.append(section.name.CStr(), section.name.length);
    out += "]\r\n";
    for (const IniEntry& entry : section.entries) {
      out.append(entry.key.CStr(), entry.key.length);
      out += '=';
      out.append(entry.value.CStr(), entry.value.length);
      out += "\r\n";
    }
  }
  return out;
}

void OpenIni(const StringValue& fileName) {
  IniDocument& document = iniDocument;
  SaveIfChanged(document);
  document.sections = {};
  document.changed = 0;
  StringValue resolved;
  if (ResolveAssetFile(kLoaderResolver, fileName.CStr(), resolved) == 1) {
    document.fileName = resolved;
  } else {
    document.fileName = fileName;
  }
  FILE* file = OpenForReading(document.fileName.CStr());
  if (file == nullptr) return;  // a later save creates it
  ParseIniFile(file, document);
  std::fclose(file);
}

StringValue ReadIni(const StringValue& section, const StringValue& key) {
  IniSection* found = FindSection(iniDocument, section);
  IniEntry* entry = found != nullptr ? FindEntry(*found, key) : nullptr;
  return entry != nullptr ? entry->value : StringValue("NO_DATA");
}

void WriteIni(const StringValue& section, const StringValue& key, const StringValue& value) {
  IniDocument& document = iniDocument;
  IniSection* found = FindSection(document, section);
  if (key.length == 0) {
    if (found == nullptr) return;
    RemoveByMovingLast(document.sections, found);
    document.changed = 1;
    return;
  }
  if (found == nullptr) {
    IniSection created{section, {}};
    created.entries.reserve(kWrittenEntriesFirst);
    Append(document.sections, std::move(created), kSectionsFirst, kSectionsStep);
    found = &document.sections.back();
  }
  IniEntry* entry = FindEntry(*found, key);
  if (entry == nullptr) {
    Append(found->entries, IniEntry{key, value}, kWrittenEntriesFirst, kWrittenEntriesStep);
  } else if (value.length > 0) {
    entry->value = value;
  } else {
    RemoveByMovingLast(found->entries, entry);
  }
  document.changed = 1;
}

void FlushIniDocument() { SaveIfChanged(iniDocument); }

}  // namespace quillon
