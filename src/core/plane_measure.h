#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/classic_series.h"  // GeodeticPoint: B, L in decimal degrees
#include "core/ellipsoid.h"

namespace quorvel {

// Distances, bearings and areas of points on the plane of a Gauss-Krüger system (X north, Y
// east, metres) and, for the same points taken back to latitude and longitude, on the
// ellipsoid through GeographicLib's Geodesic and PolygonArea.

struct PlaneXY {
    double X = 0;  // northing, metres
    double Y = 0;  // easting, metres
    bool operator==(const PlaneXY&) const = default;
};

// The plane distance from a to b, metres (std::hypot: no overflow, within an ulp).
double PlaneDistance(PlaneXY a, PlaneXY b);

// The grid bearing from a to b: clockwise from the X axis (grid north), degrees in [0, 360);
// nullopt for two equal points, whose bearing is undefined. Exact on the axes (0, 90, 180, 270).
std::optional<double> GridAzimuth(PlaneXY a, PlaneXY b);

// The ring of a polygon as typed: its points in order around it, the closing point repeated or
// not. Points equal to the one before (and a last point equal to the first) are left out; what
// remains is the ring that the area and the checks below work on, as indices into the points.
std::vector<std::size_t> RingOf(std::span<const PlaneXY> points);

// The signed shoelace area of a ring, m²: positive counter-clockwise as seen on the map (Y east,
// X north), negative clockwise. Computed from offsets to the first point, so that coordinates
// in the millions lose no digits to the products.
double ShoelaceArea(std::span<const PlaneXY> ring);
// The length of the closed ring, metres.
double RingPerimeter(std::span<const PlaneXY> ring);

// Where a ring is not simple: edges `first` and `second` (edge i runs from ring point i to
// i + 1, the last back to 0; first < second) share the point `at` — they cross, one touches
// the other, or two edges overlap along a line (`at` then the first shared point found).
struct RingCrossing {
    std::size_t first = 0;
    std::size_t second = 0;
    PlaneXY at;
};

// The crossing of a ring with the lowest pair of edges, or nullopt for a simple ring. A ring of
// fewer than three points has none. Adjacent edges must share only their common point: one
// running back along the other is a crossing too. The edges are sorted into a grid of about as
// many cells as edges, and only edges sharing a cell are compared: about linear for rings
// whose edges are of like length, quadratic only where most edges pass through few cells.
// Orientation signs are computed in long double from offsets to the first point: exact for
// coordinates typed to 0.1 mm within 1000 km of each other.
std::optional<RingCrossing> FindRingCrossing(std::span<const PlaneXY> ring);

// The geodesic from a to b on `e` (GeographicLib::Geodesic::Inverse, accurate to 15 nm): its
// length in metres and its azimuth at a, clockwise from north, degrees in [0, 360); the azimuth
// is nullopt for equal points.
struct GeodesicLine {
    double distance = 0;
    std::optional<double> azimuth;
};
GeodesicLine GeodesicInverse(const Ellipsoid& e, GeodeticPoint a, GeodeticPoint b);

// The area of the polygon whose corners are `ring` joined by geodesics, on `e`
// (GeographicLib::PolygonArea, accurate to about 0.1 m² for a field): the area in m², signed as
// ShoelaceArea (positive counter-clockwise), and the perimeter in metres.
struct GeodesicArea {
    double area = 0;
    double perimeter = 0;
};
GeodesicArea EllipsoidArea(const Ellipsoid& e, std::span<const GeodeticPoint> ring);

// One 亩 in square metres: 2000/3.
inline constexpr double kSquareMetresPerMu = 2000.0 / 3.0;

}  // namespace quorvel
