// Turns a file name into a path that can be opened: the file itself, or a temporary copy taken
// out of the archive appended to the program file.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/values/string_value.h"

namespace quillon {

// The two resolvers kept in runtimeState.assetArchives; each keeps at most one temporary file,
// so the music being played survives later image and sound loads.
enum AssetResolverIndex { kMediaResolver = 0, kLoaderResolver = 1 };

// One resolver: the file that may carry an archive and the temporary file it handed out last.
struct AssetResolver {
  uint8_t archiveUsable = 1;  // cleared for good once the archive file is missing or unmarked
  std::string archivePath;
  std::string lastTempFile;
};

// Start-up: both resolvers look for the archive appended to the program file itself.
void CreateAssetResolvers(const std::string& programFile);
// Program end: each resolver deletes its temporary file and is freed; the process's directory of
// extracted files goes with them.
void DestroyAssetResolvers();
// The resolver of that number, or null before start-up.
AssetResolver* AssetResolverAt(int resolver);

// 1 and the path to open, or 0 and an empty path. Without resolvers (before start-up) only files
// on disk are found. An archive entry is extracted to a new file in a directory of this process
// alone, below the temporary directory.
int ResolveAssetFile(int resolver, const char* name, StringValue& path);

}  // namespace quillon
