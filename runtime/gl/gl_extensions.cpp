#include "runtime/gl/gl_extensions.h"

#include <cstring>
#include <string>

#include "runtime/platform/window.h"

namespace quillon {

ArbEntryPoints arb;

namespace {

template <typename Fn>
void Fetch(Fn& entry, const char* name) {
  entry = reinterpret_cast<Fn>(platform::GetGLProcAddress(name));
}

}  // namespace

const char* ExtensionString() {
  // Core profiles drop GL_EXTENSIONS; build the same text from the indexed list then.
  static std::string joined;
  const char* plain = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (plain != nullptr) return plain;
  joined.clear();
  auto getStringi = reinterpret_cast<PFNGLGETSTRINGIPROC>(platform::GetGLProcAddress("glGetStringi"));
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; getStringi != nullptr && i < count; ++i) {
    const char* name = reinterpret_cast<const char*>(getStringi(GL_EXTENSIONS, i));
    if (name == nullptr) continue;
    if (!joined.empty()) joined += ' ';
    joined += name;
  }
  return joined.c_str();
}

void FetchArbEntryPoints() {
  const char* extensions = ExtensionString();
  arb.anyTextureSize = std::strstr(extensions, "GL_ARB_texture_non_power_of_two") != nullptr;
  if (std::strstr(extensions, "GL_ARB_multitexture") != nullptr) {
    Fetch(arb.glActiveTextureARB, "glActiveTextureARB");
    Fetch(arb.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    Fetch(arb.glClientActiveTextureARB, "glClientActiveTextureARB");
    Fetch(arb.glGenBuffersARB, "glGenBuffersARB");
    Fetch(arb.glBindBufferARB, "glBindBufferARB");
    Fetch(arb.glBufferDataARB, "glBufferDataARB");
    Fetch(arb.glDeleteBuffersARB, "glDeleteBuffersARB");
    Fetch(arb.glMapBufferARB, "glMapBufferARB");
    Fetch(arb.glUnmapBufferARB, "glUnmapBufferARB");
  }
  if (std::strstr(extensions, "GL_ARB_fragment_program") != nullptr) {
    Fetch(arb.glCreateProgramObjectARB, "glCreateProgramObjectARB");
    Fetch(arb.glDeleteObjectARB, "glDeleteObjectARB");
    Fetch(arb.glCreateShaderObjectARB, "glCreateShaderObjectARB");
    Fetch(arb.glShaderSourceARB, "glShaderSourceARB");
    Fetch(arb.glCompileShaderARB, "glCompileShaderARB");
    Fetch(arb.glGetObjectParameterivARB, "glGetObjectParameterivARB");
    Fetch(arb.glAttachObjectARB, "glAttachObjectARB");
    Fetch(arb.glGetInfoLogARB, "glGetInfoLogARB");
    Fetch(arb.glLinkProgramARB, "glLinkProgramARB");
    Fetch(arb.glUseProgramObjectARB, "glUseProgramObjectARB");
    Fetch(arb.glGetUniformLocationARB, "glGetUniformLocationARB");
    Fetch(arb.glUniform1fARB, "glUniform1fARB");
    Fetch(arb.glUniform1iARB, "glUniform1iARB");
  }
}

}  // namespace quillon
