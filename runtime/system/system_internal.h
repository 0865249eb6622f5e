// Plumbing of the system commands for the rest of the runtime.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

// Matches name against a pattern of the directory listing: "*" any run, "?" one character
// but ".", other characters without regard to letter case.
bool MatchesFilePattern(const char* pattern, const char* name);
// Splits a command line by the quoting rules RunProgram follows.
std::vector<std::string> SplitCommandLine(const std::string& line);
// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const std::string& argument);
// Releases every library BindLibraryFunction loaded (the end sequence calls this).
void ReleaseLoadedLibraries();
// What the file dialog needs of the top layer around a desktop chooser: the display suspended
// before it, and windowed or fullscreen restored after it.
struct DialogDisplay {
  void (*suspend)() = nullptr;
  void (*restore)() = nullptr;
};
void InstallDialogDisplay(const DialogDisplay& display);

// One "description|pattern" pair of a file dialog's filter; patterns split at ";".
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
};
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

// How many libraries BindLibraryFunction holds loaded.
size_t LoadedLibraryCount();

}  // namespace quillon
