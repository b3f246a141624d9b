#include "engine/projection/zone_band.h"

#include <algorithm>
#include <cmath>

#include "engine/projection/run_projection.h"

namespace quorvel::engine {
namespace {

// The latitude of northing X on the meridian, half a degree beyond it in `side`'s direction,
// kept off the poles; a northing the projection cannot take reaches as far as the band may.
double BandLatitude(const GaussKruger& projection, double X, double ls, double side) {
    double B;
    try {
        B = projection.Inverse(X, projection.falseEasting(), ls).B;
    } catch (const OutOfDomainError&) {
        B = X > 0 ? 90 : -90;
    }
    return std::clamp(B + side * 0.5, -89.0, 89.0);
}

}  // namespace

ZoneBand::ZoneBand(const Geodesy& geodesy, double ls, double low, double high)
    : falseEasting_(geodesy.falseEasting) {
    const GaussKruger projection = RunProjection(geodesy);
    const double south = BandLatitude(projection, low, ls, -1);
    const double north = BandLatitude(projection, high, ls, +1);
    constexpr int kSteps = 64;
    for (int k = 0; k <= kSteps; ++k) {
        const double b = south + (north - south) * k / kSteps;
        GridPoint east;
        try {
            east = projection.Forward(b, ls + 3, ls);
        } catch (const OutOfDomainError&) {
            continue;
        }
        // East and west of the meridian are mirror images in every transverse Mercator.
        east_.emplace_back(falseEasting_ + east.y, east.X);
        west_.emplace_back(falseEasting_ - east.y, east.X);
        halfWidth_.emplace_back(east.X, east.y);
    }
    std::sort(halfWidth_.begin(), halfWidth_.end());
}

bool ZoneBand::Outside(double easting, double northing) const {
    if (halfWidth_.empty() || !std::isfinite(northing)) return false;
    const auto at =
        std::lower_bound(halfWidth_.begin(), halfWidth_.end(), std::make_pair(northing, -HUGE_VAL));
    double width;
    if (at == halfWidth_.begin()) {
        width = at->second;
    } else if (at == halfWidth_.end()) {
        width = halfWidth_.back().second;
    } else {
        const auto& [x0, w0] = *(at - 1);
        const auto& [x1, w1] = *at;
        width = x1 > x0 ? w0 + (w1 - w0) * (northing - x0) / (x1 - x0) : w0;
    }
    return std::abs(easting - falseEasting_) > width;  // NaN: not outside
}

}  // namespace quorvel::engine
