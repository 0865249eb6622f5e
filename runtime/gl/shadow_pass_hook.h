// Lets the 2D layer end the 3D renderer's shadow pass (SetViewport does) without depending on it.
#pragma once

namespace quillon {

void InstallShadowPassEnder(void (*ender)());
// Runs the installed ender; nothing before the 3D renderer exists.
void EndShadowPassIfRunning();

}  // namespace quillon
