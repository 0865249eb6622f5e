// 4 x 4 float matrices, column-major as GL keeps them, for placement, picking and projection.
#pragma once

namespace quillon {

struct Matrix4 {
  float m[16];
};

Matrix4 IdentityMatrix();
// a · b: b is applied first, as glMultMatrixf(b) after a.
Matrix4 MultiplyMatrix(const Matrix4& a, const Matrix4& b);
// The matrices glTranslatef, glRotatef (degrees, axis normalised first) and glScalef multiply by.
Matrix4 TranslationMatrix(float x, float y, float z);
Matrix4 RotationMatrix(float degrees, float x, float y, float z);
Matrix4 ScaleMatrix(float x, float y, float z);
// General inverse, worked in double; false (out unchanged) when the matrix is singular or holds
// NaN or infinity.
bool InvertMatrix(const Matrix4& a, Matrix4& out);
bool InvertMatrix(const double a[16], double out[16]);
// a · (x, y, z, w) into out[4].
void TransformPoint(const Matrix4& a, const float in[4], float out[4]);

}  // namespace quillon
