#include "runtime/core/program_flow.h"

#include <cmath>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/system.h"

namespace quillon {

namespace {

ProgramFlow flow;
bool endingOnError = false;
long showScreenCount = 0;

}  // namespace

void InstallProgramFlow(const ProgramFlow& installed) { flow = installed; }

void EndProgram() {
  // Without a top layer there is nothing to tear down but the process.
  if (flow.endProgram != nullptr) flow.endProgram();
  platform::ExitProcess(ProgramExitStatus());
}

void ShowScreen() {
  if (flow.showScreen != nullptr) flow.showScreen();
}

double PumpMessages() {
  if (flow.pumpMessages != nullptr) flow.pumpMessages();
  return 1;
}

// A fatal error must not look like success to whoever started the program.
int ProgramExitStatus() {
  if (!endingOnError) return 0;
  double code = runtimeState.errorCode;
  int status = std::isfinite(code) ? static_cast<int>(code) & 0xFF : 1;
  return status == 0 ? 1 : status;
}

void MarkEndingOnError() { endingOnError = true; }

long ShowScreenCount() { return showScreenCount; }

void CountShowScreen() { ++showScreenCount; }

}  // namespace quillon
