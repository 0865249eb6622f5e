#include <dlfcn.h>

#include "runtime/platform/library.h"

namespace quillon::platform {

void* LoadLibrary(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* FindLibrarySymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return ::dlsym(library, name);
}

void ReleaseLibrary(void* library) {
  if (library != nullptr) ::dlclose(library);
}

}  // namespace quillon::platform
