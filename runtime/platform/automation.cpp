#include "runtime/platform/automation.h"

#include <unistd.h>

#include <cstdlib>

namespace quillon::platform {

namespace {

// Start-up moves into the program's directory; paths given relative to where the program was
// started must still mean that place.
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

Automation ReadAutomation() {
  Automation a;
  auto text = [](const char* name) {
    const char* v = std::getenv(name);
    return std::string(v ? v : "");
  };
  auto number = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::strtol(v, nullptr, 10) : 0L;
  };
  a.frames = number("QUILLON_FRAMES");
  a.screenshot = Absolute(text("QUILLON_SCREENSHOT"));
  a.screenshotEvery = number("QUILLON_SCREENSHOT_EVERY");
  a.frameLog = Absolute(text("QUILLON_FRAME_LOG"));
  a.noDialogs = text("QUILLON_NO_DIALOGS") == "1";
  a.noPause = text("QUILLON_NO_PAUSE") == "1";
  a.inputScript = Absolute(text("QUILLON_INPUT"));
  a.spinPacing = text("QUILLON_PACING") == "spin";
  a.unpaced = text("QUILLON_UNPACED") == "1";
  a.record = Absolute(text("QUILLON_RECORD"));
  const char* seed = std::getenv("QUILLON_SEED");
  if (seed != nullptr && seed[0] != '\0') {
    a.hasSeed = true;
    a.seed = std::strtoul(seed, nullptr, 10);
  }
  return a;
}

Automation& Current() {
  static Automation a = ReadAutomation();
  return a;
}

}  // namespace

const Automation& GetAutomation() { return Current(); }
void ReloadAutomation() { Current() = ReadAutomation(); }

}  // namespace quillon::platform
