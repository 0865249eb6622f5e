#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "runtime/platform/directory.h"

namespace quillon::platform {

std::string CurrentDirectoryPath() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

std::vector<DirectoryEntry> ListEntries(const std::string& path) {
  std::vector<DirectoryEntry> entries;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return entries;
  int dirFd = ::dirfd(dir);
  while (dirent* entry = ::readdir(dir)) {
    DirectoryEntry e;
    e.name = entry->d_name;
    if (entry->d_type == DT_DIR) {
      e.directory = true;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info;
      e.directory = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    entries.push_back(std::move(e));
  }
  ::closedir(dir);
  return entries;
}

}  // namespace quillon::platform
