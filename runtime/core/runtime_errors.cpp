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

const char* UsualWords(double code) {
  if (code == 3) return "file error";
  if (code == 7) return "out of memory";
  if (code == 8) return "array used before it has elements";
  if (code == 9) return "array index out of range";
  return "error";
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

void EndProgramOnError(double code, const char* command, const char* what) {
  RaiseRuntimeError(code);
  MarkEndingOnError();
  if (what == nullptr) what = UsualWords(code);
  std::fprintf(stderr, "runtime error %g at line %g: %s%s%s\n", code, runtimeState.errorLine, what,
               command != nullptr ? " in " : "", command != nullptr ? command : "");
  EndProgram();
}

void MarkSourceLine(double module, double line) {
  runtimeState.currentModule = module;
  runtimeState.currentLine = line;
}

}  // namespace quillon
