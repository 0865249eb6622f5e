// Process start-up: the runtime state, the window and every subsystem object.
#pragma once

namespace quillon {

// Runs start-up with the settings the entry point wrote into runtimeState; 1 on success, 0 when
// no window could be created. It makes the folder holding the program file the current
// directory: every relative file name a command takes is found there, not in the folder the
// program was started in. The automation variables' paths (QUILLON_SCREENSHOT, QUILLON_INPUT,
// ...) are read before that, from the folder it was started in.
// Example:
//   runtimeState.screenWidth = 640;
//   runtimeState.screenHeight = 480;
//   runtimeState.frameRate = 60;
//   if (StartRuntime("Breakout") == 0) EndFailedStartup();
double StartRuntime(const char* title);

// The entry point's answer to a failed start-up: says why on standard error and ends the process
// with a non-zero status.
// Example:
//   if (StartRuntime("Breakout") == 0) EndFailedStartup();  // no display: say why and exit
[[noreturn]] void EndFailedStartup();

// The command line as one text: the arguments after the program name, joined by blanks, each
// with a blank or quote quoted again.
// Example:
//   KeepCommandLine(argc, argv);  // first thing in main, before StartRuntime
void KeepCommandLine(int argc, char** argv);

}  // namespace quillon
