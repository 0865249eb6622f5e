#include "runtime/gl/shadow_pass_hook.h"

namespace quillon {
namespace {
void (*shadowPassEnder)() = nullptr;
}  // namespace

void InstallShadowPassEnder(void (*ender)()) { shadowPassEnder = ender; }

void EndShadowPassIfRunning() {
  if (shadowPassEnder != nullptr) shadowPassEnder();
}

}  // namespace quillon
