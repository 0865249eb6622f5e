#include "runtime/system/system_info.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/library.h"
#include "runtime/platform/system.h"
#include "runtime/system/system_internal.h"

namespace quillon {

namespace {

constexpr uint32_t kMachineIdMask = 0x5A3C96E1;
constexpr uint32_t kDefaultMachineSerial = 0x1D07C0DE;

struct LoadedLibrary {
  std::string name;  // lower case
  void* handle = nullptr;
};

std::vector<LoadedLibrary> loadedLibraries;

std::string Lower(const char* text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

StringValue LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return StringValue("NO_DATA");
  char text[64];
  std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return StringValue(text);
}

// The machine's serial: FNV-1a of /etc/machine-id, the default when it cannot be read.
uint32_t MachineSerial() {
  std::ifstream file("/etc/machine-id");
  std::string id;
  if (!std::getline(file, id) || id.empty()) return kDefaultMachineSerial;
  uint32_t hash = 2166136261u;
  for (unsigned char c : id) hash = (hash ^ c) * 16777619u;
  return hash;
}

StringValue MachineIdText() {
  uint32_t value = MachineSerial() ^ kMachineIdMask;
  uint8_t bytes[4];
  PutLe32(bytes, value);  // printed in memory order, least significant first
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
  return StringValue(text);
}

void* LoadByEitherName(const std::string& given, const std::string& lower) {
  // Names here are case-sensitive: the spelling given comes first.
  void* handle = platform::LoadLibrary(given.c_str());
  if (handle == nullptr && lower != given) handle = platform::LoadLibrary(lower.c_str());
  return handle;
}

}  // namespace

StringValue SystemInfo(const StringValue& key) {
  std::string name = Lower(key.CStr());
  if (name.empty()) return StringValue("LINUX");
  if (name == "device") return StringValue("DESKTOP");
  if (name == "time") return LocalTimeText();
  if (name == "id") return MachineIdText();
  return StringValue("NO_DATA");
}

void DebugOutput(const StringValue& text) {
  if (!platform::DebuggerAttached()) return;
  platform::DebuggerOutput((std::string("TX") + text.CStr()).c_str());
}

void BindLibraryFunction(StringValue& library, const StringValue& function, void*& address) {
  address = nullptr;
  std::string given = library.CStr();
  std::string lower = Lower(given.c_str());
  library = lower.c_str();

  auto found = std::find_if(loadedLibraries.begin(), loadedLibraries.end(),
                            [&](const LoadedLibrary& loaded) { return loaded.name == lower; });
  void* handle = found != loadedLibraries.end() ? found->handle : nullptr;
  if (handle == nullptr) {
    handle = LoadByEitherName(given, lower);
    if (handle == nullptr) {
      if (runtimeState.debugMode != 0 && platform::DebuggerAttached()) {
        platform::DebuggerOutput(("TXFailed to load: " + lower).c_str());
      }
      return;
    }
    loadedLibraries.push_back({lower, handle});
  }
  address = platform::FindLibrarySymbol(handle, function.CStr());
}

void ReleaseLoadedLibraries() {
  for (LoadedLibrary& loaded : loadedLibraries) platform::ReleaseLibrary(loaded.handle);
  loadedLibraries.clear();
  loadedLibraries.shrink_to_fit();
}

// Tests count what is loaded.
size_t LoadedLibraryCount() { return loadedLibraries.size(); }

}  // namespace quillon
