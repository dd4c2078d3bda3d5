#include "common/geometry.h"

#include <cmath>

namespace halyx {

double BearingBetween(double x0, double y0, double x1, double y1) {
    double angle = std::atan2(x1 - x0, y1 - y0);
    if (angle < 0) {
        angle += kTwoPi;
    }
    return angle;
}

void OffsetPoint(double x0, double y0, double distance, double angle, double& x, double& y) {
    if (angle < 0) {
        angle += kTwoPi;
    }
    // A finite loop bound: a huge angle must not spin; fmod keeps the same result for the
    // angles a user can produce and ends for any input.
    if (angle >= kTwoPi) {
        angle = std::fmod(angle, kTwoPi);
    }
    const double dx = std::fabs(std::sin(angle)) * distance;
    const double dy = std::fabs(std::cos(angle)) * distance;
    x = (angle >= 0 && angle <= kPi) ? x0 + dx : x0 - dx;
    y = (angle >= kHalfPi && angle <= kThreeHalfPi) ? y0 + dy : y0 - dy;
}

} // namespace halyx
