// The language's numeric commands. Angles are degrees, converted with the language's own
// nine-decimal factor rather than the exact 180/pi, so results match programs written for it.
#pragma once

namespace quillon {

constexpr double kDegreesPerRadian = 57.2957795;

// Sine, cosine and tangent of an angle in degrees.
// Example:
//   double heading = 30, speed = 4, x = 320, y = 240;
//   x += speed * CosDeg(heading);
//   y += speed * SinDeg(heading);
//   double slope = TanDeg(10);
double SinDeg(double x);
double CosDeg(double x);
double TanDeg(double x);
// Clamped: arguments outside -1..1 give the end angle instead of NaN.
// Example:
//   double climb = ArcSinDeg(0.5);   // 30
//   double spread = ArcCosDeg(0.5);  // 60
double ArcSinDeg(double x);
double ArcCosDeg(double x);
// The angle in degrees (-180 to 180) from the x axis to the point (x, y).
// Example:
//   double shipX = 100, shipY = 100, mouseX = 200, mouseY = 200;
//   double aim = ArcTan2Deg(mouseY - shipY, mouseX - shipX);  // 45: down and to the right
double ArcTan2Deg(double y, double x);
// Square root, power and absolute value of doubles; a negative square root is NaN.
// Example:
//   double dx = 30, dy = 40;
//   double distance = SquareRoot(Power(dx, 2) + Power(dy, 2));  // 50
//   double gap = AbsoluteValue(-12);                            // 12
double SquareRoot(double x);
double Power(double base, double exponent);
double AbsoluteValue(double x);
// Remainder of the 32-bit truncations, signed like a. A divisor that truncates to 0 (or -1,
// whose quotient can overflow) gives 0.
// Example:
//   double frame = 37;
//   double tile = IntegerModulo(frame, 8);  // 5: an 8-frame animation's current picture
double IntegerModulo(double a, double b);
// 1 when the rectangles overlap or touch; sizes may be negative.
// Example:
//   double ballX = 100, ballY = 460, paddleX = 90, paddleY = 464;
//   if (RectanglesOverlap(ballX, ballY, 8, 8, paddleX, paddleY, 64, 12) != 0) PlaySound(0, 0, 1);
double RectanglesOverlap(double x1, double y1, double w1, double h1, double x2, double y2,
                         double w2, double h2);

}  // namespace quillon
