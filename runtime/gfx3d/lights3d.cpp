#include "runtime/gfx3d/lights3d.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene3d_internal.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr int kLightCount = 8;
constexpr double kMarkerColour = 0x80C8FF;
constexpr double kSpotLineColour = 0x6CAAE1;

struct LightRequest {
  int32_t index;
  float colour[4];
  float position[3];
  float direction[3];
  float cone;
};

// Position and direction all 0 with cone 180: the light sits at the eye and is not marked.
bool AtEye(const LightRequest& light) {
  const float* p = light.position;
  const float* d = light.direction;
  return p[0] == 0 && p[1] == 0 && p[2] == 0 && d[0] == 0 && d[1] == 0 && d[2] == 0 &&
         light.cone == 180;
}

void SetEffectLight(Rainbows3D& renderer, const LightRequest& light) {
  renderer.effectLightOn = light.cone != 0;
  std::copy_n(light.position, 3, renderer.effectPosition);
  std::copy_n(light.colour, 3, renderer.effectColour);
  if (light.index == -3) {
    renderer.effectMode = EffectShadow;
    if (renderer.effectLightOn) {
      BeginShadowPass(renderer);
    } else {
      EndShadowPass(renderer);
    }
  } else {
    renderer.effectMode = light.index == -1 ? EffectBump : EffectCel;
  }
}

void SwitchOff(Rainbows3D& renderer, int32_t index) {
  glDisable(GL_LIGHT0 + index);
  renderer.enabledLights &= static_cast<uint8_t>(~(1u << index));
  if (renderer.enabledLights == 0) glDisable(GL_LIGHTING);
}

void SwitchOn(Rainbows3D& renderer, LightRequest& light) {
  GLenum gl = GL_LIGHT0 + light.index;
  glEnable(GL_LIGHTING);
  glEnable(gl);
  renderer.enabledLights |= static_cast<uint8_t>(1u << light.index);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
  glLightfv(gl, GL_DIFFUSE, light.colour);
  const float black[4] = {0, 0, 0, 1};
  const float* p = light.position;
  const float* d = light.direction;
  if (AtEye(light)) {
    const float origin[4] = {0, 0, 0, 1};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightfv(gl, GL_POSITION, origin);
    glPopMatrix();
    glLightf(gl, GL_SPOT_CUTOFF, 180);
    glLightfv(gl, GL_SPECULAR, black);
    return;
  }
  const float point[4] = {p[0], p[1], p[2], 1};
  if (light.cone == 180) {
    float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    float scale = length > 0 ? -1 / length : -1;
    const float towards[4] = {d[0] * scale, d[1] * scale, d[2] * scale, 0};
    glLightfv(gl, GL_POSITION, towards);
    glLightf(gl, GL_SPOT_CUTOFF, 180);
    glLightfv(gl, GL_SPECULAR, black);
  } else if (light.cone <= 90) {
    float squared = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (squared > 1e-7f) {
      float length = std::sqrt(squared);
      for (int i = 0; i < 3; ++i) light.direction[i] /= length;
    }
    glLightfv(gl, GL_POSITION, point);
    glLightfv(gl, GL_SPOT_DIRECTION, light.direction);
    glLightf(gl, GL_SPOT_CUTOFF, std::max(light.cone, 0.0f));
    glLightfv(gl, GL_SPECULAR, light.colour);
  } else {
    glLightfv(gl, GL_POSITION, point);
    glLightf(gl, GL_SPOT_CUTOFF, 180);
    glLightfv(gl, GL_SPECULAR, light.colour);
  }
}

void MarkLight(Rainbows3D& renderer, const LightRequest& light) {
  DrawWorldPoint(renderer, light.position, 40, kMarkerColour);
  if (light.index < 0 || light.cone > 90) return;
  float end[3];
  for (int i = 0; i < 3; ++i) end[i] = light.position[i] + light.direction[i] * 500;
  DrawWorldLine(renderer, light.position, end, 3, kSpotLineColour);
}

void ApplyLight(const LightRequest& request, bool mark) {
  Rainbows3D* renderer = Live3D();
  if (renderer == nullptr) return;
  LightRequest light = request;
  if (light.index < 0) {
    SetEffectLight(*renderer, light);
  } else if (light.cone == 0) {
    SwitchOff(*renderer, light.index);
  } else {
    SwitchOn(*renderer, light);
  }
  if (mark && light.cone != 0 && !AtEye(light)) MarkLight(*renderer, light);
}

// Light numbers from the program: 0..7, or -1..-3 for the effect light; -4 and below count as
// the cel-shading light; anything else (past the table, NaN) is refused.
bool LightIndex(double index, int32_t& out) {
  out = TruncateToInt32(index);
  if (out == INT32_MIN && !(index < 0)) return false;
  return out < kLightCount;
}

LightRequest Request(int32_t index, double colour, double x, double y, double z, double dx,
                     double dy, double dz, double cone) {
  LightRequest light{index, {0, 0, 0, 1}, {}, {}, static_cast<float>(cone)};
  ColourFloats(colour, light.colour);
  const double p[3] = {x, y, z}, d[3] = {dx, dy, dz};
  for (int i = 0; i < 3; ++i) {
    light.position[i] = static_cast<float>(p[i]);
    light.direction[i] = static_cast<float>(d[i]);
  }
  return light;
}

}  // namespace

void SetLight(double index, double colour, double x, double y, double z, double directionX,
              double directionY, double directionZ, double cone) {
  int32_t number = 0;
  if (!LightIndex(index, number) || std::isnan(cone)) return;
  ApplyLight(Request(number, colour, x, y, z, directionX, directionY, directionZ, cone),
             runtimeState.debugMode != 0);
}

void SetLightColour(double index, double colour) {
  int32_t number = 0;
  if (!LightIndex(index, number)) return;
  ApplyLight(Request(number, colour, 0, 0, 0, 0, 0, 0, 180), true);
}

}  // namespace quillon
