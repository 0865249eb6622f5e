// The language's numeric commands. Angles are degrees, converted with the language's own
// nine-decimal factor rather than the exact 180/pi, so results match programs written for it.
#pragma once

namespace quillon {

constexpr double kDegreesPerRadian = 57.2957795;

double SinDeg(double x);
double CosDeg(double x);
double TanDeg(double x);
// Clamped: arguments outside -1..1 give the end angle instead of NaN.
double ArcSinDeg(double x);
double ArcCosDeg(double x);
double ArcTan2Deg(double y, double x);
double SquareRoot(double x);
double Power(double base, double exponent);
double AbsoluteValue(double x);
// Remainder of the 32-bit truncations, signed like a. A divisor that truncates to 0 (or -1,
// whose quotient can overflow) gives 0.
double IntegerModulo(double a, double b);
// 1 when the rectangles overlap or touch; sizes may be negative.
double RectanglesOverlap(double x1, double y1, double w1, double h1, double x2, double y2,
                         double w2, double h2);

}  // namespace quillon
