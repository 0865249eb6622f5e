// What the tools share on their command line: --help and --version, one shape of error line,
// and exit codes that tell a wrong command line from work that failed.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

namespace quillon::tool {

constexpr int kFailed = 1;  // the command line was right, the work failed
constexpr int kUsage = 2;   // the command line was wrong

// "tool: what went wrong: file" on standard error; gives kFailed.
inline int Fail(const char* tool, const std::string& what, const std::string& file) {
  std::fprintf(stderr, "%s: %s: %s\n", tool, what.c_str(), file.c_str());
  return kFailed;
}

// "tool: problem" and the usage on standard error; gives kUsage.
inline int UsageError(const char* tool, const std::string& problem, const char* usage) {
  std::fprintf(stderr, "%s: %s\n%s", tool, problem.c_str(), usage);
  return kUsage;
}

// Answers --help (the usage on standard output) and --version when either is the first
// argument: true when it did, and the tool ends with status 0.
inline bool AnsweredHelpOrVersion(int argc, char** argv, const char* tool, const char* usage) {
  if (argc < 2) return false;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(usage, stdout);
    return true;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s (Quillon) %s\n", tool, QUILLON_VERSION);
    return true;
  }
  return false;
}

}  // namespace quillon::tool
