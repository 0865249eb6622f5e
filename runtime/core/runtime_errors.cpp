#include "runtime/core/runtime_errors.h"

#include <cstdio>
#include <string>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/system.h"

namespace quillon {

namespace {

std::string ErrorLogPath() {
  // In a directory of the user's own: the temporary directory is shared by every user and game.
  std::string directory = platform::UserTemporaryDirectory();
  return directory.empty() ? std::string() : directory + "ErrorLog.txt";
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
  MarkEndingOnError();
  std::fprintf(stderr, "runtime error %g at line %g\n", code, runtimeState.errorLine);
  EndProgram();
}

void MarkSourceLine(double module, double line) {
  runtimeState.currentModule = module;
  runtimeState.currentLine = line;
}

}  // namespace quillon
