#include "runtime/gfx3d/shaders3d.h"

#include <cstdio>
#include <memory>
#include <string>

#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene3d_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/system/system_info.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr long kMaxShaderBytes = 1 << 20;

void ShaderLog(const std::string& text) {
  if (text.empty()) return;
  if (runtimeState.debugMode != 0) {
    DebugOutput(StringValue(text.c_str()));
  } else {
    ErrorLog(text.c_str());
  }
}

bool HaveShaderObjects() {
  return arb.glCreateProgramObjectARB != nullptr && arb.glDeleteObjectARB != nullptr &&
         arb.glCreateShaderObjectARB != nullptr && arb.glShaderSourceARB != nullptr &&
         arb.glCompileShaderARB != nullptr && arb.glGetObjectParameterivARB != nullptr &&
         arb.glAttachObjectARB != nullptr && arb.glGetInfoLogARB != nullptr &&
         arb.glLinkProgramARB != nullptr && arb.glUseProgramObjectARB != nullptr;
}

// The whole file through the loader's asset resolver; false (and why, logged) when it cannot be
// had or holds nothing.
bool ReadShaderSource(const StringValue& file, std::string& source) {
  StringValue path;
  std::string name = file.CStr();
  FILE* in = nullptr;
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) != 0) in = OpenForReading(path.CStr());
  if (in == nullptr) {
    ShaderLog("shader file not found: " + name);
    return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> closer(in, std::fclose);
  long size = -1;
  if (std::fseek(in, 0, SEEK_END) == 0) size = std::ftell(in);
  if (size <= 0 || size > kMaxShaderBytes || std::fseek(in, 0, SEEK_SET) != 0) {
    ShaderLog("shader file empty, too large or unreadable: " + name);
    return false;
  }
  source.resize(static_cast<size_t>(size));
  if (std::fread(source.data(), 1, source.size(), in) != source.size()) {
    ShaderLog("shader file unreadable: " + name);
    return false;
  }
  return true;
}

std::string InfoLog(GLhandleARB object) {
  GLint length = 0;
  arb.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length <= 1) return {};
  std::string log(static_cast<size_t>(length), '\0');
  GLsizei written = 0;
  arb.glGetInfoLogARB(object, length, &written, log.data());
  log.resize(static_cast<size_t>(std::max<GLsizei>(0, std::min<GLsizei>(written, length))));
  return log;
}

// A compiled shader object, or 0 with its log written.
GLhandleARB Compile(GLenum kind, const std::string& source, const StringValue& file) {
  GLhandleARB shader = arb.glCreateShaderObjectARB(kind);
  if (shader == 0) return 0;
  const GLcharARB* text = source.c_str();
  GLint length = static_cast<GLint>(source.size());
  arb.glShaderSourceARB(shader, 1, &text, &length);
  arb.glCompileShaderARB(shader);
  GLint compiled = 0;
  arb.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  std::string log = InfoLog(shader);
  if (compiled == 0) {
    ShaderLog(std::string("shader does not compile: ") + file.CStr() + "\n" + log);
    arb.glDeleteObjectARB(shader);
    return 0;
  }
  ShaderLog(log);
  return shader;
}

void Release(const ShaderProgram& p) {
  if (p.program == 0) return;
  arb.glDeleteObjectARB(p.vertexShader);
  arb.glDeleteObjectARB(p.fragmentShader);
  arb.glDeleteObjectARB(p.program);
}

// Slot numbers from the program: 0..254, else -1.
int32_t ShaderSlot(double slot) {
  int32_t n = TruncateToInt32(slot);
  return n >= 0 && n < kShaderSlotCount ? n : -1;
}

}  // namespace

double LoadShader(double slot, const StringValue& vertexFile, const StringValue& fragmentFile) {
  Rainbows3D* renderer = Live3D();
  int32_t n = ShaderSlot(slot);
  if (renderer == nullptr || n < 0) return 0;
  if (!HaveShaderObjects()) {
    ShaderLog("shader objects are not supported by this driver");
    return 0;
  }
  std::string vertexSource, fragmentSource;
  if (!ReadShaderSource(vertexFile, vertexSource) ||
      !ReadShaderSource(fragmentFile, fragmentSource)) {
    return 0;
  }
  ShaderProgram made;
  made.vertexShader = Compile(GL_VERTEX_SHADER_ARB, vertexSource, vertexFile);
  made.fragmentShader = Compile(GL_FRAGMENT_SHADER_ARB, fragmentSource, fragmentFile);
  if (made.vertexShader != 0 && made.fragmentShader != 0) {
    made.program = arb.glCreateProgramObjectARB();
  }
  GLint linked = 0;
  if (made.program != 0) {
    arb.glAttachObjectARB(made.program, made.vertexShader);
    arb.glAttachObjectARB(made.program, made.fragmentShader);
    arb.glLinkProgramARB(made.program);
    arb.glGetObjectParameterivARB(made.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    std::string log = InfoLog(made.program);
    ShaderLog(linked != 0 ? log : "shader program does not link\n" + log);
  }
  if (linked == 0) {
    for (uint32_t object : {made.vertexShader, made.fragmentShader, made.program}) {
      if (object != 0) arb.glDeleteObjectARB(object);
    }
    return 0;
  }
  ShaderProgram& kept = renderer->programs[n];
  if (kept.program != 0 && kept.program == renderer->currentProgram) {
    arb.glUseProgramObjectARB(made.program);
    renderer->currentProgram = made.program;
  }
  Release(kept);
  kept = made;
  return 1;
}

void UseShader(double slot) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr || !(slot >= 0)) return;
  int32_t n = ShaderSlot(slot);
  uint32_t program = n >= 0 ? renderer->programs[n].program : 0;
  if (arb.glUseProgramObjectARB == nullptr) return;
  arb.glUseProgramObjectARB(program);
  renderer->currentProgram = program;
}

void SetShaderFloat(const StringValue& name, double value) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr || renderer->currentProgram == 0 ||
      arb.glGetUniformLocationARB == nullptr || arb.glUniform1fARB == nullptr) {
    return;
  }
  GLint location = arb.glGetUniformLocationARB(renderer->currentProgram, name.CStr());
  if (location >= 0) arb.glUniform1fARB(location, static_cast<float>(value));
}

}  // namespace quillon
