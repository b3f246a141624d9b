#pragma once

#include "core/gauss_kruger.h"
#include "engine/projection/points.h"

namespace quorvel::engine {

// The projection a run computes its points with: its method, ellipsoid, k0, false easting
// and projection height.
// One place for the choice, so that what the map draws is what the rows hold. Throws
// InvalidParameterError for settings the core refuses.
inline GaussKruger RunProjection(const Geodesy& geodesy) {
    return GaussKruger(geodesy.method, geodesy.ellipsoid, geodesy.k0, geodesy.falseEasting,
                       geodesy.projectionHeight);
}

}  // namespace quorvel::engine
