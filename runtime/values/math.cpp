#include "runtime/values/math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "runtime/values/truncate.h"

namespace quillon {

namespace {

struct Interval {
  double low;
  double high;
};

Interval Span(double position, double size) {
  double end = position + size;
  return {std::min(position, end), std::max(position, end)};
}

bool Meets(Interval a, Interval b) { return std::max(a.low, b.low) <= std::min(a.high, b.high); }

}  // namespace

double SinDeg(double x) { return std::sin(x / kDegreesPerRadian); }
double CosDeg(double x) { return std::cos(x / kDegreesPerRadian); }
double TanDeg(double x) { return std::tan(x / kDegreesPerRadian); }

double ArcSinDeg(double x) {
  if (x >= 1.0) return 90.0;
  if (x <= -1.0) return -90.0;
  return std::asin(x) * kDegreesPerRadian;
}

double ArcCosDeg(double x) {
  if (x >= 1.0) return 0.0;
  if (x <= -1.0) return 180.0;
  return std::acos(x) * kDegreesPerRadian;
}

double ArcTan2Deg(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }
double SquareRoot(double x) { return std::sqrt(x); }
double Power(double base, double exponent) { return std::pow(base, exponent); }
double AbsoluteValue(double x) { return x < 0 ? -x : x; }

double IntegerModulo(double a, double b) {
  if (b == 0) return 0.0;
  int32_t divisor = TruncateToInt32(b);
  // x % 0 traps, and INT32_MIN % -1 overflows; every remainder by +-1 is 0 anyway.
  if (divisor == 0 || divisor == -1) return 0.0;
  return TruncateToInt32(a) % divisor;
}

double RectanglesOverlap(double x1, double y1, double w1, double h1, double x2, double y2,
                         double w2, double h2) {
  bool overlap = Meets(Span(x1, w1), Span(x2, w2)) && Meets(Span(y1, h1), Span(y2, h2));
  return overlap ? 1.0 : 0.0;
}

}  // namespace quillon
