#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/plane_measure.h"
#include "engine/reading/text_io.h"
#include "engine/run/job.h"

namespace quorvel::engine {

// quorvel-batch distance and area: points of a plane system (name, X, Y) read whole, and with
// a central meridian or zones taken back to latitude and longitude on the job's ellipsoid.

// What the two commands compute with: the job's reading settings (fields, header, decimal
// comma, encoding), its writing (full, bom) and, when `projected`, its projection (ellipsoid,
// method, k0, false easting, projection height, --lo or --zone) for the geodesic side.
struct MeasureJob {
    Job job;
    bool projected = false;
    bool pairs = false;  // distance: rows two by two rather than consecutive points
};

struct MeasurePoint {
    std::string name;
    std::uint64_t line = 0;
    // On the zone's plane: Y without the zone number that the input carried in front.
    PlaneXY plane;
    // With --zone, the zone number the easting carried; -1 without --zone.
    int zone = -1;
    // The zone number taken off the easting (with --zone, or Lo's own with --lo), -1 for none:
    // to show a place on the plane as typed.
    int zoneNumber = -1;
    std::optional<GeodeticPoint> geodetic;  // when projected
};

struct MeasurePoints {
    std::vector<MeasurePoint> points;
    // The first line that gives no point, and why: the points are read whole, since a leg or
    // polygon without one of them would measure something else than was typed.
    std::uint64_t badLine = 0;
    std::string problem;
};

// Reads every line: a header first with the job's `header`; empty lines and comments skipped;
// the name, X and Y from the job's fields. Stops at the first line that gives no point, or that
// the projection refuses. Throws IoError when reading fails.
MeasurePoints ReadMeasurePoints(const MeasureJob& job, ByteSource& in);

}  // namespace quorvel::engine
