#pragma once

#include <cstddef>
#include <span>

#include "core/ellipsoid.h"

namespace quorvel {

// A plane system for an area: the central meridian and projection height that keep the length
// distortion (core/projection_surface.h) of every point within a limit, as China's engineering
// survey code asks (2.5 cm/km).

// A point of the area: latitude B and longitude L in decimal degrees, normal height H in metres.
struct AreaPoint {
    double B = 0;
    double L = 0;
    double H = 0;
};

// Why no system keeps the area within the limit.
enum class PlanObstacle {
    Width,    // the projection's scale alone varies across the area by more than 2 × the limit
    Heights,  // the heights alone do
    Both,     // each fits, the two together do not
};

struct PlanProposal {
    bool found = false;
    // The proposal, k0 = 1: the central meridian (degrees), whether it is the area's standard 3°
    // zone meridian (`zone` its number), and the projection height H0 (metres).
    double meridian = 0;
    bool standard = false;
    int zone = 0;
    double height = 0;
    // Its worst distortion (cm/km, signed) and the point that has it.
    double worst = 0;
    std::size_t worstPoint = 0;
    // Without a proposal: the obstacle; the area's width east–west (km) and the spread of the
    // projection's scale across it (cm/km) on the meridian where that spreads least, and the
    // range of heights (m) and the spread it gives (cm/km), against the 2 × limit a system can
    // hold.
    PlanObstacle obstacle = PlanObstacle::Width;
    double widthKm = 0;
    double heightRange = 0;
    double scaleSpread = 0;
    double heightSpread = 0;
};

// The proposal for `points` (at least one) on `e` within `limit` cm/km (> 0), in the order a
// surveyor prefers: the standard 3° zone meridian of the area's middle longitude with H0 = 0;
// that meridian with an H0; a meridian of its own. H0 is a whole 10 m where one fits, else a
// whole metre. Meridians of the area's own lie on a grid of whole arc minutes across the area,
// the one giving the widest room for H0 chosen: a minute is 1.8 km at most, so the meridian
// passes within 0.9 km of the best, and it is typed and stated as it stands (117°31′).
// Scale factors are the exact transverse Mercator's (GeographicLib).
PlanProposal ProposeSystem(std::span<const AreaPoint> points, const Ellipsoid& e, double limit);

}  // namespace quorvel
