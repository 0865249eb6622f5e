#include "runtime/values/math.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/values/string_value.h"

namespace quillon {
namespace {

TEST(DegreeTrigonometry, UsesTheNineDecimalFactor) {
  EXPECT_EQ(SinDeg(90), 1.0);
  EXPECT_EQ(CosDeg(180), -1.0);
  EXPECT_EQ(SinDeg(0), 0.0);
  EXPECT_NEAR(TanDeg(45), 1.0, 1e-9);
  // Not exactly 90 and 180: the factor is not 180/pi.
  EXPECT_NEAR(ArcTan2Deg(1, 0), 89.99999997945, 5e-12);
  EXPECT_NEAR(ArcTan2Deg(0, -1), 179.9999999589, 5e-11);
  // The correctly rounded products of the double pi/2 and pi with the factor.
  EXPECT_EQ(ArcTan2Deg(1, 0), 89.99999997945034);
  EXPECT_EQ(ArcTan2Deg(0, -1), 179.99999995890067);
  EXPECT_NE(ArcTan2Deg(1, 0), 90.0);
  EXPECT_EQ(NumberToText(ArcTan2Deg(1, 0)) == "89.99999998", 1.0);
  EXPECT_EQ(NumberToText(ArcTan2Deg(0, -1)) == "180", 1.0);
  EXPECT_NEAR(ArcTan2Deg(-1, -1), -135.0, 1e-6);
}

TEST(DegreeTrigonometry, InverseFunctionsClampOutsideMinusOneToOne) {
  EXPECT_EQ(ArcSinDeg(1.5), 90.0);
  EXPECT_EQ(ArcSinDeg(1), 90.0);
  EXPECT_EQ(ArcSinDeg(-7), -90.0);
  EXPECT_EQ(ArcCosDeg(-2), 180.0);
  EXPECT_EQ(ArcCosDeg(3), 0.0);
  EXPECT_NEAR(ArcSinDeg(0.5), 30.0, 1e-6);
  EXPECT_NEAR(ArcCosDeg(0.5), 60.0, 1e-6);
  EXPECT_EQ(ArcSinDeg(0.5), std::asin(0.5) * 57.2957795);
}

TEST(NumberHelpers, RootsPowersAndAbsoluteValues) {
  EXPECT_EQ(SquareRoot(2.25), 1.5);
  EXPECT_TRUE(std::isnan(SquareRoot(-1)));
  EXPECT_EQ(Power(2, 10), 1024.0);
  EXPECT_EQ(Power(9, 0.5), 3.0);
  EXPECT_EQ(AbsoluteValue(-3.25), 3.25);
  EXPECT_EQ(AbsoluteValue(4), 4.0);
}

TEST(IntegerModulo, TruncatesBothAndFollowsTheSignOfA) {
  EXPECT_EQ(IntegerModulo(7.9, 3.2), 1.0);
  EXPECT_EQ(IntegerModulo(-7, 3), -1.0);
  EXPECT_EQ(IntegerModulo(7, -3), 1.0);
  EXPECT_EQ(IntegerModulo(5, 0), 0.0);
  EXPECT_EQ(IntegerModulo(5, 0.5), 0.0);  // the divisor truncates to 0
  EXPECT_EQ(IntegerModulo(5, -0.9), 0.0);
  EXPECT_EQ(IntegerModulo(-2147483648.0, -1), 0.0);  // would overflow the division
  EXPECT_EQ(IntegerModulo(1e20, 7), -2.0);           // out of range reads as INT32_MIN
}

TEST(RectanglesOverlap, EdgesTouchAndSizesMayBeNegative) {
  EXPECT_EQ(RectanglesOverlap(0, 0, 10, 10, 10, 0, 5, 5), 1.0);
  EXPECT_EQ(RectanglesOverlap(0, 0, 10, 10, 10.5, 0, 5, 5), 0.0);
  EXPECT_EQ(RectanglesOverlap(10, 10, -10, -10, 5, 5, 1, 1), 1.0);
  EXPECT_EQ(RectanglesOverlap(0, 0, 10, 10, 0, 10.5, 5, 5), 0.0);
  EXPECT_EQ(RectanglesOverlap(0, 0, 10, 10, 2, 2, 1, 1), 1.0);
  EXPECT_EQ(RectanglesOverlap(0, 0, 10, 10, -5, -5, 4.9, 20), 0.0);
  EXPECT_EQ(RectanglesOverlap(0, 0, 0, 0, 0, 0, 0, 0), 1.0);
}

}  // namespace
}  // namespace quillon
