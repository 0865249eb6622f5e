#include "runtime/gfx3d/matrix4.h"

#include <cmath>
#include <utility>

namespace quillon {

Matrix4 IdentityMatrix() {
  return Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix4 MultiplyMatrix(const Matrix4& a, const Matrix4& b) {
  Matrix4 r;
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[col * 4 + k];
      r.m[col * 4 + row] = sum;
    }
  }
  return r;
}

Matrix4 TranslationMatrix(float x, float y, float z) {
  Matrix4 r = IdentityMatrix();
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

Matrix4 RotationMatrix(float degrees, float x, float y, float z) {
  float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return IdentityMatrix();
  x /= length;
  y /= length;
  z /= length;
  float radians = degrees * static_cast<float>(M_PI / 180.0);
  float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  return Matrix4{{t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0,  //
                  t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0,  //
                  t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0,  //
                  0, 0, 0, 1}};
}

Matrix4 ScaleMatrix(float x, float y, float z) {
  Matrix4 r = IdentityMatrix();
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

bool InvertMatrix(const double a[16], double out[16]) {
  // Gauss-Jordan on [a | I], partial pivoting. A non-finite element would spread NaN through
  // every row while the pivots stay usable, so it is refused up front.
  double w[4][8];
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      w[row][col] = a[col * 4 + row];
      if (!std::isfinite(w[row][col])) return false;
      w[row][col + 4] = row == col ? 1 : 0;
    }
  }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int row = col + 1; row < 4; ++row) {
      if (std::fabs(w[row][col]) > std::fabs(w[pivot][col])) pivot = row;
    }
    if (w[pivot][col] == 0 || !std::isfinite(w[pivot][col])) return false;
    for (int k = 0; k < 8; ++k) std::swap(w[col][k], w[pivot][k]);
    double scale = 1 / w[col][col];
    for (int k = 0; k < 8; ++k) w[col][k] *= scale;
    for (int row = 0; row < 4; ++row) {
      if (row == col || w[row][col] == 0) continue;
      double factor = w[row][col];
      for (int k = 0; k < 8; ++k) w[row][k] -= factor * w[col][k];
    }
  }
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) out[col * 4 + row] = w[row][col + 4];
  }
  return true;
}

bool InvertMatrix(const Matrix4& a, Matrix4& out) {
  double in[16], inverse[16];
  for (int k = 0; k < 16; ++k) in[k] = a.m[k];
  if (!InvertMatrix(in, inverse)) return false;
  for (int k = 0; k < 16; ++k) out.m[k] = static_cast<float>(inverse[k]);
  return true;
}

void TransformPoint(const Matrix4& a, const float in[4], float out[4]) {
  for (int row = 0; row < 4; ++row) {
    out[row] = a.m[row] * in[0] + a.m[4 + row] * in[1] + a.m[8 + row] * in[2] + a.m[12 + row] * in[3];
  }
}

}  // namespace quillon
