// Command lines a game builds from player input: whatever the text, splitting it and quoting the
// arguments again gives text that splits back into the same arguments; file patterns always end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/system/system_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t cut = text.find('\0');
  std::string line = text.substr(0, cut);
  std::vector<std::string> arguments = quillon::SplitCommandLine(line);
  std::string joined;
  for (const std::string& argument : arguments) {
    if (!joined.empty()) joined += ' ';
    joined += quillon::QuoteArgument(argument);
  }
  if (quillon::SplitCommandLine(joined) != arguments) std::abort();

  if (cut != std::string::npos) {
    std::string name = text.substr(cut + 1);
    quillon::MatchesFilePattern(line.c_str(), name.c_str());
  }
  return 0;
}
