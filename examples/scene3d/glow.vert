// Glow, vertex side: hands the eye-space position and normal, the colour and the picture's
// coordinates to the fragment side.
varying vec3 eyePosition;
varying vec3 normal;
varying vec4 colour;

void main() {
  eyePosition = (gl_ModelViewMatrix * gl_Vertex).xyz;
  normal = gl_NormalMatrix * gl_Normal;
  colour = gl_Color;
  gl_TexCoord[0] = gl_MultiTexCoord0;
  gl_Position = ftransform();
}
