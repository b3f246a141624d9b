// The exact method against PROJ's cct and GeographicLib's TransverseMercatorProj, run live on
// the same points; zones and zone numbers against PROJ's false easting n·1e6 + 500000.
#include "core/gauss_kruger.h"

#include <gtest/gtest.h>

#include <GeographicLib/Math.hpp>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/classic_check.h"
#include "core/classic_series.h"
#include "core/errors.h"
#include "core/run_tool.h"
#include "core/zones.h"

namespace quorvel {
namespace {

std::string Cct(const Ellipsoid& e, double k0, double x0, double lo, bool inverse) {
    return std::string("cct -d 12 ") + (inverse ? "-I " : "") + "+proj=tmerc +a=" + Num(e.a) +
           " +rf=" + Num(e.InverseFlattening()) + " +k_0=" + Num(k0) + " +x_0=" + Num(x0) +
           " +lon_0=" + Num(lo);
}

std::string TmProj(const Ellipsoid& e, double k0, double lo, bool inverse) {
    return std::string("TransverseMercatorProj -p 12 ") + (inverse ? "-r " : "") + "-l " + Num(lo) +
           " -e " + Num(e.a) + " " + Num(e.f) + " -k " + Num(k0);
}

struct Setting {
    Ellipsoid ellipsoid;
    double rf;
    double k0, fe, lo;
};

std::vector<Setting> Settings() {
    return {
        {Krassovsky(), 298.3, 1, 500000, 117},
        {Xian80(), 298.257, 1, 500000, 105},
        {Cgcs2000(), 298.257222101, 0.9999, 500000, 120},
        {Wgs84(), 298.257223563, 0.9996, 0, -75},
    };
}

// Random points within 10° of the central meridian between 80° S and 80° N.
std::vector<std::pair<double, double>> Points(double lo, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> b(-80, 80), dl(-10, 10);
    std::vector<std::pair<double, double>> p(300);
    for (auto& q : p) q = {b(rng), lo + dl(rng)};
    p.front() = {0, lo};
    p.back() = {45, lo + 10};
    return p;
}

TEST(Ellipsoid, NamedAndGivenByUser) {
    for (const Setting& s : Settings()) {
        const Ellipsoid byName = ParseEllipsoid(" " + s.ellipsoid.name + " ");
        const Ellipsoid byNumbers = ParseEllipsoid(Num(s.ellipsoid.a) + ", " + Num(s.rf));
        EXPECT_EQ(byName.a, s.ellipsoid.a);
        EXPECT_EQ(byName.f, s.ellipsoid.f);
        EXPECT_EQ(byNumbers.a, s.ellipsoid.a);
        EXPECT_EQ(byNumbers.f, s.ellipsoid.f) << s.ellipsoid.name;
    }
    EXPECT_EQ(ParseEllipsoid("CGCS2000").name, "cgcs2000");
    EXPECT_TRUE(IsKrassovsky(ParseEllipsoid("6378245,298.3")));
    EXPECT_FALSE(IsKrassovsky(Xian80()));
    for (const char* bad : {"", "bessel", "6378137", "6378137,", ",298", "6378137,298.257,1",
                            "6378137;298.257", "637813.7,298.257", "6378137,1", "6378137,0",
                            "6378137,-298", "nan,298", "6378137,inf", "1e400,298"}) {
        EXPECT_THROW(ParseEllipsoid(bad), InvalidParameterError) << bad;
    }
}

// The exact method takes L − Lo as it is within ±180°, where GeographicLib's AngDiff, which
// it stands for, must give that very difference.
TEST(GaussKruger, PlainMeridianOffsetIsWhatAngDiffGives) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> lon(-179.999999, 179.999999), near(-40, 40);
    for (int i = 0; i < 200000; ++i) {
        const double Lo = lon(rng), L = i % 2 == 0 ? lon(rng) : Lo + near(rng);
        const double d = L - Lo;
        if (!(std::abs(L) < 180 && d != 0 && std::abs(d) < 180)) continue;
        ASSERT_EQ(GeographicLib::Math::AngDiff(Lo, L), d) << L << " " << Lo;
    }
    const GaussKruger exact(Method::Exact, Cgcs2000(), 1, 500000);
    for (const double Lo : {-179.5, -117.0, 0.0, 117.0, 179.5}) {  // both sides of ±180°
        const GridPoint p = exact.Forward(30, Lo + 1.25, Lo);
        const GeoPoint g = exact.Inverse(p.X, p.Y, Lo);
        EXPECT_NEAR(g.L, Lo + 1.25, 1e-9) << Lo;
        EXPECT_NEAR(g.B, 30, 1e-9) << Lo;
    }
}

TEST(GaussKruger, SettingsAreChecked) {
    EXPECT_THROW(GaussKruger(Method::Classic, Cgcs2000()), InvalidParameterError);
    EXPECT_NO_THROW(GaussKruger(Method::Classic, ParseEllipsoid("6378245,298.3")));
    EXPECT_THROW(GaussKruger(Method::Exact, Ellipsoid{"zero", 0, 0}), InvalidParameterError);
    EXPECT_THROW(GaussKruger(Method::Exact, Wgs84(), 0), InvalidParameterError);
    EXPECT_THROW(GaussKruger(Method::Exact, Wgs84(), 1.2), InvalidParameterError);
    EXPECT_THROW(GaussKruger(Method::Exact, Wgs84(), 1, NAN), InvalidParameterError);
    EXPECT_EQ(ParseMethod("exact"), Method::Exact);
    EXPECT_THROW(ParseMethod("Exact"), InvalidParameterError);
}

TEST(GaussKruger, OutsideTheDomainThrows) {
    for (Method m : {Method::Classic, Method::Exact}) {
        const GaussKruger gk(m);
        EXPECT_THROW(gk.Forward(90.5, 117, 117), OutOfDomainError);
        EXPECT_THROW(gk.Forward(30, NAN, 117), OutOfDomainError);
        EXPECT_THROW(gk.Inverse(3e6, INFINITY, 117), OutOfDomainError);
        EXPECT_THROW(gk.Zone(3e6, 5e5, 117, NAN), OutOfDomainError);
        EXPECT_THROW(gk.Inverse(1e300, 1e300, 117), OutOfDomainError);
        EXPECT_THROW(gk.Zone(-1e300, 1e300, 117, 120), OutOfDomainError);
    }
    const GaussKruger exact(Method::Exact);
    EXPECT_NO_THROW(exact.Forward(30, 152, 117));
    EXPECT_THROW(exact.Forward(30, 152.01, 117), OutOfDomainError);
    EXPECT_NO_THROW(exact.Forward(30, -179, 178));                    // 3° across the antimeridian
    EXPECT_THROW(exact.Inverse(10.1e6, 5e5, 117), OutOfDomainError);  // beyond the pole
    try {
        exact.Inverse(9e6, 1.49e6, 117);  // 81° north, 990 km out
        ADD_FAILURE() << "no exception";
    } catch (const BeyondExactOffsetError& e) {
        EXPECT_NEAR(e.offset(), 44.9, 0.1);
        EXPECT_EQ(e.meridian(), 117);
    }
    EXPECT_THROW(exact.Zone(3e6, 5e5, 117, 160), OutOfDomainError);
    // The classic series enforces no distance, as the window does not.
    EXPECT_NO_THROW(GaussKruger(Method::Classic).Zone(3e6, 5e5, 117, 160));
}

// The central scale and false easting act on the classic series as on the exact projection.
TEST(GaussKruger, ClassicTakesScaleAndFalseEastingAsExactDoes) {
    const GaussKruger classic(Method::Classic, Krassovsky(), 0.9999, 300000);
    const GaussKruger exact(Method::Exact, Krassovsky(), 0.9999, 300000);
    const GridPoint c = classic.Forward(35, 116.2, 117);
    const GridPoint e = exact.Forward(35, 116.2, 117);
    EXPECT_NEAR(c.X, e.X, 1e-3);
    EXPECT_NEAR(c.Y, e.Y, 1e-3);
    const GeoPoint ci = classic.Inverse(e.X, e.Y, 117);
    EXPECT_NEAR(ci.B, 35, 1e-8);
    EXPECT_NEAR(ci.L, 116.2, 1e-8);
    const GridPoint cz = classic.Zone(e.X, e.Y, 117, 114);
    const GridPoint ez = exact.Zone(e.X, e.Y, 117, 114);
    EXPECT_NEAR(cz.X, ez.X, 0.2);  // 2.8° from 114°: the classic series are off by centimetres
    EXPECT_NEAR(cz.Y, ez.Y, 0.2);
}

// The check of the classic series: the size of the miss where there is an exact point, the
// offset where there is none (beyond 35°, past the pole, Ls 180° away); the bounds hold back
// the comparison near the meridian only, and never for a value that is not a number.
TEST(ClassicCheck, MissesAndPointsWithoutAnExactCounterpart) {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const ClassicCheck check;
    PlanePoint p = ForwardProject(c, 0, 152, 117);
    SeriesMiss m = check.Forward(0, 35, p.X, p.Sign * p.AbsY);
    ASSERT_TRUE(m.metres);
    EXPECT_NEAR(*m.metres, 444.51, 0.005);
    p = ForwardProject(c, 0, 152.001, 117);
    m = check.Forward(0, 35.001, p.X, p.Sign * p.AbsY);
    EXPECT_FALSE(m.metres);
    EXPECT_DOUBLE_EQ(m.offset, 35.001);
    EXPECT_EQ(*check.Forward(0, 12, NAN, 0).metres, INFINITY);

    const GeodeticPoint g = InverseProjectOffset(c, 10001965, 22200, 117);
    EXPECT_GT(std::fabs(g.B), 90);  // what the series make of it
    m = check.Inverse(10001965, 22200, g.B, g.L - 117);
    EXPECT_FALSE(m.metres);
    EXPECT_NEAR(m.offset, 89.55, 0.01);

    const PlanePoint z = ZoneTransformOffset(c, 3380000, 112345.678, 117, 297);
    m = check.Zone(3380000, 112345.678, 180, z.X, z.Sign * z.AbsY);
    EXPECT_FALSE(m.metres);
    EXPECT_TRUE(m.fromTarget);
    EXPECT_NEAR(m.offset, 178.83, 0.01);

    EXPECT_FALSE(ForwardMayMiss(89, 7.5));
    EXPECT_TRUE(ForwardMayMiss(0, -7.6));
    EXPECT_FALSE(InverseMayMiss(-3380000, 192000));
    EXPECT_TRUE(InverseMayMiss(3380000, -194000));
    EXPECT_TRUE(InverseMayMiss(9800000, 0));
    EXPECT_FALSE(ZoneMayMiss(3380000, 150000, 3));
    EXPECT_TRUE(ZoneMayMiss(3380000, 150000, 6));
    for (double v : {double(NAN), double(INFINITY)}) {
        EXPECT_TRUE(ForwardMayMiss(0, v));
        EXPECT_TRUE(InverseMayMiss(v, 0));
        EXPECT_TRUE(InverseMayMiss(0, v));
        EXPECT_TRUE(ZoneMayMiss(0, 0, v));
    }
}

// The zone numbers of longitudes, borders included; both widths.
TEST(Zones, NumberAndCentralMeridian) {
    struct Case {
        double L;
        int zone3, zone6;
    };
    const Case cases[] = {
        {0, 0, 1},
        {1.4999999999999998, 0, 1},
        {1.5, 1, 1},
        {5.999999999999999, 2, 1},
        {6, 2, 2},
        {115.5, 39, 20},
        {116.5, 39, 20},
        {117, 39, 20},
        {117.49999999999999, 39, 20},
        {117.5, 39, 20},
        {118.5, 40, 20},
        {120, 40, 21},
        {358.5, 120, 60},
        {359.99999999999994, 120, 60},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZoneOf(ZoneWidth::Three, c.L), c.zone3) << c.L;
        EXPECT_EQ(ZoneOf(ZoneWidth::Six, c.L), c.zone6) << c.L;
        const double lo3 = CentralMeridianOf(ZoneWidth::Three, c.zone3);
        const double lo6 = CentralMeridianOf(ZoneWidth::Six, c.zone6);
        EXPECT_TRUE(c.L >= lo3 - 1.5 && c.L < lo3 + 1.5) << c.L;
        EXPECT_TRUE(c.L >= lo6 - 3 && c.L < lo6 + 3) << c.L;
    }
    EXPECT_EQ(CentralMeridianOf(ZoneWidth::Six, 20), 117);
    for (double bad : {-1e-300, 360.0, double(NAN)}) {
        EXPECT_THROW(ZoneOf(ZoneWidth::Three, bad), OutOfDomainError);
    }
    EXPECT_THROW(CentralMeridianOf(ZoneWidth::Six, 0), OutOfDomainError);
    EXPECT_THROW(CentralMeridianOf(ZoneWidth::Three, 121), OutOfDomainError);
    EXPECT_THROW(SplitZonePrefix(ZoneWidth::Six, 61.2e6, 500000), OutOfDomainError);
    EXPECT_THROW(SplitZonePrefix(ZoneWidth::Six, -1, 500000), OutOfDomainError);
    const ZonedEasting z = SplitZonePrefix(ZoneWidth::Six, 20e6, 500000);  // y = −500 km
    EXPECT_EQ(z.zone, 20);
    EXPECT_EQ(z.Y, 0);

    // 3° zone 0 is written as 120, its meridian 0° = 360°; the side of the easting tells them
    // apart. An easting without a number is never read as zone 0.
    EXPECT_EQ(WithZonePrefix(ZoneWidth::Three, 0, 512345.5), 120512345.5);
    EXPECT_EQ(SplitZonePrefix(ZoneWidth::Three, 120500000, 500000).zone, 0);
    EXPECT_EQ(SplitZonePrefix(ZoneWidth::Three, 120499999.5, 500000).zone, 120);
    EXPECT_THROW(SplitZonePrefix(ZoneWidth::Three, 612345, 500000), OutOfDomainError);

    // Only the zone number of the meridian itself comes off, of either width.
    EXPECT_EQ(WithoutOwnZoneNumber(39512345.5, 500000, 117), 512345.5);
    EXPECT_EQ(WithoutOwnZoneNumber(20487654.5, 500000, 117), 487654.5);
    EXPECT_EQ(WithoutOwnZoneNumber(20012345.5, 0, -243), 12345.5);
    EXPECT_EQ(WithoutOwnZoneNumber(120512345.5, 500000, 360), 512345.5);
    EXPECT_EQ(WithoutOwnZoneNumber(120512345.5, 500000, 0), 512345.5);
    EXPECT_EQ(WithoutOwnZoneNumber(39512345.5, 500000, 231), 512345.5);  // 6° zone 39
    for (double lo : {114.0, 117.5, 225.0, double(NAN)}) {
        EXPECT_FALSE(WithoutOwnZoneNumber(39512345.5, 500000, lo)) << lo;
    }
    EXPECT_FALSE(WithoutOwnZoneNumber(612345, 500000, 117));
    EXPECT_FALSE(WithoutOwnZoneNumber(INFINITY, 500000, 117));

    // Offsets from a meridian modulo 360°, exact; nonsense left to be refused.
    EXPECT_EQ(MeridianOffset(-179, 180), 1);
    EXPECT_EQ(MeridianOffset(179, -180), -1);
    EXPECT_EQ(MeridianOffset(117.1, 117), 117.1 - 117);
    EXPECT_EQ(MeridianOffset(-180, 0), -180);
    EXPECT_EQ(MeridianOffset(-1e300, 117), -1e300);
}

// Points on zone borders and inside zones: the zone of L, its central meridian and the zone
// number in front of the easting give what PROJ gives with x_0 = n·1e6 + 500000, and read back.
TEST(Zones, PrefixedEastingsAgreeWithProjAndReadBack) {
    const GaussKruger gk(Method::Exact, Cgcs2000());
    for (ZoneWidth w : {ZoneWidth::Three, ZoneWidth::Six}) {
        const double width = static_cast<int>(w);
        const double firstBorder = w == ZoneWidth::Three ? 1.5 : 0;
        for (double border = firstBorder + 72; border <= 136; border += width) {
            const int zone = ZoneOf(w, border);
            const double lo = CentralMeridianOf(w, zone);
            ASSERT_EQ(lo, border + width / 2) << border;
            const double ls[] = {border, lo - 0.3, lo, lo + width / 2 - 1e-9};
            std::vector<std::string> lines;
            std::vector<double> prefixed;
            for (double b : {18.0, 53.5}) {
                for (double l : ls) {
                    ASSERT_EQ(ZoneOf(w, l), zone);
                    const GridPoint g = gk.Forward(b, l, lo);
                    prefixed.push_back(WithZonePrefix(w, zone, g.Y));
                    lines.push_back(Num(l) + " " + Num(b) + " 0 0");
                    const ZonedEasting back = SplitZonePrefix(w, prefixed.back(), 500000);
                    EXPECT_EQ(back.zone, zone);
                    EXPECT_NEAR(back.Y, g.Y, 1e-8);
                    const GeoPoint r = gk.Inverse(g.X, back.Y, CentralMeridianOf(w, back.zone));
                    EXPECT_NEAR(r.L, l, 1e-9);
                    EXPECT_NEAR(r.B, b, 1e-9);
                }
            }
            const auto proj = RunTool(Cct(Cgcs2000(), 1, zone * 1e6 + 500000, lo, false), lines);
            for (std::size_t i = 0; i < proj.size(); ++i) {
                EXPECT_NEAR(prefixed[i], proj[i].at(0), 1e-6) << lines[i] << " zone " << zone;
            }
        }
    }
}

TEST(GaussKruger, ExactAgreesWithCct) {
    unsigned seed = 1;
    for (const Setting& s : Settings()) {
        SCOPED_TRACE(s.ellipsoid.name);
        const GaussKruger gk(Method::Exact, s.ellipsoid, s.k0, s.fe);
        const auto pts = Points(s.lo, seed++);
        std::vector<std::string> geo;
        for (const auto& [b, l] : pts) geo.push_back(Num(l) + " " + Num(b) + " 0 0");
        const auto fwd = RunTool(Cct(s.ellipsoid, s.k0, s.fe, s.lo, false), geo);
        ASSERT_EQ(fwd.size(), pts.size());

        std::vector<std::string> plane;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const GridPoint g = gk.Forward(pts[i].first, pts[i].second, s.lo);
            EXPECT_NEAR(g.Y, fwd[i].at(0), 1e-6) << geo[i];  // cct: easting first
            EXPECT_NEAR(g.X, fwd[i].at(1), 1e-6) << geo[i];
            plane.push_back(Num(fwd[i][0]) + " " + Num(fwd[i][1]) + " 0 0");
        }
        const auto inv = RunTool(Cct(s.ellipsoid, s.k0, s.fe, s.lo, true), plane);
        ASSERT_EQ(inv.size(), pts.size());
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const GeoPoint g = gk.Inverse(fwd[i][1], fwd[i][0], s.lo);
            EXPECT_NEAR(g.L, inv[i].at(0), 1e-9) << plane[i];
            EXPECT_NEAR(g.B, inv[i].at(1), 1e-9) << plane[i];
        }
    }
}

// The zone transformation is the inverse on one meridian and the forward on the other, as a
// PROJ pipeline computes it.
TEST(GaussKruger, ExactZoneAgreesWithCctPipeline) {
    const GaussKruger gk(Method::Exact, Xian80());
    std::vector<std::string> plane;
    std::vector<GridPoint> ours;
    for (double x = 2.2e6; x < 5.5e6; x += 1.1e5) {
        for (double y = 250000; y <= 750000; y += 125000) {
            plane.push_back(Num(y) + " " + Num(x) + " 0 0");
            ours.push_back(gk.Zone(x, y, 111, 114));
        }
    }
    const std::string tm = "+proj=tmerc +a=6378140 +rf=298.257 +k_0=1 +x_0=500000";
    const auto proj = RunTool(
        "cct -d 12 +proj=pipeline +step +inv " + tm + " +lon_0=111 +step " + tm + " +lon_0=114",
        plane);
    for (std::size_t i = 0; i < proj.size(); ++i) {
        EXPECT_NEAR(ours[i].Y, proj[i].at(0), 1e-6) << plane[i];
        EXPECT_NEAR(ours[i].X, proj[i].at(1), 1e-6) << plane[i];
    }
}

// γ and k of both methods against GeographicLib's tool at the same geodetic point; for the
// inverse the tool's reverse projection of the same plane point.
TEST(GaussKruger, ConvergenceAndScaleAgreeWithTransverseMercatorProj) {
    constexpr auto kBoth = Extras::ConvergenceAndScale;
    for (const Setting& s : Settings()) {
        SCOPED_TRACE(s.ellipsoid.name);
        const bool classic = IsKrassovsky(s.ellipsoid);
        const GaussKruger exact(Method::Exact, s.ellipsoid, s.k0, s.fe);
        const auto pts = Points(s.lo, 7);
        std::vector<std::string> geo, plane;
        std::vector<GridPoint> fwd, cls;
        std::vector<GeoPoint> inv, clsInv;
        for (const auto& [b, l] : pts) {
            fwd.push_back(exact.Forward(b, l, s.lo, kBoth));
            geo.push_back(Num(b) + " " + Num(l));
            plane.push_back(Num(fwd.back().y) + " " + Num(fwd.back().X));
            inv.push_back(exact.Inverse(fwd.back().X, fwd.back().Y, s.lo, kBoth));
            if (classic) {
                const GaussKruger gk(Method::Classic, s.ellipsoid, s.k0, s.fe);
                cls.push_back(gk.Forward(b, l, s.lo, kBoth));
                clsInv.push_back(gk.Inverse(fwd.back().X, fwd.back().Y, s.lo, kBoth));
                geo.push_back(Num(clsInv.back().B) + " " + Num(clsInv.back().L));
            }
        }
        const auto tf = RunTool(TmProj(s.ellipsoid, s.k0, s.lo, false), geo);
        const auto tr = RunTool(TmProj(s.ellipsoid, s.k0, s.lo, true), plane);
        ASSERT_EQ(tr.size(), pts.size());
        const std::size_t step = classic ? 2 : 1;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const auto& t = tf.at(i * step);
            EXPECT_NEAR(fwd[i].Convergence, t.at(2), 1e-9) << geo[i * step];
            EXPECT_NEAR(fwd[i].Scale, t.at(3), 1e-9) << geo[i * step];
            EXPECT_NEAR(inv[i].Convergence, tr[i].at(2), 1e-9) << plane[i];
            EXPECT_NEAR(inv[i].Scale, tr[i].at(3), 1e-9) << plane[i];
            if (classic) {
                EXPECT_NEAR(cls[i].Convergence, t.at(2), 1e-9) << geo[i * step];
                EXPECT_NEAR(cls[i].Scale, t.at(3), 1e-9) << geo[i * step];
                const auto& c = tf.at(i * step + 1);
                EXPECT_NEAR(clsInv[i].Convergence, c.at(2), 1e-9) << geo[i * step + 1];
                EXPECT_NEAR(clsInv[i].Scale, c.at(3), 1e-9) << geo[i * step + 1];
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
