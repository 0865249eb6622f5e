#include "runtime/core/program_end.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/core/automation.h"
#include "runtime/core/opengl_rainbows.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/line_records.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/platform/system.h"
#include "runtime/platform/window.h"

namespace quillon {

namespace {

bool endingOnError = false;

std::string ErrorLogPath() {
  // In a directory of the user's own: the temporary directory is shared by every user and game.
  std::string directory = platform::UserTemporaryDirectory();
  return directory.empty() ? std::string() : directory + "ErrorLog.txt";
}

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

// A fatal error must not look like success to whoever started the program.
int ExitStatus() {
  if (!endingOnError) return 0;
  double code = runtimeState.errorCode;
  int status = std::isfinite(code) ? static_cast<int>(code) & 0xFF : 1;
  return status == 0 ? 1 : status;
}

}  // namespace

void ErrorLog(const char* text) {
  std::string path = ErrorLogPath();
  if (path.empty()) return;
  std::string line = text ? text : "";
  line += "\r\n";
  platform::AppendToFile(path, line);  // a line that cannot be written is dropped
}

void ResetErrorLog() { std::remove(ErrorLogPath().c_str()); }

double RaiseRuntimeError(double code) {
  runtimeState.errorCode = code;
  runtimeState.errorLine = runtimeState.currentLine;
  return code;
}

void EndProgramOnError(double code) {
  RaiseRuntimeError(code);
  endingOnError = true;
  std::fprintf(stderr, "runtime error %g at line %g\n", code, runtimeState.errorLine);
  EndProgram();
}

void MarkSourceLine(double module, double line) {
  runtimeState.currentModule = module;
  runtimeState.currentLine = line;
}

void EndProgram() {
  static bool ending = false;
  if (ending) platform::ExitProcess(ExitStatus());  // a step below ended the program again
  ending = true;

  // The multimedia timer resolution has no counterpart here; the media window joins with music.
  if (runtimeState.debugMode == 1) WriteEndReport();
  FinishAutomation();
  if (runtimeState.graphics != nullptr) {
    delete runtimeState.graphics;
    runtimeState.graphics = nullptr;
    runtimeState.window = nullptr;
  }
  if (runtimeState.input != nullptr) {
    CloseInput();
    delete runtimeState.input;
    runtimeState.input = nullptr;
  }
  FlushIniAndRecords();
  CloseAllFileChannels();
  DestroyAssetResolvers();
  platform::ExitProcess(ExitStatus());
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
