// Two-dimensional datum fits (no heights) on their statistics: common points made here from
// chosen parameters with GeographicLib's Geocentric and the Bursa-Wolf formula written out,
// independently of the code under test, and noise put in the local east/north plane.
#include <gtest/gtest.h>

#include <GeographicLib/Geocentric.hpp>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/datum_fit.h"
#include "core/errors.h"

namespace quorvel {
namespace {

constexpr double kNoise = 0.012;  // metres, on each of east and north
constexpr double kSecond = std::numbers::pi / 648000;

const CoordinateSystem kFrom = ParseCoordinateSystem("geodetic:krassovsky");
const CoordinateSystem kTo = ParseCoordinateSystem("geodetic:cgcs2000");

struct Shift {
    double dx, dy, dz, rx, ry, rz, ds;  // m, arc-seconds (coordinate frame), ppm
};

// PROJ's helmert without +exact, coordinate frame: T + (1 + ds)·Rᵀ·X.
void Apply(const Shift& s, double& x, double& y, double& z) {
    const double m = 1 + s.ds * 1e-6, rx = s.rx * kSecond, ry = s.ry * kSecond, rz = s.rz * kSecond;
    const double X = s.dx + m * (x + rz * y - ry * z);
    const double Y = s.dy + m * (-rz * x + y + rx * z);
    const double Z = s.dz + m * (ry * x - rx * y + z);
    x = X, y = Y, z = Z;
}

// `n` points spread over `km` square near 40° N, 117° E, at H = 0 in the source; in the target
// the shifted point with east and north noise, its height dropped (two-dimensional).
std::vector<CommonPoint> Points(int n, double km, const Shift& s, std::mt19937_64& rng) {
    const GeographicLib::Geocentric from(6378245, 1 / 298.3), to(6378137, 1 / 298.257222101);
    const double spanB = km / 111.0, spanL = km / (111.0 * std::cos(40 * std::numbers::pi / 180));
    std::uniform_real_distribution<double> b(40 - spanB / 2, 40 + spanB / 2),
        l(117 - spanL / 2, 117 + spanL / 2);
    std::normal_distribution<double> noise(0, kNoise);
    std::vector<CommonPoint> points;
    for (int i = 0; i < n; ++i) {
        const double B = b(rng), L = l(rng);
        double x, y, z, lat, lon, h;
        from.Forward(B, L, 0, x, y, z);
        Apply(s, x, y, z);
        to.Reverse(x, y, z, lat, lon, h);
        const double e = noise(rng), nn = noise(rng);
        const double pb = lat * std::numbers::pi / 180, pl = lon * std::numbers::pi / 180;
        x += -std::sin(pl) * e - std::sin(pb) * std::cos(pl) * nn;
        y += std::cos(pl) * e - std::sin(pb) * std::sin(pl) * nn;
        z += std::cos(pb) * nn;
        to.Reverse(x, y, z, lat, lon, h);
        points.push_back({"P" + std::to_string(i + 1), {L, B, 0}, {lon, lat, 0}});
    }
    return points;
}

FitOptions Plane(DatumModel model) {
    FitOptions o;
    o.model = model;
    return o;
}

struct Tally {
    double sigma0 = 0;
    int flagged = 0, points = 0, runs = 0;
};

// The share of good points the 4-parameter fit flags, for plane points with the same noise.
double FourParameterFlagRate() {
    const CoordinateSystem plane = ParseCoordinateSystem("plane:krassovsky:117");
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> x(4.38e6, 4.50e6), y(440000, 560000);
    std::normal_distribution<double> noise(0, kNoise);
    const double a = std::cos(2.1 * kSecond) * (1 + 4.3e-6), b = std::sin(2.1 * kSecond) * a;
    int flagged = 0, points = 0;
    for (int run = 0; run < 150; ++run) {
        std::vector<CommonPoint> common;
        for (int i = 0; i < 20; ++i) {
            const double X = x(rng), Y = y(rng);
            common.push_back(
                {"P" + std::to_string(i),
                 {X, Y, 0},
                 {-45.3 + a * X - b * Y + noise(rng), 68.2 + b * X + a * Y + noise(rng), 0}});
        }
        const FitResult r = FitDatum(plane, plane, common, Plane(DatumModel::Four));
        for (const PointResidual& p : r.points) flagged += p.flagged ? 1 : 0;
        points += 20;
    }
    return double(flagged) / points;
}

// Over many draws σ0 estimates the noise put in, and good points are flagged about as rarely as
// K = 3 promises (0.5 % for two components), as the 4-parameter fit flags them; the unobserved
// height counted as an observation pulled σ0 to 80 % and flagged 2.6 %.
TEST(DatumPlaneFit, Sigma0AndFlagsMeasureTheNoise) {
    const Shift datum{-32.4, 118.7, 61.2, 1.83, -0.94, 2.71, 4.27};
    const Shift translation{-32.4, 118.7, 61.2, 0, 0, 0, 0};
    const double four = FourParameterFlagRate();
    std::mt19937_64 rng(20250311);
    for (const auto& [model, shift] :
         {std::pair{DatumModel::Seven, datum}, std::pair{DatumModel::Three, translation}}) {
        SCOPED_TRACE(ModelName(model));
        Tally t;
        for (int run = 0; run < 150; ++run) {
            const FitResult r = FitDatum(kFrom, kTo, Points(20, 150, shift, rng), Plane(model));
            EXPECT_TRUE(r.twoDimensional);
            EXPECT_EQ(r.redundancy, 2 * 20 - ParameterCount(model));
            EXPECT_LT(RotationStandardError(r), kWeakRotationSeconds);
            t.sigma0 += r.sigma0;
            for (const PointResidual& p : r.points) t.flagged += p.flagged ? 1 : 0;
            t.points += 20, ++t.runs;
        }
        EXPECT_NEAR(t.sigma0 / t.runs / kNoise, 1.0, 0.04);
        const double rate = double(t.flagged) / t.points;
        EXPECT_GT(rate, 0.0005);
        EXPECT_LT(rate, 0.012);
        EXPECT_NEAR(rate, four, 0.005);
    }
}

// A blunder of 0.3 m in a two-dimensional 3-parameter fit stands out of 12 mm noise.
TEST(DatumPlaneFit, BlunderIsFlaggedInATranslation) {
    std::mt19937_64 rng(3);
    std::vector<CommonPoint> points = Points(20, 20, {-32.4, 118.7, 61.2, 0, 0, 0, 0}, rng);
    points[5].target[1] += 0.3 / 111000;
    const FitResult r = FitDatum(kFrom, kTo, points, Plane(DatumModel::Three));
    EXPECT_LT(r.sigma0, 0.1);
    for (const PointResidual& p : r.points) EXPECT_EQ(p.flagged, p.name == "P6") << p.name;
}

// Over 5 km horizontal residuals cannot fix the rotations about horizontal axes: the fit is
// refused naming that cause where they run beyond the small-angle model, and otherwise made with
// standard errors that say so.
TEST(DatumPlaneFit, SmallAreaNamesTheWeakRotations) {
    const Shift datum{-32.4, 118.7, 61.2, 1.83, -0.94, 2.71, 4.27};
    std::mt19937_64 rng(11);
    int refused = 0;
    for (int run = 0; run < 10; ++run) {
        const std::vector<CommonPoint> points = Points(20, 5, datum, rng);
        try {
            const FitResult r = FitDatum(kFrom, kTo, points, Plane(DatumModel::Seven));
            EXPECT_GT(RotationStandardError(r), 20 * kWeakRotationSeconds);
        } catch (const Error& e) {
            ++refused;
            EXPECT_EQ(e.kind(), ErrorKind::OutOfDomain) << e.what();
            EXPECT_NE(e.detail().find("四参数"), std::string::npos) << e.what();
            EXPECT_NE(e.detail().find("大地高"), std::string::npos) << e.what();
        }
    }
    EXPECT_GT(refused, 0);
}

// Two observations a point: the fewest points follow, and are asked for in those words.
TEST(DatumPlaneFit, NeedsTwiceTheObservations) {
    std::mt19937_64 rng(5);
    const std::vector<CommonPoint> three = Points(3, 60, {1, 2, 3, 0, 0, 0, 0}, rng);
    EXPECT_EQ(FewestFitPoints(kFrom, kTo, Plane(DatumModel::Seven)), 4);
    EXPECT_EQ(FewestFitPoints(kFrom, kTo, Plane(DatumModel::Three)), 2);
    try {
        FitDatum(kFrom, kTo, three, Plane(DatumModel::Seven));
        ADD_FAILURE() << "3 points fixed 7 parameters on 6 observations";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InsufficientPoints);
        EXPECT_NE(e.detail().find("大地高"), std::string::npos) << e.what();
    }
    const std::vector<CommonPoint> one(three.begin(), three.begin() + 1);
    EXPECT_THROW(FitDatum(kFrom, kTo, one, Plane(DatumModel::Three)), Error);
    FitOptions heights = Plane(DatumModel::Three);
    heights.heights = true;
    EXPECT_FALSE(IsTwoDimensional(kFrom, kTo, heights));
    EXPECT_FALSE(IsTwoDimensional(ParseCoordinateSystem("geocentric:wgs84"),
                                  ParseCoordinateSystem("geocentric:cgcs2000"),
                                  Plane(DatumModel::Seven)));
}

// A zoned point lies within its zone's half width, plus 1°, of the meridian; China's zone numbers
// tell the widths apart on its ellipsoids alone.
TEST(ZonedPlanePoint, BelongsToItsZone) {
    const SystemConverter wgs3(ParseCoordinateSystem("plane:wgs84:zone3"));
    const SystemConverter krassovsky6(ParseCoordinateSystem("plane:krassovsky:zone6"));
    const SystemConverter krassovsky3(ParseCoordinateSystem("plane:krassovsky:zone3"));
    const auto y = [](int zone, double km) { return zone * 1e6 + 500000 + km * 1000; };
    EXPECT_NO_THROW(wgs3.ToGeodetic({4.4e6, y(39, 210), 0}));  // 2.46°: overlap is allowed
    EXPECT_NO_THROW(wgs3.ToGeodetic({4.4e6, y(39, -210), 0}));
    EXPECT_NO_THROW(wgs3.ToGeodetic({4.4e6, y(20, 100), 0}));  // not China's ellipsoid
    EXPECT_NO_THROW(krassovsky6.ToGeodetic({4.4e6, y(20, 250), 0}));
    EXPECT_NO_THROW(krassovsky3.ToGeodetic({4.4e6, y(45, 0), 0}));
    const struct {
        const SystemConverter& system;
        Triple point;
        const char* words;
    } refused[] = {
        {wgs3, {4.4e6, y(39, 225), 0}, "带宽写错"},
        {krassovsky6, {4.4e6, y(20, 360), 0}, "带宽写错"},
        {krassovsky6, {4.4e6, y(38, 0), 0}, "多半是 3° 带"},
        {krassovsky6, {4.4e6, y(24, 0), 0}, "多半是 3° 带"},
        {krassovsky3, {4.4e6, y(23, 0), 0}, "多半是 6° 带"},
        {krassovsky3, {1e12, y(39, 0), 0}, "不是以米为单位的纵坐标"},
    };
    for (const auto& c : refused) {
        try {
            c.system.ToGeodetic(c.point);
            ADD_FAILURE() << c.words << ": accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::OutOfDomain) << e.what();
            EXPECT_NE(e.detail().find(c.words), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace quorvel
