#pragma once

#include <utility>
#include <vector>

#include "engine/projection/points.h"

namespace quorvel::engine {

// The zone change's band: the region within 3° of the target meridian Ls, in the plane of the
// run's own projection (ellipsoid, method, k0, false easting), for the results map.
class ZoneBand {
  public:
    // The edges over the latitudes on Ls of the northings `low` to `high` (metres), and half a
    // degree more each way; no edges where the projection gives none. Throws
    // InvalidParameterError for settings the core refuses.
    ZoneBand(const Geodesy& geodesy, double ls, double low, double high);

    // (easting, northing) polylines, south to north.
    const std::vector<std::pair<double, double>>& WestEdge() const { return west_; }
    const std::vector<std::pair<double, double>>& EastEdge() const { return east_; }

    // Whether a point lies beyond the band at its northing, the half width interpolated
    // between the vertices (held at the end ones beyond them); false for a NaN or without edges.
    bool Outside(double easting, double northing) const;

  private:
    double falseEasting_;
    std::vector<std::pair<double, double>> west_, east_;
    std::vector<std::pair<double, double>> halfWidth_;  // (northing, |y| of the edge), sorted
};

}  // namespace quorvel::engine
