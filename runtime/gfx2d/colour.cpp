#include "runtime/gfx2d/colour.h"

#include <cmath>

namespace quillon {

namespace {

double Channel(double v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : std::trunc(v);
}

}  // namespace

double Rgb(double red, double green, double blue) {
  return Channel(red) + 256 * Channel(green) + 65536 * Channel(blue);
}

}  // namespace quillon
