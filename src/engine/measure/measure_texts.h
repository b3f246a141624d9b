#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/measure/measure_points.h"

namespace quorvel::engine {

// quorvel-batch distance: the legs between the points read, and their CSV.

// A leg from one point to another: the plane distance (metres) and grid bearing (degrees in
// [0, 360), none for equal points), and with the projection the geodesic beside them. Points
// on two zones' planes (their eastings carried two zone numbers) have no plane distance: NaN.
struct Leg {
    std::size_t from = 0;
    std::size_t to = 0;
    double distance = 0;
    std::optional<double> azimuth;
    std::optional<GeodesicLine> geodesic;
};

struct Legs {
    std::vector<Leg> legs;
    // With `pairs`: the last point, which has no partner (an odd number of points).
    std::optional<std::size_t> unpaired;
};

// Consecutive points (1→2, 2→3, ...), or with `pairs` the points two by two (1→2, 3→4, ...).
Legs MeasureLegs(const MeasureJob& m, const std::vector<MeasurePoint>& points);

// The CSV's header line and a leg's record, each ending in a line feed: from, to, distance (m,
// 4 decimals), azimuth (packed degrees to 0.01″, empty for equal points); with the projection
// geodesic_distance, geodesic_azimuth, distance_diff_mm (plane − geodesic, 3 decimals) and
// azimuth_diff_s (grid bearing − geodesic azimuth in seconds, within ±648000, 2 decimals).
// With the job's `full` the shortest round-trip decimals instead.
std::string LegHeader(const MeasureJob& m);
// The same columns and cells unquoted, for a table.
std::vector<std::string> LegColumns(const MeasureJob& m);
std::vector<std::string> LegCells(const MeasureJob& m, const std::vector<MeasurePoint>& points,
                                  const Leg& leg);
std::string LegRecord(const MeasureJob& m, const std::vector<MeasurePoint>& points, const Leg& leg);
// What the user must know about a leg (equal points, two zones), or empty.
std::string LegWarning(const std::vector<MeasurePoint>& points, const Leg& leg);

// Packed degrees d.mmss to hundredths of a second, from the whole hundredths so that no
// minute reads 60 (45.35° is "45.210000", not "45.206000"); in [0, 360): 359°59′59.999″ is
// "0.000000".
std::string PackedAzimuthText(double degrees);

// quorvel-batch area: the polygon of the points read, in order around it.
struct PolygonMeasure {
    // Why there is no area, empty when there is one; `line` the line it names, 0 for none.
    std::string refusal;
    std::uint64_t line = 0;
    std::size_t points = 0;  // distinct corners, the closing point and repeats left out
    double area = 0;         // signed: positive counter-clockwise on the map
    double perimeter = 0;
    std::optional<GeodesicArea> ellipsoid;
};
PolygonMeasure MeasurePolygon(const MeasureJob& m, const std::vector<MeasurePoint>& points);

// The one-row CSV (header and record): points, perimeter, area_m2, area_mu, area_ha,
// orientation (clockwise, counterclockwise); with the projection ellipsoid_perimeter,
// ellipsoid_area_m2, ellipsoid_area_mu, ellipsoid_area_ha.
std::string AreaCsv(const MeasureJob& m, const PolygonMeasure& p);
// The same in words for standard error, one line each side.
std::string AreaSummary(const PolygonMeasure& p);

}  // namespace quorvel::engine
