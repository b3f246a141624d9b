#include "core/plane_measure.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "core/gauss_kruger.h"
#include "run_tool.h"

namespace quorvel {
namespace {

std::vector<PlaneXY> Ring(std::span<const PlaneXY> points) {
    std::vector<PlaneXY> ring;
    for (std::size_t i : RingOf(points)) ring.push_back(points[i]);
    return ring;
}

TEST(PlaneMeasure, DistanceOfHandComputedTriangles) {
    EXPECT_EQ(PlaneDistance({0, 0}, {3, 4}), 5);
    EXPECT_EQ(PlaneDistance({3, 4}, {0, 0}), 5);
    // Large coordinates: the difference, not the values, decide the digits.
    EXPECT_EQ(PlaneDistance({3378000.25, 39500000.5}, {3378003.25, 39500004.5}), 5);
    EXPECT_EQ(PlaneDistance({1, 2}, {1, 2}), 0);
}

TEST(PlaneMeasure, AzimuthOnTheAxesAndInEachQuadrant) {
    const PlaneXY o{100, 200};
    EXPECT_EQ(*GridAzimuth(o, {101, 200}), 0);    // north
    EXPECT_EQ(*GridAzimuth(o, {100, 201}), 90);   // east
    EXPECT_EQ(*GridAzimuth(o, {99, 200}), 180);   // south
    EXPECT_EQ(*GridAzimuth(o, {100, 199}), 270);  // west
    EXPECT_DOUBLE_EQ(*GridAzimuth(o, {101, 201}), 45);
    EXPECT_DOUBLE_EQ(*GridAzimuth(o, {99, 201}), 135);
    EXPECT_DOUBLE_EQ(*GridAzimuth(o, {99, 199}), 225);
    EXPECT_DOUBLE_EQ(*GridAzimuth(o, {101, 199}), 315);
    // 3-4-5: atan(4/3) east of north.
    EXPECT_NEAR(*GridAzimuth({0, 0}, {3, 4}), 53.13010235415598, 1e-12);
    // Just west of north stays below 360; so far west of it that 360 - az rounds to 360: 0.
    const double nearlyNorth = *GridAzimuth({0, 0}, {1e6, -1e-3});
    EXPECT_LT(nearlyNorth, 360);
    EXPECT_GT(nearlyNorth, 359.9);
    EXPECT_EQ(*GridAzimuth({0, 0}, {1e6, -1e-12}), 0);
    EXPECT_FALSE(std::signbit(*GridAzimuth({0, 0}, {1, 0})));
    EXPECT_FALSE(GridAzimuth(o, o).has_value());
}

TEST(PlaneMeasure, RingLeavesOutRepeatedAndClosingPoints) {
    const std::vector<PlaneXY> typed = {{0, 0}, {0, 0}, {0, 1}, {1, 1}, {1, 1}, {1, 0}, {0, 0}};
    EXPECT_EQ(RingOf(typed), (std::vector<std::size_t>{0, 2, 3, 5}));
    EXPECT_EQ(RingOf(std::vector<PlaneXY>{{5, 5}, {5, 5}}), (std::vector<std::size_t>{0}));
    EXPECT_TRUE(RingOf({}).empty());
}

TEST(PlaneMeasure, ShoelaceSignFollowsTheMap) {
    // X north, Y east: (0,0) → (0,1) east → (1,1) north → (1,0) west turns left.
    const std::vector<PlaneXY> ccw = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    EXPECT_EQ(ShoelaceArea(ccw), 1);
    const std::vector<PlaneXY> cw(ccw.rbegin(), ccw.rend());
    EXPECT_EQ(ShoelaceArea(cw), -1);
    EXPECT_EQ(RingPerimeter(ccw), 4);
    // The 3-4-5 triangle, far from the origin: 6 m² and 12 m exactly.
    const std::vector<PlaneXY> triangle = {
        {3378000, 39500000}, {3378003, 39500000}, {3378000, 39500004}};
    EXPECT_EQ(std::fabs(ShoelaceArea(triangle)), 6);
    EXPECT_EQ(RingPerimeter(triangle), 12);
    // Collinear points along an edge change nothing.
    const std::vector<PlaneXY> withMidpoints = {{0, 0}, {0, 0.5}, {0, 1}, {1, 1}, {1, 0}};
    EXPECT_EQ(ShoelaceArea(withMidpoints), 1);
}

struct CrossingCase {
    const char* what;
    std::vector<PlaneXY> points;
    bool simple;
    std::size_t first = 0, second = 0;
    PlaneXY at{};
};

TEST(PlaneMeasure, CrossingsTouchesAndOverlapsAreFound) {
    const std::vector<CrossingCase> cases = {
        {"square", {{0, 0}, {0, 2}, {2, 2}, {2, 0}}, true},
        {"collinear points on an edge", {{0, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 0}}, true},
        {"concave", {{0, 0}, {0, 4}, {4, 4}, {1, 2}, {4, 0}}, true},
        // A bow tie: edge 0 (0,0)-(2,2) crosses edge 2 (0,2)-(2,0) at (1,1).
        {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {0, 2}}, false, 0, 2, {1, 1}},
        // A figure eight touching itself at (1,1), a point typed twice but not in a row.
        {"touching at a vertex",
         {{1, 1}, {0, 0}, {0, 2}, {1, 1}, {2, 2}, {2, 0}},
         false,
         0,
         2,
         {1, 1}},
        // A vertex on another edge's inside.
        {"vertex on an edge", {{0, 0}, {0, 4}, {2, 4}, {0, 2}, {2, 0}}, false, 0, 2, {0, 2}},
        // Edge 0 runs (0,0)-(0,3); edge 2 runs back along it from (0,2) to (0,1).
        {"collinear overlap", {{0, 0}, {0, 3}, {0, 2}, {0, 1}, {-1, 1}}, false, 0, 1, {0, 3}},
        // A spike: the ring goes out and straight back along the same line.
        {"spike", {{0, 0}, {0, 2}, {0, 3}, {0, 2.5}, {2, 2}, {2, 0}}, false, 1, 2, {0, 3}},
        // Back from (0,2) to (0,0) along the way out: edges 2 and 0 overlap from (0,0).
        {"three collinear points", {{0, 0}, {0, 1}, {0, 2}}, false, 0, 2, {0, 0}},
    };
    for (const CrossingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PlaneXY> ring = Ring(c.points);
        const std::optional<RingCrossing> x = FindRingCrossing(ring);
        ASSERT_EQ(!x.has_value(), c.simple);
        if (!x) continue;
        EXPECT_EQ(x->first, c.first);
        EXPECT_EQ(x->second, c.second);
        EXPECT_EQ(x->at, c.at);
    }
}

TEST(PlaneMeasure, CrossingAtSurveyCoordinatesIsPlacedOnBothEdges) {
    // A bow tie at 39-zone coordinates, crossing at a point that is no input point.
    const std::vector<PlaneXY> ring = {{3378000.1, 39500000.2},
                                       {3378100.3, 39500050.7},
                                       {3378000.9, 39500100.4},
                                       {3378090.5, 39500010.1}};
    const std::optional<RingCrossing> x = FindRingCrossing(ring);
    ASSERT_TRUE(x.has_value());
    EXPECT_EQ(x->first, 0u);
    EXPECT_EQ(x->second, 2u);
    // On edge 0 and on edge 2: the cross products vanish to rounding.
    const auto offLine = [&](PlaneXY a, PlaneXY b) {
        return std::fabs((b.Y - a.Y) * (x->at.X - a.X) - (b.X - a.X) * (x->at.Y - a.Y)) /
               PlaneDistance(a, b);
    };
    EXPECT_LT(offLine(ring[0], ring[1]), 1e-6);
    EXPECT_LT(offLine(ring[2], ring[3]), 1e-6);
}

TEST(PlaneMeasure, LargeRingsAreCheckedQuickly) {
    // 100000 points around a circle, simple; then with one point pulled across the ring.
    const std::size_t n = 100000;
    std::vector<PlaneXY> ring(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * static_cast<double>(i) / n;
        ring[i] = {3378000 + 1000 * std::cos(t), 39500000 + 1000 * std::sin(t)};
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FindRingCrossing(ring).has_value());
    EXPECT_NEAR(ShoelaceArea(ring), -std::numbers::pi * 1e6, 1);  // clockwise on the map
    ring[n / 2] = {3378000 + 1500, 39500000};
    const std::optional<RingCrossing> x = FindRingCrossing(ring);
    ASSERT_TRUE(x.has_value());
    // The edges to and from the pulled point cross the ring's first and last edges, about
    // grid north of the centre.
    EXPECT_EQ(x->first, 0u);
    EXPECT_TRUE(x->second == n / 2 - 1 || x->second == n / 2) << x->second;
    EXPECT_NEAR(x->at.X, 3379000, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PlaneMeasure, GeodesicAgreesWithProjsGeod) {
    const Ellipsoid e = Cgcs2000();
    const std::vector<std::pair<GeodeticPoint, GeodeticPoint>> lines = {
        {{30, 117}, {31, 118}},
        {{39.9, 116.4}, {31.2, 121.5}},
        {{-33.9, 151.2}, {51.5, -0.1}},
        {{0, 0}, {0, 90}},
        {{45, 10}, {44, 10}}};
    std::vector<std::string> input;
    for (const auto& [a, b] : lines) {
        char text[128];
        std::snprintf(text, sizeof text, "%.12f %.12f %.12f %.12f", a.B, a.L, b.B, b.L);
        input.emplace_back(text);
    }
    // geod prints the forward azimuth, the back azimuth and the distance.
    const auto geod = RunTool("geod +a=6378137 +rf=298.257222101 -I -f %.10f -F %.6f", input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(input[i]);
        const GeodesicLine line = GeodesicInverse(e, lines[i].first, lines[i].second);
        ASSERT_EQ(geod[i].size(), 3u);
        EXPECT_NEAR(line.distance, geod[i][2], 1e-5);
        double expected = geod[i][0] < 0 ? geod[i][0] + 360 : geod[i][0];
        ASSERT_TRUE(line.azimuth.has_value());
        EXPECT_NEAR(*line.azimuth, expected, 1e-9);
        EXPECT_GE(*line.azimuth, 0);
        EXPECT_LT(*line.azimuth, 360);
    }
    EXPECT_FALSE(GeodesicInverse(e, {30, 117}, {30, 117}).azimuth.has_value());
}

TEST(PlaneMeasure, EllipsoidAreaOfASquareOnTheCentralMeridian) {
    // A 1 km square about the central meridian: the exact projection's scale there differs
    // from 1 by 3e-9, so the ellipsoid's area is the plane's to a few hundredths of a m².
    const GaussKruger tm(Method::Exact, Cgcs2000());
    const std::vector<PlaneXY> square = {
        {3378000, 499500}, {3378000, 500500}, {3379000, 500500}, {3379000, 499500}};
    std::vector<GeodeticPoint> corners;
    for (const PlaneXY& p : square) {
        const GeoPoint g = tm.Inverse(p.X, p.Y, 117);
        corners.push_back({g.B, g.L});
    }
    const GeodesicArea a = EllipsoidArea(Cgcs2000(), corners);
    EXPECT_NEAR(a.area, ShoelaceArea(square), 0.05);
    EXPECT_GT(a.area, 0);  // counter-clockwise on the map on both sides
    EXPECT_NEAR(a.perimeter, 4000, 1e-4);
    std::vector<GeodeticPoint> reversed(corners.rbegin(), corners.rend());
    EXPECT_NEAR(EllipsoidArea(Cgcs2000(), reversed).area, -a.area, 1e-6);
}

}  // namespace
}  // namespace quorvel
