// The current directory and its entries.
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

struct DirectoryEntry {
  std::string name;
  bool directory = false;  // a link counts as what it points to
};

// The current directory as the system gives it (no trailing "/" but at the root); empty when it
// cannot be read.
std::string CurrentDirectoryPath();
// Every entry of the directory, "." and ".." included, in the order the system lists them.
std::vector<DirectoryEntry> ListEntries(const std::string& path);

}  // namespace quillon::platform
