#include "runtime/core/runtime_errors.h"

#include <cstdio>
#include <string>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/system.h"

namespace quillon {

namespace {

std::string ErrorLogPath() { return platform::TemporaryDirectory() + "ErrorLog.txt"; }

}  // namespace

void ErrorLog(const char* text) {
  FILE* f = std::fopen(ErrorLogPath().c_str(), "ab");
  if (f == nullptr) return;
  std::fputs(text ? text : "", f);
  std::fputs("\r\n", f);
  std::fclose(f);
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
