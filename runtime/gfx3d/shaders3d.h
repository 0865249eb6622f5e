// Shader programs for 3D drawing, in 255 numbered slots; slot 255 and above is fixed function.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands.
// Compiles the vertex and fragment shader files and links them into slot 0..254, replacing the
// program there. 1 on success; 0 for another slot, without shader support, or for a file that
// is missing, empty, over 1 MiB or does not compile or link (the slot is then unchanged). The
// compiler's messages go to the debug output in debug mode, else to the error log.
// Example:
//   if (LoadShader(1, "glow.vert", "glow.frag") == 0) ErrorLog("glow shader did not build");
//   UseShader(1);
//   SetShaderFloat("time", ElapsedMilliseconds() / 1000);
//   DrawObject(1, 0);
//   UseShader(255);  // fixed function again
double LoadShader(double slot, const StringValue& vertexFile, const StringValue& fragmentFile);
// Draws with the slot's program; 255 or more (or an empty slot): fixed function. Negative or
// NaN does nothing. ShowScreen returns to fixed function.
// Example:
//   UseShader(1);
//   DrawObject(1, 0);
//   UseShader(255);
void UseShader(double slot);
// Sets the float uniform of that name in the program in use; nothing when there is none or the
// program has no such uniform.
// Example:
//   UseShader(1);
//   SetShaderFloat("glowStrength", 0.8);
//   DrawObject(1, 0);
void SetShaderFloat(const StringValue& name, double value);

}  // namespace quillon
