// Turns a file name into a path that can be opened: the file itself, or a temporary copy taken
// out of the archive appended to the program file.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// The two resolvers kept in runtimeState.assetArchives; each keeps at most one temporary file,
// so the music being played survives later image and sound loads.
enum AssetResolverIndex { kMediaResolver = 0, kLoaderResolver = 1 };

// 1 and the path to open, or 0 and an empty path. Without resolvers (before start-up) only files
// on disk are found.
int ResolveAssetFile(int resolver, const char* name, StringValue& path);

}  // namespace quillon
