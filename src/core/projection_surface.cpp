#include "core/projection_surface.h"

#include <GeographicLib/Math.hpp>

namespace quorvel {

double MeanRadius(const Ellipsoid& e, double B) {
    // M = a(1 − e²)/W³, N = a/W, W = √(1 − e² sin²B): √(MN) = a √(1 − e²)/W².
    const double e2 = e.f * (2 - e.f);
    const double s = GeographicLib::Math::sind(B);
    const double w2 = 1 - e2 * s * s;
    return e.a * std::sqrt(1 - e2) / w2;
}

double LengthDistortion(const Ellipsoid& e, double B, double k, double H0, double H) {
    const double R = MeanRadius(e, B);
    return (k * (R + H0) / (R + H) - 1) * 1e5;
}

}  // namespace quorvel
