// How the top layer plugs into the program flow, the flow's bookkeeping, and the clock that tests
// substitute. Plumbing: programs never need it.
#pragma once

namespace quillon {

// The top layer's implementations of the program flow.
struct ProgramFlow {
  void (*endProgram)() = nullptr;  // must not return
  void (*showScreen)() = nullptr;
  void (*pumpMessages)() = nullptr;
};
// Without an installed flow, EndProgram only ends the process and ShowScreen does nothing.
void InstallProgramFlow(const ProgramFlow& flow);

// Exit status of the end under way: 0, or the fatal error's code (never 0 for an error).
int ProgramExitStatus();
// Marks the end under way as caused by a fatal error.
void MarkEndingOnError();

// ShowScreen calls so far, start-up's own included; scripted input counts frames by it.
long ShowScreenCount();
void CountShowScreen();

// Tests replace the runtime clock; null restores the real one.
void SetClockForTesting(double (*clock)());

}  // namespace quillon
