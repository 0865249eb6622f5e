// The end sequence of the top layer.
#pragma once

namespace quillon {

// Tears every subsystem down in order and ends the process with the program's exit status.
// EndProgram runs it once the top layer's flow is installed.
[[noreturn]] void RunEndSequence();
// Installs the top layer's end, heartbeat and message pump into the program flow. Start-up does
// it, and so does merely linking the top layer, so that programs that end before start-up
// (tools, tests) still flush their files and remove their temporary files.
void InstallTopLayerFlow();

}  // namespace quillon
