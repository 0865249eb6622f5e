#include "runtime/gfx3d/matrix4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillon {
namespace {

TEST(Matrix4Test, InverseUndoesAPlacement) {
  Matrix4 placement =
      MultiplyMatrix(TranslationMatrix(5, -2, 7),
                     MultiplyMatrix(RotationMatrix(30, 0, 1, 1), ScaleMatrix(2, 3, 4)));
  Matrix4 inverse;
  ASSERT_TRUE(InvertMatrix(placement, inverse));
  Matrix4 product = MultiplyMatrix(inverse, placement);
  Matrix4 identity = IdentityMatrix();
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(product.m[k], identity.m[k], 1e-5f) << k;
}

// A placement holding NaN or infinity has no usable inverse: callers fall back instead of
// carrying NaN into lights and hit tests.
TEST(Matrix4Test, SingularOrNonFiniteMatricesAreRefused) {
  Matrix4 out = IdentityMatrix();
  EXPECT_FALSE(InvertMatrix(ScaleMatrix(1, 0, 1), out));
  EXPECT_FALSE(InvertMatrix(TranslationMatrix(std::numeric_limits<float>::quiet_NaN(), 0, 0), out));
  EXPECT_FALSE(InvertMatrix(ScaleMatrix(std::numeric_limits<float>::infinity(), 1, 1), out));
  EXPECT_EQ(out.m[0], 1);  // left unchanged
  EXPECT_EQ(out.m[12], 0);
}

}  // namespace
}  // namespace quillon
