#include "runtime/files/asset_resolver.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/files/archive.h"
#include "runtime/files/file_utilities.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/platform/system.h"

namespace quillon {

namespace {

constexpr int kResolverCount = 2;

// Extracted entries live in one directory of this process alone, made at the first extraction
// and removed with the resolvers: in the shared temporary directory other users could block,
// swap or redirect predictable names, and other running games would reuse and delete them.
struct PrivateDirectory {
  std::string path;  // ends with '/'; empty while there is none
  pid_t owner = 0;   // a forked child makes its own rather than sharing its parent's
  uint32_t extracted = 0;
};
PrivateDirectory privateDirectory;

const std::string& PrivateDirectoryPath() {
  PrivateDirectory& d = privateDirectory;
  if (!d.path.empty() && d.owner == ::getpid()) return d.path;
  std::string pattern = platform::TemporaryDirectory() + "quillon-assets-XXXXXX";
  d.path = ::mkdtemp(pattern.data()) != nullptr ? pattern + "/" : std::string();
  d.owner = ::getpid();
  return d.path;
}

// Only when empty: a file still in it belongs to a resolver that has not let go of it.
void RemovePrivateDirectory() {
  PrivateDirectory& d = privateDirectory;
  if (!d.path.empty() && d.owner == ::getpid()) ::rmdir(d.path.c_str());
  d.path.clear();
}

void DeleteLastTempFile(AssetResolver& resolver) {
  if (resolver.lastTempFile.empty()) return;
  ::unlink(resolver.lastTempFile.c_str());
  resolver.lastTempFile.clear();
}

bool CanOpenForReading(const char* path) {
  FILE* file = OpenForReading(path);
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// A new file only: never one that is already there, nor a link.
bool WriteTemporaryFile(const std::string& path, const std::vector<unsigned char>& contents) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const unsigned char* p = contents.data();
  size_t left = contents.size();
  bool complete = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n <= 0) {
      complete = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) complete = false;
  if (!complete) ::unlink(path.c_str());
  return complete;
}

// The entry's contents, or false when the archive is unusable, lacks the name or is damaged.
bool ExtractFromArchive(AssetResolver& resolver, const char* name, ArchiveEntry& entry,
                        std::vector<unsigned char>& contents) {
  FILE* archive = OpenForReading(resolver.archivePath.c_str());
  if (archive == nullptr) {
    resolver.archiveUsable = 0;
    return false;
  }
  ArchiveLayout layout;
  // A trailer that points outside the file can serve no name now or later.
  if (ReadArchiveTrailer(archive, layout) != ArchiveTrailer::kValid) {
    std::fclose(archive);
    resolver.archiveUsable = 0;
    return false;
  }
  std::vector<unsigned char> stored;
  bool found =
      FindArchiveEntry(archive, layout, name, entry) && ReadStoredEntry(archive, entry, stored);
  std::fclose(archive);
  return found && DecompressStoredEntry(stored, contents);
}

int ResolveFromArchive(int index, AssetResolver& resolver, const char* name, StringValue& path) {
  if (resolver.archiveUsable == 0 || resolver.archivePath.empty()) return 0;
  ArchiveEntry entry;
  std::vector<unsigned char> contents;
  if (!ExtractFromArchive(resolver, name, entry, contents)) return 0;
  const std::string& directory = PrivateDirectoryPath();
  if (directory.empty()) return 0;
  std::string temporary = directory + ArchiveTempName(entry, index, ++privateDirectory.extracted);
  if (!WriteTemporaryFile(temporary, contents)) return 0;
  resolver.lastTempFile = temporary;
  path = temporary.c_str();
  return 1;
}

}  // namespace

AssetResolver* AssetResolverAt(int resolver) {
  if (resolver < 0 || resolver >= kResolverCount) return nullptr;
  return runtimeState.assetArchives[resolver];
}

void CreateAssetResolvers(const std::string& programFile) {
  DestroyAssetResolvers();
  for (int i = 0; i < kResolverCount; ++i) {
    AssetResolver* resolver = new AssetResolver();
    resolver->archivePath = programFile;
    runtimeState.assetArchives[i] = resolver;
  }
}

void DestroyAssetResolvers() {
  for (int i = 0; i < kResolverCount; ++i) {
    AssetResolver* resolver = AssetResolverAt(i);
    if (resolver == nullptr) continue;
    DeleteLastTempFile(*resolver);
    delete resolver;
    runtimeState.assetArchives[i] = nullptr;
  }
  RemovePrivateDirectory();
}

int ResolveAssetFile(int resolver, const char* name, StringValue& path) {
  AssetResolver* owner = AssetResolverAt(resolver);
  if (owner != nullptr) DeleteLastTempFile(*owner);
  // The name may live in path's own buffer.
  std::string wanted = name != nullptr ? name : "";
  path = "";
  if (wanted.empty()) return 0;
  if (CanOpenForReading(wanted.c_str())) {
    path = wanted.c_str();
    return 1;
  }
  return owner != nullptr ? ResolveFromArchive(resolver, *owner, wanted.c_str(), path) : 0;
}

}  // namespace quillon
