#include "runtime/system/programs.h"

#include "runtime/core/program_flow.h"
#include "runtime/platform/process.h"
#include "runtime/system/system_internal.h"

namespace quillon {

namespace {

void KeepWindowAlive() { PumpMessages(); }

}  // namespace

double RunProgram(const StringValue& commandLine, double wait, double show, double& exitCode) {
  (void)show;  // programs here have no window state to set
  exitCode = 0.0;
  // Arguments go to the program as split, never to a shell: text a game builds from player
  // input cannot run commands of its own.
  platform::ChildProcess child = platform::StartProcess(SplitCommandLine(commandLine.CStr()));
  if (child.pid <= 0) return 0.0;
  if (wait != 0) {
    exitCode = platform::WaitForProcess(child, KeepWindowAlive);
  } else {
    platform::ReapInBackground(child.pid);
  }
  return 1.0;
}

}  // namespace quillon
