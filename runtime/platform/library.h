// Dynamic libraries: loading by name, finding a function, releasing.
#pragma once

namespace quillon::platform {

// A handle, or null when the library cannot be loaded.
void* LoadLibrary(const char* name);
// The address of the named symbol, or null.
void* FindLibrarySymbol(void* library, const char* name);
void ReleaseLibrary(void* library);

}  // namespace quillon::platform
