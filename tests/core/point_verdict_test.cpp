#include "core/point_verdict.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "core/classic_series.h"
#include "core/krassovsky_constants.h"

namespace quorvel {
namespace {

double Above(double v) {
    return std::nextafter(v, INFINITY);
}

// Each range limit exactly at its value, just beyond it on either side, and for values that are
// no numbers: the limit itself is within, except for the easting offset, and NaN never is.
TEST(PointVerdict, RangeLimitsAtTheirEdges) {
    struct Case {
        Limit limit;
        double max;
        bool maxWithin;
    };
    for (const Case c :
         {Case{Limit::Latitude, 90, true}, Case{Limit::MeridianOffset, 45, true},
          Case{Limit::Northing, 10002000, true}, Case{Limit::EastingOffset, 1000000, false},
          Case{Limit::Longitude, 360, true}}) {
        SCOPED_TRACE(static_cast<int>(c.limit));
        EXPECT_FALSE(IsBeyond(c.limit, 0));
        EXPECT_FALSE(IsBeyond(c.limit, std::nextafter(c.max, 0)));
        EXPECT_FALSE(IsBeyond(c.limit, -std::nextafter(c.max, 0)));
        EXPECT_EQ(IsBeyond(c.limit, c.max), !c.maxWithin);
        EXPECT_EQ(IsBeyond(c.limit, -c.max), !c.maxWithin);
        EXPECT_TRUE(IsBeyond(c.limit, Above(c.max)));
        EXPECT_TRUE(IsBeyond(c.limit, -Above(c.max)));
        EXPECT_TRUE(IsBeyond(c.limit, NAN));
        EXPECT_TRUE(IsBeyond(c.limit, INFINITY));
        EXPECT_TRUE(IsBeyond(c.limit, -INFINITY));
    }
    // The exact method reaches 35° only; the other limits do not depend on the method.
    EXPECT_FALSE(IsBeyond(Limit::MeridianOffset, 35, Method::Exact));
    EXPECT_TRUE(IsBeyond(Limit::MeridianOffset, Above(35), Method::Exact));
    EXPECT_FALSE(IsBeyond(Limit::MeridianOffset, 40));
    EXPECT_TRUE(IsBeyond(Limit::MeridianOffset, -40, Method::Exact));
    EXPECT_FALSE(IsBeyond(Limit::Latitude, 90, Method::Exact));
    // Limits that are not a range of values are never found here.
    for (Limit l : {Limit::None, Limit::ZoneNumber, Limit::PrefixedEasting}) {
        EXPECT_FALSE(IsBeyond(l, NAN));
    }
}

// The miss against the two thresholds, the scale that carries it into the run's plane, and a
// point without an exact counterpart.
TEST(PointVerdict, MissesAgainstTheWarningAndTheRefusal) {
    const auto judged = [](double metres, double scale = 1) {
        return Judge(SeriesMiss{metres, 0, false}, scale);
    };
    EXPECT_EQ(judged(0).verdict, SeriesVerdict::Kept);
    EXPECT_EQ(judged(kClassicWarnMiss).verdict, SeriesVerdict::Kept);
    EXPECT_EQ(judged(Above(kClassicWarnMiss)).verdict, SeriesVerdict::Warned);
    EXPECT_EQ(judged(kClassicMaxMiss).verdict, SeriesVerdict::Warned);
    EXPECT_EQ(judged(Above(kClassicMaxMiss)).verdict, SeriesVerdict::Refused);
    EXPECT_EQ(judged(INFINITY).verdict, SeriesVerdict::Refused);
    EXPECT_EQ(judged(INFINITY).miss, INFINITY);

    const SeriesJudgement scaled = judged(0.6, 2);
    EXPECT_EQ(scaled.verdict, SeriesVerdict::Refused);
    EXPECT_EQ(scaled.miss, 1.2);
    EXPECT_EQ(judged(0.006, 2).verdict, SeriesVerdict::Warned);

    const SeriesJudgement none = Judge(SeriesMiss{std::nullopt, 178.83, true});
    EXPECT_EQ(none.verdict, SeriesVerdict::Refused);
    EXPECT_TRUE(std::isnan(none.miss));
    EXPECT_EQ(none.offset, 178.83);
    EXPECT_TRUE(none.fromTarget);
}

// Inside the bounds the classic result is not even computed; past them it is compared, and a
// point is kept, warned of or refused by how far the series are off.
TEST(PointVerdict, ClassicSeriesComparedOnlyWhereTheyMayMiss) {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const ClassicCheck check;
    int computed = 0;
    const auto forward = [&](double B, double l) {
        return JudgeForward(check, B, l, [&] {
            ++computed;
            const PlanePoint p = ForwardProject(c, B, 117 + l, 117);
            return std::pair{p.X, p.Sign * p.AbsY};
        });
    };
    SeriesJudgement j = forward(0, 7.5);
    EXPECT_EQ(j.verdict, SeriesVerdict::Kept);
    EXPECT_EQ(j.miss, 0);
    EXPECT_EQ(computed, 0);

    j = forward(0, 9);  // the series reach 1 cm at 8.84° on the equator
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(j.verdict, SeriesVerdict::Warned);
    EXPECT_GT(j.miss, kClassicWarnMiss);
    EXPECT_LT(j.miss, 0.1);

    j = forward(0, 35);
    EXPECT_EQ(j.verdict, SeriesVerdict::Refused);
    EXPECT_NEAR(j.miss, 444.51, 0.005);

    j = forward(0, 35.001);
    EXPECT_EQ(j.verdict, SeriesVerdict::Refused);
    EXPECT_TRUE(std::isnan(j.miss));
    EXPECT_DOUBLE_EQ(j.offset, 35.001);

    // A value that is no number is never kept unchecked.
    for (double v : {double(NAN), double(INFINITY)}) {
        EXPECT_EQ(JudgeForward(check, 0, v,
                               [] {
                                   return std::pair{0.0, 0.0};
                               })
                      .verdict,
                  SeriesVerdict::Refused);
        EXPECT_EQ(JudgeInverse(check, v, 0,
                               [] {
                                   return std::pair{0.0, 0.0};
                               })
                      .verdict,
                  SeriesVerdict::Refused);
    }
}

TEST(PointVerdict, InverseAndZoneChange) {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const ClassicCheck check;
    const auto inverse = [&](double X, double y) {
        return JudgeInverse(check, X, y, [&] {
            const GeodeticPoint g = InverseProjectOffset(c, X, y, 117);
            return std::pair{g.B, g.L - 117};
        });
    };
    EXPECT_EQ(inverse(-3380000, 192000).verdict, SeriesVerdict::Kept);
    EXPECT_EQ(inverse(-3380000, 192000).miss, 0);
    EXPECT_EQ(inverse(3380000, 260000).verdict, SeriesVerdict::Warned);
    const SeriesJudgement pole = inverse(10001965, 22200);  // past the pole for the series
    EXPECT_EQ(pole.verdict, SeriesVerdict::Refused);
    EXPECT_NEAR(pole.offset, 89.55, 0.01);

    const auto zone = [&](double X1, double y1, double shift, double scale = 1) {
        return JudgeZone(
            check, X1, y1, shift,
            [&] {
                const PlanePoint p = ZoneTransformOffset(c, X1, y1, 117, 117 + shift);
                return std::pair{p.X, p.Sign * p.AbsY};
            },
            scale);
    };
    EXPECT_EQ(zone(3380000, 150000, 3).verdict, SeriesVerdict::Kept);
    const SeriesJudgement far = zone(3380000, 112345.678, 180);
    EXPECT_EQ(far.verdict, SeriesVerdict::Refused);
    EXPECT_TRUE(far.fromTarget);
    EXPECT_NEAR(far.offset, 178.83, 0.01);
    // The miss is scaled into the run's plane before it is judged.
    const SeriesJudgement once = zone(3380000, 150000, 12);
    ASSERT_EQ(once.verdict, SeriesVerdict::Warned);
    EXPECT_EQ(zone(3380000, 150000, 12, 2).miss, once.miss * 2);
}

}  // namespace
}  // namespace quorvel
