// The projection onto a raised surface against PROJ's tmerc on the enlarged ellipsoid, run live;
// the mean radius against GeographicLib's radii; the plan of a system for an area.
#include "core/projection_surface.h"

#include <gtest/gtest.h>

#include <GeographicLib/Ellipsoid.hpp>
#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "core/projection_plan.h"
#include "core/run_tool.h"

namespace quorvel {
namespace {

struct Surface {
    Ellipsoid e;
    double H0, k0, lo;
};

std::vector<Surface> Surfaces() {
    return {{Krassovsky(), 2000, 1, 117},
            {Cgcs2000(), -150, 1, 105},
            {Xian80(), 4500, 0.9996, 87.5},
            {Cgcs2000(), 10000, 1, 120},
            {Krassovsky(), -10000, 1, 75}};
}

// Points from the meridian out to 3°, north and south.
std::vector<std::pair<double, double>> Offsets() {
    return {{0, 25}, {0.5, 31.2}, {-1.25, 40}, {2.9, 47.5}, {-3, -20}, {1.7, 0.1}};
}

// Exact forward and inverse on H0: PROJ's +proj=tmerc +a=a+H0 +rf=1/f, to 0.1 mm; the classic
// series on a raised Krassovsky surface agree with it as the series do on the ellipsoid.
TEST(ProjectionSurface, MatchesProjTmercOnTheEnlargedEllipsoid) {
    for (const Surface& s : Surfaces()) {
        const GaussKruger exact(Method::Exact, s.e, s.k0, 500000, s.H0);
        std::vector<std::string> lines;
        for (const auto& [dl, B] : Offsets())
            lines.push_back(Num(s.lo + dl) + " " + Num(B) + " 0 0");
        const std::string tm = "cct -d 6 +proj=tmerc +a=" + Num(s.e.a + s.H0) +
                               " +rf=" + Num(s.e.InverseFlattening()) + " +k_0=" + Num(s.k0) +
                               " +x_0=500000 +lon_0=" + Num(s.lo);
        const auto proj = RunTool(tm, lines);
        ASSERT_EQ(proj.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto [dl, B] = Offsets()[i];
            const GridPoint g = exact.Forward(B, s.lo + dl, s.lo);
            EXPECT_NEAR(g.Y, proj[i][0], 1e-4) << s.e.name << " H0 " << s.H0 << " " << lines[i];
            EXPECT_NEAR(g.X, proj[i][1], 1e-4) << s.e.name << " H0 " << s.H0 << " " << lines[i];
            const GeoPoint back = exact.Inverse(proj[i][1], proj[i][0], s.lo);
            EXPECT_NEAR(back.B, B, 1e-9);
            EXPECT_NEAR(back.L, s.lo + dl, 1e-9);
            if (IsKrassovsky(s.e) && std::fabs(dl) <= 2) {
                const GridPoint c = GaussKruger(Method::Classic, s.e, s.k0, 500000, s.H0)
                                        .Forward(B, s.lo + dl, s.lo);
                EXPECT_NEAR(c.X, g.X, 1e-3);
                EXPECT_NEAR(c.Y, g.Y, 1e-3);
            }
        }
    }
}

// A surface 2 km up lengthens every plane distance by 2000/a, the classic series' too; the
// point scale, a ratio, stays that of the ellipsoid.
TEST(ProjectionSurface, RaisesThePlaneByTheRatioOfTheAxes) {
    for (const Method m : {Method::Classic, Method::Exact}) {
        const GaussKruger flat(m), raised(m, Krassovsky(), 1, 500000, 2000);
        const GridPoint a = flat.Forward(30.5, 118.2, 117, Extras::ConvergenceAndScale);
        const GridPoint b = raised.Forward(30.5, 118.2, 117, Extras::ConvergenceAndScale);
        const double ratio = (6378245.0 + 2000) / 6378245.0;
        EXPECT_NEAR(b.X, a.X * ratio, 1e-6);
        EXPECT_NEAR(b.y, a.y * ratio, 1e-6);
        EXPECT_NEAR(b.Scale, a.Scale, 1e-12);
        // The classic inverse misses by millimetres 1.2° out, as on the ellipsoid.
        const GeoPoint back = raised.Inverse(b.X, b.Y, 117);
        const double tolerance = m == Method::Exact ? 1e-10 : 1e-7;
        EXPECT_NEAR(back.B, 30.5, tolerance);
        EXPECT_NEAR(back.L, 118.2, tolerance);
        const GridPoint z = raised.Zone(b.X, b.Y, 117, 120);
        const GridPoint zFlat = flat.Zone(a.X, a.Y, 117, 120);
        EXPECT_NEAR(z.X, zFlat.X * ratio, 1e-3);
    }
}

TEST(ProjectionSurface, ZeroHeightIsTheEllipsoidBitForBit) {
    EXPECT_EQ(SurfaceRatio(Krassovsky(), 0), 1.0);
    EXPECT_EQ(SurfaceEllipsoid(Cgcs2000(), 0), Cgcs2000());
    for (const Method m : {Method::Classic, Method::Exact}) {
        const GaussKruger plain(m, Krassovsky(), 0.9999, 500000);
        const GaussKruger zero(m, Krassovsky(), 0.9999, 500000, 0);
        for (const auto& [dl, B] : Offsets()) {
            const GridPoint a = plain.Forward(B, 117 + dl, 117);
            const GridPoint b = zero.Forward(B, 117 + dl, 117);
            EXPECT_EQ(a.X, b.X);
            EXPECT_EQ(a.Y, b.Y);
            EXPECT_EQ(plain.Inverse(a.X, a.Y, 117).B, zero.Inverse(a.X, a.Y, 117).B);
        }
    }
}

TEST(ProjectionSurface, RefusesHeightsBeyondTenKilometres) {
    EXPECT_NO_THROW(GaussKruger(Method::Exact, Cgcs2000(), 1, 500000, -10000));
    for (const double H0 : {10000.01, -10001.0, std::nan(""), HUGE_VAL}) {
        EXPECT_THROW(GaussKruger(Method::Exact, Cgcs2000(), 1, 500000, H0), InvalidParameterError)
            << H0;
        EXPECT_THROW(GaussKruger(Method::Classic, Krassovsky(), 1, 500000, H0),
                     InvalidParameterError);
    }
}

TEST(ProjectionSurface, MeanRadiusIsTheGeometricMeanOfTheRadii) {
    for (const Ellipsoid& e : {Krassovsky(), Cgcs2000()}) {
        const GeographicLib::Ellipsoid g(e.a, e.f);
        for (const double B : {0.0, 23.5, 45.0, -60.0, 89.9}) {
            EXPECT_NEAR(MeanRadius(e, B),
                        std::sqrt(g.MeridionalCurvatureRadius(B) * g.TransverseCurvatureRadius(B)),
                        1e-6);
        }
    }
}

// On the central meridian (k = 1) a point at the surface's height has none; 100 m above it a
// distance shrinks by 100/R; the projection's scale adds to it.
TEST(ProjectionSurface, DistortionAddsScaleAndHeightReduction) {
    const Ellipsoid e = Krassovsky();
    const double R = MeanRadius(e, 30);
    EXPECT_DOUBLE_EQ(LengthDistortion(e, 30, 1, 500, 500), 0);
    EXPECT_NEAR(LengthDistortion(e, 30, 1, 0, 100), -100 / (R + 100) * 1e5, 1e-9);
    EXPECT_NEAR(LengthDistortion(e, 30, 1.00003, 0, 0), 3.0, 1e-9);
    EXPECT_NEAR(LengthDistortion(e, 30, 1.00003, 0, 191.2), 3.0 - 191.2 / R * 1e5, 0.001);
}

// A grid of points `dx` km by `dy` km around (B, L), at heights from `low` to `high`.
std::vector<AreaPoint> Block(double B, double L, double width, double low, double high) {
    std::vector<AreaPoint> area;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            area.push_back(
                {B + 0.02 * j, L + width * (i - 2) / 4, low + (high - low) * (i + j) / 8});
        }
    }
    return area;
}

double WorstOf(const std::vector<AreaPoint>& area, const PlanProposal& p) {
    const GaussKruger raised(Method::Exact, Krassovsky(), 1, 500000, p.height);
    double worst = 0;
    for (const AreaPoint& a : area) {
        const GridPoint g = raised.Forward(a.B, a.L, p.meridian, Extras::ConvergenceAndScale);
        const double d = LengthDistortion(Krassovsky(), a.B, g.Scale, p.height, a.H);
        if (std::fabs(d) > std::fabs(worst)) worst = d;
    }
    return worst;
}

TEST(ProjectionPlan, PrefersTheStandardZoneOnTheEllipsoid) {
    const auto area = Block(30, 117.3, 0.1, 20, 80);
    const PlanProposal p = ProposeSystem(area, Krassovsky(), 2.5);
    ASSERT_TRUE(p.found);
    EXPECT_TRUE(p.standard);
    EXPECT_EQ(p.meridian, 117);
    EXPECT_EQ(p.zone, 39);
    EXPECT_EQ(p.height, 0);
    EXPECT_NEAR(p.worst, WorstOf(area, p), 1e-9);
}

// 2,000 m up, 60 km east of 117°: the zone's meridian holds it on a raised surface, a whole 10 m.
TEST(ProjectionPlan, RaisesTheSurfaceOfTheStandardZone) {
    const auto area = Block(30.5, 117.63, 0.08, 1950, 2050);
    const PlanProposal p = ProposeSystem(area, Krassovsky(), 2.5);
    ASSERT_TRUE(p.found);
    EXPECT_TRUE(p.standard);
    EXPECT_EQ(p.meridian, 117);
    EXPECT_GT(p.height, 1500);
    EXPECT_EQ(std::fmod(p.height, 10), 0);
    EXPECT_LE(std::fabs(WorstOf(area, p)), 2.5);
    EXPECT_GT(std::fabs(WorstOf(area, {true, 117, true, 39, 0})), 2.5);
}

// 1.4° from either standard meridian and 0.3° wide: a meridian of its own, on whole minutes.
TEST(ProjectionPlan, TakesAMeridianOfItsOwnWhereTheZoneCannot) {
    const auto area = Block(35, 118.4, 0.3, 0, 50);
    const PlanProposal p = ProposeSystem(area, Krassovsky(), 2.5);
    ASSERT_TRUE(p.found);
    EXPECT_FALSE(p.standard);
    EXPECT_NEAR(p.meridian * 60, std::round(p.meridian * 60), 1e-9);
    EXPECT_NEAR(p.meridian, 118.4, 0.1);
    EXPECT_NEAR(p.worst, WorstOf(area, p), 1e-9);
    EXPECT_LE(std::fabs(p.worst), 2.5);
}

TEST(ProjectionPlan, SaysWhatStandsInTheWay) {
    const PlanProposal wide = ProposeSystem(Block(30, 117, 4, 0, 0), Krassovsky(), 2.5);
    EXPECT_FALSE(wide.found);
    EXPECT_EQ(wide.obstacle, PlanObstacle::Width);
    EXPECT_GT(wide.widthKm, 350);
    // 400 m of heights spread a distortion by 6.3 cm/km, more than ±2.5 holds.
    const PlanProposal high = ProposeSystem(Block(30, 117.1, 0.05, 100, 500), Krassovsky(), 2.5);
    EXPECT_FALSE(high.found);
    EXPECT_EQ(high.obstacle, PlanObstacle::Heights);
    EXPECT_NEAR(high.heightRange, 400, 1e-9);
    // Each within the room alone, not together.
    const PlanProposal both = ProposeSystem(Block(30, 117.6, 1.2, 0, 250), Krassovsky(), 2.5);
    EXPECT_FALSE(both.found);
    EXPECT_EQ(both.obstacle, PlanObstacle::Both);
}

}  // namespace
}  // namespace quorvel
