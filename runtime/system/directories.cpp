#include "runtime/system/directories.h"

#include <string>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/directory.h"
#include "runtime/platform/system.h"
#include "runtime/system/system_internal.h"

namespace quillon {

namespace {

bool SameLetter(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

bool NeedsQuotes(const std::string& argument) {
  return argument.empty() || argument.find_first_of(" \t\n\v\"") != std::string::npos;
}

}  // namespace

bool MatchesFilePattern(const char* pattern, const char* name) {
  // Greedy with one remembered star: linear in practice, never recursive.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if ((*pattern == '?' && *name != '.') ||
               (*pattern != '?' && *pattern != '\0' && SameLetter(*pattern, *name))) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false, quoted = false;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\v')) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      size_t end = line.find_first_not_of('\\', i);
      size_t run = (end == std::string::npos ? line.size() : end) - i;
      if (i + run < line.size() && line[i + run] == '"') {
        // 2n backslashes before a quote give n and the quote groups; 2n+1 give n and a quote.
        current.append(run / 2, '\\');
        if (run % 2 == 1) current += '"';
        i += run + (run % 2);
      } else {
        current.append(run, '\\');
        i += run;
      }
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
    } else {
      current += c;
    }
    ++i;
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

std::string QuoteArgument(const std::string& argument) {
  if (!NeedsQuotes(argument)) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  quoted += '"';
  return quoted;
}

StringValue CurrentDirectory() {
  std::string path = platform::CurrentDirectoryPath();
  if (path.empty()) return StringValue();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.back() != '/') path += '/';
  return StringValue(path.c_str());
}

double ChangeDirectory(const StringValue& path) {
  if (path.length == 0) return 0.0;
  return platform::ChangeDirectory(path.CStr()) ? 1.0 : 0.0;
}

double ListDirectory(const StringValue& pattern, DimArray<StringValue>& list) {
  std::vector<std::string> directories, files;
  for (platform::DirectoryEntry& entry : platform::ListEntries(".")) {
    if (entry.directory) {
      directories.push_back(std::move(entry.name));
    } else if (MatchesFilePattern(pattern.CStr(), entry.name.c_str())) {
      files.push_back(std::move(entry.name));
    }
  }
  double count = double(directories.size()) + double(files.size());
  list.Dimension(count);  // beyond the array limit: runtime error 7
  int32_t i = 0;
  for (const std::string& name : directories) list.At(i++) = name.c_str();
  for (const std::string& name : files) list.At(i++) = name.c_str();
  return double(files.size()) + 65536.0 * double(directories.size());
}

StringValue CommandLineText() { return runtimeState.commandLine; }

}  // namespace quillon
