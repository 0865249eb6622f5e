// Glow, fragment side: lights 0 and 1 per pixel on the picture, scan lines drifting with time,
// a cold rim where the surface turns away from the eye, and the scene's fog.
uniform sampler2D picture;  // texture unit 0
uniform float time;         // seconds, from SetShaderFloat

varying vec3 eyePosition;
varying vec3 normal;
varying vec4 colour;

void main() {
  vec3 n = normalize(normal);
  vec3 toEye = normalize(-eyePosition);
  vec3 light = vec3(0.2);
  for (int i = 0; i < 2; ++i) {
    vec4 p = gl_LightSource[i].position;
    vec3 l = p.w == 0.0 ? normalize(p.xyz) : normalize(p.xyz - eyePosition);
    light += gl_LightSource[i].diffuse.rgb * max(dot(n, l), 0.0);
  }
  vec3 surface = texture2D(picture, gl_TexCoord[0].st).rgb * colour.rgb * light;
  float lines = 0.8 + 0.2 * sin(eyePosition.y * 4.0 - time * 6.0);
  float rim = pow(1.0 - abs(dot(n, toEye)), 3.0);
  vec3 c = surface * lines + vec3(0.2, 0.8, 1.0) * rim;
  float fog = clamp((gl_Fog.end - length(eyePosition)) * gl_Fog.scale, 0.0, 1.0);
  gl_FragColor = vec4(mix(gl_Fog.color.rgb, c, fog), 1.0);
}
