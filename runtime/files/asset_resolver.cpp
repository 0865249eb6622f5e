#include "runtime/files/asset_resolver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/files/archive.h"
#include "runtime/files/file_utilities.h"
#include "runtime/platform/system.h"

namespace quillon {

namespace {

constexpr int kResolverCount = 2;

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

// The temporary directory is shared with other users: never follow a link planted at our name.
bool WriteTemporaryFile(const std::string& path, const std::vector<unsigned char>& contents) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
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

int ResolveFromArchive(AssetResolver& resolver, const char* name, StringValue& path) {
  if (resolver.archiveUsable == 0 || resolver.archivePath.empty()) return 0;
  ArchiveEntry entry;
  std::vector<unsigned char> contents;
  if (!ExtractFromArchive(resolver, name, entry, contents)) return 0;
  std::string temporary = platform::TemporaryDirectory() + ArchiveTempName(entry);
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
  return owner != nullptr ? ResolveFromArchive(*owner, wanted.c_str(), path) : 0;
}

}  // namespace quillon
