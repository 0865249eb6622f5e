#include "runtime/program/program_end.h"

#include <cstdio>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/file_channels_internal.h"
#include "runtime/files/line_records.h"
#include "runtime/files/line_records_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/media/media_internal.h"
#include "runtime/net/net_internal.h"
#include "runtime/platform/system.h"
#include "runtime/platform/window.h"
#include "runtime/program/automation.h"
#include "runtime/program/debugger.h"
#include "runtime/program/heartbeat.h"
#include "runtime/program/window.h"
#include "runtime/sound/sound_device.h"
#include "runtime/system/system_internal.h"

namespace quillon {

namespace {

void LogNumber(double value) {
  char line[64];
  std::snprintf(line, sizeof line, "%.2g", value);
  ErrorLog(line);
}

void WriteEndReport() {
  ErrorLog("-End On Line");
  LogNumber(runtimeState.errorCode);
  LogNumber(runtimeState.errorLine - 1);
  LogNumber(runtimeState.currentLine);
  LogNumber(runtimeState.currentModule);
}

void DestroyGraphics() {
  if (runtimeState.graphics == nullptr) return;
  DestroyGameWindow(*runtimeState.graphics);
  delete runtimeState.graphics;
  runtimeState.graphics = nullptr;
  runtimeState.window = nullptr;
}

void DestroyInput() {
  if (runtimeState.input == nullptr) return;
  CloseInput();
  delete runtimeState.input;
  runtimeState.input = nullptr;
}

[[maybe_unused]] const bool flowInstalled = (InstallTopLayerFlow(), true);

}  // namespace

void InstallTopLayerFlow() {
  ProgramFlow flow;
  flow.endProgram = RunEndSequence;
  flow.showScreen = RunShowScreen;
  flow.pumpMessages = PumpWindowMessages;
  InstallProgramFlow(flow);
}

void RunEndSequence() {
  static bool ending = false;
  // A step below ended the program again.
  if (ending) platform::ExitProcess(ProgramExitStatus());
  ending = true;

  // The multimedia timer resolution has no counterpart here.
  StopAllMedia();
  if (runtimeState.debugMode == 1) WriteEndReport();
  FinishAutomation();
  DestroyRenderer3D();  // its textures and buffers go while the context lives
  DestroyGraphics();
  DestroyInput();
  CloseSoundDevice();
  EndNetGame(runtimeState.network);  // its thread stopped before the files it may name go
  FlushIniAndRecords();
  CloseAllFileChannels();
  DestroyAssetResolvers();
  ReleaseLoadedLibraries();
  platform::ExitProcess(ProgramExitStatus());
}

void DebugBreakpoint(int32_t number) {
  if (!platform::DebuggerAttached()) return;
  char text[32];
  std::snprintf(text, sizeof text, "BP%x", static_cast<uint32_t>(number));
  platform::HideWindow(runtimeState.window);
  platform::DebuggerOutput(text);
  platform::ShowWindow(runtimeState.window);
  platform::RaiseWindow(runtimeState.window);
  runtimeState.paused = 0;
  BeginInputFrame();
}

}  // namespace quillon
