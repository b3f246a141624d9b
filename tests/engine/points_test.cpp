#include "engine/projection/points.h"

#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/Math.hpp>
#include <GeographicLib/TransverseMercator.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "core/number_text.h"
#include "core/packed_angle.h"
#include "csv_fixture.h"

namespace quorvel::engine {
namespace {

using quorvel::testing::Exact;
using quorvel::testing::ReadFixture;

const EllipsoidConstants kC = EllipsoidConstants::Load();

std::string Shown(Computation mode, double v, bool full = false) {
    char text[kMaxResultText];
    return std::string(text, WriteResult(text, mode, v, full));
}

TEST(ComputeRow, ForwardReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("forward.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))), 0};
        const RowResult r =
            ComputeRow(Computation::Forward, kC, m, row.at("L_text"), row.at("B_text"));
        ASSERT_EQ(r.status, RowStatus::Ok) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("X"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("Y"))) << row.at("id");
        EXPECT_EQ(Shown(Computation::Forward, r.first), row.at("X_text")) << row.at("id");
        EXPECT_EQ(Shown(Computation::Forward, r.second), row.at("Y_text")) << row.at("id");
        EXPECT_EQ(Exact(Shown(Computation::Forward, r.first, true)), r.first) << row.at("id");
    }
}

TEST(ComputeRow, InverseReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("inverse.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))), 0};
        const RowResult r =
            ComputeRow(Computation::Inverse, kC, m, row.at("X_text"), row.at("Y_text"));
        ASSERT_EQ(r.status, RowStatus::Ok) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("LP"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("BP"))) << row.at("id");
        EXPECT_EQ(Shown(Computation::Inverse, r.first), row.at("LP_text")) << row.at("id");
        EXPECT_EQ(Shown(Computation::Inverse, r.second), row.at("BP_text")) << row.at("id");
        EXPECT_EQ(Exact(Shown(Computation::Inverse, r.second, true)), r.second) << row.at("id");
    }
}

TEST(ComputeRow, ZoneReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("zone.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))),
                          DecodePackedAngle(ParseNumber(row.at("Ls_text")))};
        const RowResult r =
            ComputeRow(Computation::Zone, kC, m, row.at("X1_text"), row.at("Y1_text"));
        // Points far out on Ls are refused; the check changes no result.
        ASSERT_TRUE(r.status == RowStatus::Ok || r.status == RowStatus::Inaccurate) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("X2"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("Y2"))) << row.at("id");
        EXPECT_EQ(Shown(Computation::Zone, r.first), row.at("X2_text")) << row.at("id");
        EXPECT_EQ(Shown(Computation::Zone, r.second), row.at("Y2_text")) << row.at("id");
    }
}

// The projector's classic method is the window's computation bit for bit, whatever columns it
// adds.
TEST(Projector, ClassicGivesTheWindowsBitsOnTheReferenceVectors) {
    Geodesy g;
    g.convergence = true;
    const Projector projector(g);
    const struct {
        Computation mode;
        const char* file;
        const char* a;
        const char* b;
    } sets[] = {{Computation::Forward, "forward.csv", "L_text", "B_text"},
                {Computation::Inverse, "inverse.csv", "X_text", "Y_text"},
                {Computation::Zone, "zone.csv", "X1_text", "Y1_text"}};
    for (const auto& set : sets) {
        for (const auto& row : ReadFixture(set.file)) {
            Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))), 0};
            if (set.mode == Computation::Zone) {
                m.ls = DecodePackedAngle(ParseNumber(row.at("Ls_text")));
            }
            const RowResult want = ComputeRow(set.mode, kC, m, row.at(set.a), row.at(set.b));
            RowExtras x;
            const RowResult got = projector.Compute(set.mode, m, row.at(set.a), row.at(set.b), x);
            ASSERT_EQ(got.status, want.status) << row.at("id");
            EXPECT_EQ(got.first, want.first) << row.at("id");
            EXPECT_EQ(got.second, want.second) << row.at("id");
            EXPECT_TRUE(std::isfinite(x.convergence)) << row.at("id");
        }
    }
}

// classic − exact, north and east on the ground: checked against the geodesic between the two
// inverse results, 5 deg from the central meridian where the classic inverse misses by decimetres.
TEST(Projector, CompareIsClassicMinusExactInMillimetresOnTheGround) {
    Geodesy g;
    g.compare = true;
    const Projector projector(g);
    const GaussKruger exact(Method::Exact);
    const GeographicLib::Geodesic geodesic(Krassovsky().a, Krassovsky().f);
    for (const char* y : {"980000", "20000"}) {  // east and west of 117 deg
        RowExtras x;
        const RowResult r = projector.Compute(Computation::Inverse, {117, 0}, "3400000", y, x);
        ASSERT_EQ(r.status, RowStatus::Ok);
        const GeoPoint e = exact.Inverse(3400000, ParseNumber(y), 117);
        double s12, azi1, azi2;
        geodesic.Inverse(e.B, e.L, DecodePackedAngle(r.second), DecodePackedAngle(r.first), s12,
                         azi1, azi2);
        EXPECT_GT(s12, 0.1) << y;
        EXPECT_NEAR(std::hypot(x.diff1, x.diff2), s12 * 1000, 0.002 * s12 * 1000) << y;
        EXPECT_NEAR(x.diff1, s12 * 1000 * std::cos(azi1 * M_PI / 180), 0.5) << y;
        EXPECT_NEAR(x.diff2, s12 * 1000 * std::sin(azi1 * M_PI / 180), 0.5) << y;
    }
    // Forward: the plane differences themselves, in millimetres.
    RowExtras x;
    const RowResult f = projector.Compute(Computation::Forward, {117, 0}, "122.3", "30", x);
    const GridPoint e = exact.Forward(30, 122.5, 117);
    EXPECT_NEAR(x.diff1, (f.first - e.X) * 1000, 1e-3);
    EXPECT_NEAR(x.diff2, (f.second - e.Y) * 1000, 1e-3);
    EXPECT_GT(std::fabs(x.diff2), 0.1);  // the forward series too, 5.5 deg out
}

// Random points over everything the limits let through (all latitudes, offsets to 45°,
// northings to the pole, eastings to ±1,000 km; offsets and eastings denser near the meridian,
// where the bounds that spare the comparison lie), checked against GeographicLib itself: the
// geodesic between the classic and the exact inverse point, the plane distance of the forward
// and the zone. More than 1 m off, or with no exact point within 35°: refused; more than 1 cm:
// a warning (a miss of that size in RowResult). The projector judges as ComputeRow does.
TEST(ComputeRow, ClassicResultsFarFromTheExactOnesAreRefusedOrWarned) {
    const Ellipsoid k = Krassovsky();
    const GeographicLib::TransverseMercator tm(k.a, k.f, 1);
    const GeographicLib::Geodesic geodesic(k.a, k.f);
    Geodesy g;
    g.convergence = true;
    const Projector projector(g);
    std::mt19937_64 rng(15);
    std::uniform_real_distribution<double> unit(0, 1), sign(-1, 1);
    auto spread = [&](double max) {
        return std::copysign(max * std::pow(unit(rng), 2), sign(rng));
    };
    auto text = [](double v) {
        char s[32];
        std::snprintf(s, sizeof s, "%.17g", v);
        return std::string(s);
    };
    int counts[3][3] = {};  // mode by refused, warned, quiet
    for (int i = 0; i < 30000; ++i) {
        const auto mode = static_cast<Computation>(1 + i % 3);
        Meridians m{std::round(360 * unit(rng)), 0};
        m.ls = m.lo + (i % 7 == 0 ? 180 : spread(45));
        std::string a, b;
        double B, L, X = 10002000 * sign(rng);
        if (mode == Computation::Forward) {
            a = text(DegreesToPacked(m.lo + spread(45)));
            b = text(DegreesToPacked(90 * sign(rng)));
            L = DecodePackedAngle(ParseNumber(a));
            B = DecodePackedAngle(ParseNumber(b));
        } else {
            a = text(X);
            b = text(500000 + spread(999999));
            tm.Reverse(m.lo, ParseNumber(b) - 500000, X, B, L);
            L = m.lo + GeographicLib::Math::AngDiff(m.lo, L);
        }
        const RowResult r = ComputeRow(mode, kC, m, a, b);
        double miss = NAN;  // no exact point within 35° of Lo (and Ls)
        double x, y;
        if (mode == Computation::Forward && std::fabs(L - m.lo) <= 35) {
            tm.Forward(m.lo, B, L, y, x);
            miss = std::hypot(r.first - x, r.second - 500000 - y);
        } else if (mode == Computation::Inverse && std::fabs(L - m.lo) <= 35) {
            const double Bc = DecodePackedAngle(r.second), Lc = DecodePackedAngle(r.first);
            double azi1, azi2;
            geodesic.Inverse(B, L, Bc, Lc, miss, azi1, azi2);
            if (!(std::fabs(Bc) <= 90)) miss = INFINITY;
        } else if (mode == Computation::Zone && std::fabs(L - m.lo) <= 35 &&
                   std::fabs(L - m.ls) <= 35) {
            tm.Forward(m.ls, B, L, y, x);
            miss = std::hypot(r.first - x, r.second - 500000 - y);
        }
        const std::string where = std::string(ColumnsOf(mode).mode) + " " + a + " " + b + " Lo " +
                                  text(m.lo) + " Ls " + text(m.ls) + " miss " + text(miss);
        RowExtras extras;
        const RowResult p = projector.Compute(mode, m, a, b, extras);
        EXPECT_EQ(p.status, r.status) << where;
        EXPECT_TRUE(p.miss == r.miss || (std::isnan(p.miss) && std::isnan(r.miss))) << where;
        int* count = counts[static_cast<int>(mode) - 1];
        if (!(miss <= 1.0001)) {  // NaN too
            EXPECT_TRUE(r.status == RowStatus::Inaccurate || r.status == RowStatus::NoFiniteResult)
                << where;
            ++count[0];
        } else if (miss > 0.0100001 && miss <= 0.9999) {
            EXPECT_EQ(r.status, RowStatus::Ok) << where;
            EXPECT_NEAR(r.miss, miss, 1e-4 * miss) << where;
            ++count[1];
        } else if (miss <= 0.0099999) {
            EXPECT_EQ(r.status, RowStatus::Ok) << where;
            EXPECT_LE(r.miss, kClassicWarnMiss) << where;
            ++count[2];
        }
    }
    // Every mode met all three outcomes.
    for (const auto& mode : counts) {
        for (int n : mode) EXPECT_GT(n, 200) << mode[0] << " " << mode[1] << " " << mode[2];
    }
}

// With another k0 and false easting the projector compares in the series' own terms: the miss
// is the one GeographicLib gives with that k0.
TEST(Projector, MissesWithAnotherScaleAndFalseEasting) {
    Geodesy g;
    g.k0 = 0.9996;
    g.falseEasting = 0;
    const Projector projector(g);
    const Ellipsoid e = Krassovsky();
    const GeographicLib::TransverseMercator tm(e.a, e.f, g.k0);
    RowExtras extras;
    double x, y, B, L;
    RowResult r = projector.Compute(Computation::Forward, {117, 0}, "129", "0", extras);
    tm.Forward(117, 0, 129, y, x);
    EXPECT_NEAR(r.miss, std::hypot(r.first - x, r.second - y), 1e-6);
    EXPECT_GT(r.miss, 0.08);

    r = projector.Compute(Computation::Inverse, {117, 0}, "3380000", "350000", extras);
    tm.Reverse(117, 350000, 3380000, B, L);
    double s12, azi1, azi2;
    GeographicLib::Geodesic(e.a, e.f).Inverse(B, L, DecodePackedAngle(r.second),
                                              DecodePackedAngle(r.first), s12, azi1, azi2);
    EXPECT_NEAR(r.miss, s12, 1e-4 * s12);
    EXPECT_GT(r.miss, 0.04);

    r = projector.Compute(Computation::Zone, {117, 126}, "3380000", "-100000", extras);
    tm.Reverse(117, -100000, 3380000, B, L);
    tm.Forward(126, B, L, y, x);
    EXPECT_NEAR(r.miss, std::hypot(r.first - x, r.second - y), 1e-6);
    EXPECT_GT(r.miss, 0.01);
}

TEST(ComputeRow, NamesTheFirstValueThatIsNotANumber) {
    const Meridians m{117, 120};
    for (Computation mode : {Computation::Forward, Computation::Inverse, Computation::Zone}) {
        RowResult r = ComputeRow(mode, kC, m, "abc", "30");
        EXPECT_EQ(r.status, RowStatus::NotANumber);
        EXPECT_EQ(r.field, 1);
        r = ComputeRow(mode, kC, m, "117", "");
        EXPECT_EQ(r.status, RowStatus::NotANumber);
        EXPECT_EQ(r.field, 2);
        r = ComputeRow(mode, kC, m, "x", "y");
        EXPECT_EQ(r.field, 1);
        r = ComputeRow(mode, kC, m, "117", "1e999");
        EXPECT_EQ(r.status, RowStatus::OutOfRange);
        EXPECT_EQ(r.field, 2);
        for (const char* text : {"inf", "nan", "0x10", "1,5", "１２ａ"}) {
            EXPECT_EQ(ComputeRow(mode, kC, m, text, "1").status, RowStatus::NotANumber) << text;
        }
    }
}

TEST(ComputeRow, ValuesBeyondTheirLimitsAreRefusedNotComputed) {
    const Meridians m{117, 120};
    struct Case {
        Computation mode;
        const char* a;
        const char* b;
        int field;  // 0: within the limits
        Limit limit;
        RowStatus within = RowStatus::Ok;  // when within them
    };
    // Within the limits, points far out are refused by the comparison with the exact method.
    for (const Case& c : std::initializer_list<Case>{
             {Computation::Forward, "117", "90.0001", 2, Limit::Latitude},
             {Computation::Forward, "117", "-90", 0, Limit::None},
             {Computation::Forward, "162.0001", "30", 1, Limit::MeridianOffset},
             {Computation::Forward, "72", "30", 0, Limit::None, RowStatus::Inaccurate},
             {Computation::Forward, "1e300", "30", 1, Limit::MeridianOffset},
             {Computation::Inverse, "-10002000.001", "500000", 1, Limit::Northing},
             {Computation::Inverse, "10002000", "500000", 0, Limit::None},
             {Computation::Inverse, "3380000", "1500000", 2, Limit::EastingOffset},
             {Computation::Inverse, "3380000", "-499999.999", 0, Limit::None,
              RowStatus::Inaccurate},
             {Computation::Zone, "3380000", "1e300", 2, Limit::EastingOffset},
             {Computation::Zone, "3380000", "38500000", 2, Limit::EastingOffset},
             {Computation::Zone, "3380000", "39500000", 0, Limit::None},      // 117's own zone
             {Computation::Forward, "-116", "30", 1, Limit::MeridianOffset},  // 127° modulo 360°
         }) {
        const RowResult r = ComputeRow(c.mode, kC, m, c.a, c.b);
        EXPECT_EQ(r.field, c.field) << c.a << ' ' << c.b;
        EXPECT_EQ(r.limit, c.limit) << c.a << ' ' << c.b;
        EXPECT_EQ(r.status, c.field == 0 ? c.within : RowStatus::BeyondLimit) << c.a;
        if (c.a == std::string("-116")) {
            EXPECT_EQ(r.value, 127);
        }
    }
}

TEST(PackedExcess, MinutesOrSecondsOfSixtyOrMoreAsTyped) {
    EXPECT_EQ(PackedExcess("116.75"), "75 minutes");
    EXPECT_EQ(PackedExcess("30.3060"), "60 seconds");
    EXPECT_EQ(PackedExcess("-30.6"), "60 minutes");
    EXPECT_EQ(PackedExcess("１１６．７５"), "75 minutes");
    EXPECT_EQ(PackedExcess("点.30"), "");  // other characters: read once, as they are
    EXPECT_EQ(PackedExcess("30.59599"), "");
    EXPECT_EQ(PackedExcess("0.29"), "");  // 0°29′, however the double falls
    EXPECT_EQ(PackedExcess("117"), "");
    EXPECT_EQ(PackedExcess("1.1675e2"), "");  // exponent forms are not checked
}

TEST(ComputeRow, AcceptsTheNumberFormsTheWindowAccepts) {
    const Meridians m{117, 0};
    const RowResult plain = ComputeRow(Computation::Inverse, kC, m, "3380000", "612345.678");
    for (auto [x, y] : {std::pair{"3.38E6", "612345.678"},
                        {" 3380000 ", "+612345.678"},
                        {"3380000.", "6.12345678e5"},
                        {"３３８００００", "６１２３４５．６７８"}}) {
        const RowResult r = ComputeRow(Computation::Inverse, kC, m, x, y);
        ASSERT_EQ(r.status, RowStatus::Ok) << x << ' ' << y;
        EXPECT_EQ(r.first, plain.first);
        EXPECT_EQ(r.second, plain.second);
    }
}

TEST(ColumnsOf, HeadersInTheWindowsOrder) {
    EXPECT_EQ(ColumnsOf(Computation::Forward).header,
              (std::array<std::string_view, 5>{"name", "L", "B", "X", "Y"}));
    EXPECT_EQ(ColumnsOf(Computation::Inverse).header,
              (std::array<std::string_view, 5>{"name", "X", "Y", "L", "B"}));
    EXPECT_EQ(ColumnsOf(Computation::Zone).header,
              (std::array<std::string_view, 5>{"name", "X1", "Y1", "X2", "Y2"}));
}

}  // namespace
}  // namespace quorvel::engine
