#include "core/classic_series.h"

#include <gtest/gtest.h>

#include <utility>

#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel {
namespace {

class Projection : public ::testing::Test {
  protected:
    const EllipsoidConstants c = EllipsoidConstants::Load();

    // The window's text of a metre value: rounded half to even to 4 decimals.
    static std::string Metres(double v) { return FormatFixed(RoundHalfEven(v, 4), "0.0000"); }
    static std::string Packed(double v) {
        return FormatFixed(RoundHalfEven(v, 10), "0.0000000000");
    }

    PlanePoint Forward(double packedB, double packedL, double packedLo) const {
        return ForwardProject(c, DecodePackedAngle(packedB), DecodePackedAngle(packedL),
                              DecodePackedAngle(packedLo));
    }
};

TEST_F(Projection, ForwardDocumentedPoints) {
    const PlanePoint west = Forward(30.3030, 116.3045, 117);
    EXPECT_EQ(west.X, 3376626.6403469066);
    EXPECT_EQ(west.Y(), 453203.4506491546);
    EXPECT_EQ(west.Sign, -1);
    EXPECT_EQ(Metres(west.Y()), "453203.4506");

    const PlanePoint east = Forward(30.3030, 117.2930, 117);
    EXPECT_EQ(Metres(east.X), "3376628.3754");
    EXPECT_EQ(Metres(east.Y()), "547196.5246");
    EXPECT_EQ(east.Sign, 1);

    const PlanePoint far = Forward(40, 120, 117);
    EXPECT_EQ(Metres(far.X), "4433921.0036");
    EXPECT_EQ(Metres(far.Y()), "756206.4161");
}

TEST_F(Projection, ForwardOnTheCentralMeridianIsTheMeridianArc) {
    const PlanePoint p = Forward(30.3030, 117, 117);
    EXPECT_EQ(p.Sign, 0);
    EXPECT_EQ(p.AbsY, 0);
    EXPECT_EQ(p.Y(), 500000);
    EXPECT_NEAR(p.X, 3376525.571225, 5e-7);

    const PlanePoint origin = Forward(0, 117, 117);
    EXPECT_EQ(origin.X, 0);
    EXPECT_EQ(origin.Y(), 500000);
}

TEST_F(Projection, InverseDocumentedPoints) {
    const GeodeticPoint g = InverseProject(c, 3380000, 612345.678, 117);
    EXPECT_EQ(g.L, 118.1706335096659);
    EXPECT_EQ(g.B, 30.534413106953995);
    EXPECT_EQ(Packed(DegreesToPacked(g.L)), "118.1014280635");
    EXPECT_EQ(Packed(DegreesToPacked(g.B)), "30.3203887185");

    const GeodeticPoint meridian = InverseProject(c, 3380000, 500000, 117);
    EXPECT_EQ(meridian.L, 117);
    EXPECT_EQ(meridian.B, FootpointLatitude(c, 3380000));
    EXPECT_EQ(Packed(DegreesToPacked(meridian.B)), "30.3222823159");

    const GeodeticPoint origin = InverseProject(c, 0, 500000, 117);
    EXPECT_EQ(origin.B, 0);
    EXPECT_EQ(origin.L, 117);
}

TEST_F(Projection, InverseSideFollowsTheEasting) {
    EXPECT_LT(InverseProject(c, 3380000, 387654.322, 117).L, 117);
    EXPECT_GT(InverseProject(c, 3380000, 612345.678, 117).L, 117);
}

TEST_F(Projection, FootpointLatitudeIsAFixedPointOfTheArcSeries) {
    const double bf = FootpointLatitude(c, 3380000);
    EXPECT_EQ(bf, 30.53967309972463);
    EXPECT_NEAR(ForwardProject(c, bf, 117, 117).X, 3380000, 1e-6);
}

TEST_F(Projection, ZoneDocumentedPoints) {
    struct Case {
        double x1, y1, lo, ls;
        const char* x2;
        const char* y2;
    };
    const Case cases[] = {
        {3380000, 612345.678, 117, 117, "3380000.0005", "612345.6780"},
        {3380000, 500000, 117, 117, "3380000.0000", "500000.0000"},
        {3380000, 612345.678, 117, 120, "3380841.1851", "324427.1437"},
        {-3380000, 612345.678, 117, 120, "-3380841.1851", "324427.1437"},
        {3380000, 387654.322, 117, 114, "3380841.1851", "675572.8563"},
        {3380000, 500000, 117, 120, "3383832.7627", "212051.2392"},
        {0, 500000, 117, 120, "0.0000", "165882.1409"},
        {3380000, 612345.678, 117, 118.3, "3379463.0164", "468391.6906"},
        {3380000, 612345.678, 117, 118, "3379429.2471", "516375.1515"},
        {3380000, 387654.322, 117, 118, "3381422.4089", "291667.1158"},
    };
    for (const Case& k : cases) {
        const PlanePoint p =
            ZoneTransform(c, k.x1, k.y1, DecodePackedAngle(k.lo), DecodePackedAngle(k.ls));
        EXPECT_EQ(Metres(p.X), k.x2) << k.x1 << ' ' << k.y1 << ' ' << k.ls;
        EXPECT_EQ(Metres(p.Y()), k.y2) << k.x1 << ' ' << k.y1 << ' ' << k.ls;
    }
}

// The series see the longitude difference modulo 360°: −179° is 1° east of 180°.
TEST_F(Projection, LongitudeDifferencesAreTakenModulo360) {
    const PlanePoint east = ForwardProject(c, 30, 1, 0);
    for (const auto& [L, Lo] : {std::pair{-179.0, 180.0}, {181.0, 180.0}, {-359.0, 0.0}}) {
        const PlanePoint p = ForwardProject(c, 30, L, Lo);
        EXPECT_EQ(p.X, east.X) << L << ' ' << Lo;
        EXPECT_EQ(p.Y(), east.Y()) << L << ' ' << Lo;
    }
    const PlanePoint across = ZoneTransform(c, 3380000, 612345.678, 180, -177);
    const PlanePoint along = ZoneTransform(c, 3380000, 612345.678, 180, 183);
    EXPECT_NEAR(across.X, along.X, 1e-6);
    EXPECT_NEAR(across.Y(), along.Y(), 1e-6);
}

TEST_F(Projection, ZoneOnTheNewMeridianHasNoEastingOffset) {
    const PlanePoint p = ZoneTransform(c, 3380000, 500000, 117, 117);
    EXPECT_EQ(p.Sign, 0);
    EXPECT_EQ(p.Y(), 500000);
    EXPECT_EQ(ZoneTransform(c, 0, 500000, 117, 120).X, 0);
}

}  // namespace
}  // namespace quorvel
