// The reference results of an independent implementation, compared bit for bit.
#include <gtest/gtest.h>

#include "core/classic_series.h"
#include "core/gauss_kruger.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "csv_fixture.h"

namespace quorvel {
namespace {

using testing::Exact;
using testing::ReadFixture;

const EllipsoidConstants kC = EllipsoidConstants::Load();
// The classic series once more through the interface that also serves the exact method.
const GaussKruger kClassic(Method::Classic);

std::string Metres(double v) {
    return FormatFixed(RoundHalfEven(v, 4), "0.0000");
}
std::string Packed(double v) {
    return FormatFixed(RoundHalfEven(v, 10), "0.0000000000");
}

TEST(ReferenceVectors, Forward) {
    const auto rows = ReadFixture("forward.csv");
    ASSERT_GT(rows.size(), 300u);
    for (const auto& r : rows) {
        SCOPED_TRACE("forward id " + r.at("id"));
        const double b = DecodePackedAngle(ParseNumber(r.at("B_text")));
        const double l = DecodePackedAngle(ParseNumber(r.at("L_text")));
        const double lo = DecodePackedAngle(ParseNumber(r.at("Lo_text")));
        EXPECT_EQ(b, Exact(r.at("B_deg")));
        EXPECT_EQ(l, Exact(r.at("L_deg")));
        EXPECT_EQ(lo, Exact(r.at("Lo_deg")));
        const PlanePoint p = ForwardProject(kC, b, l, lo);
        EXPECT_EQ(p.Sign, std::stoi(r.at("s")));
        EXPECT_EQ(p.X, Exact(r.at("X")));
        EXPECT_EQ(p.AbsY, Exact(r.at("absy")));
        EXPECT_EQ(p.Y(), Exact(r.at("Y")));
        EXPECT_EQ(Metres(p.X), r.at("X_text"));
        EXPECT_EQ(Metres(p.Y()), r.at("Y_text"));
        const GridPoint q = kClassic.Forward(b, l, lo);
        EXPECT_EQ(q.X, Exact(r.at("X")));
        EXPECT_EQ(q.Y, Exact(r.at("Y")));
    }
}

TEST(ReferenceVectors, Inverse) {
    const auto rows = ReadFixture("inverse.csv");
    ASSERT_GT(rows.size(), 300u);
    for (const auto& r : rows) {
        SCOPED_TRACE("inverse id " + r.at("id"));
        const double lo = DecodePackedAngle(ParseNumber(r.at("Lo_text")));
        EXPECT_EQ(lo, Exact(r.at("Lo_deg")));
        const GeodeticPoint g =
            InverseProject(kC, ParseNumber(r.at("X_text")), ParseNumber(r.at("Y_text")), lo);
        EXPECT_EQ(g.B, Exact(r.at("B_deg")));
        EXPECT_EQ(g.L, Exact(r.at("L_deg")));
        const GeoPoint q =
            kClassic.Inverse(ParseNumber(r.at("X_text")), ParseNumber(r.at("Y_text")), lo);
        EXPECT_EQ(q.B, Exact(r.at("B_deg")));
        EXPECT_EQ(q.L, Exact(r.at("L_deg")));
        const double lp = DegreesToPacked(g.L);
        const double bp = DegreesToPacked(g.B);
        EXPECT_EQ(lp, Exact(r.at("LP")));
        EXPECT_EQ(bp, Exact(r.at("BP")));
        EXPECT_EQ(Packed(lp), r.at("LP_text"));
        EXPECT_EQ(Packed(bp), r.at("BP_text"));
    }
}

TEST(ReferenceVectors, Zone) {
    const auto rows = ReadFixture("zone.csv");
    ASSERT_GT(rows.size(), 300u);
    for (const auto& r : rows) {
        SCOPED_TRACE("zone id " + r.at("id"));
        const double lo = DecodePackedAngle(ParseNumber(r.at("Lo_text")));
        const double ls = DecodePackedAngle(ParseNumber(r.at("Ls_text")));
        EXPECT_EQ(lo, Exact(r.at("Lo_deg")));
        EXPECT_EQ(ls, Exact(r.at("Ls_deg")));
        const PlanePoint p =
            ZoneTransform(kC, ParseNumber(r.at("X1_text")), ParseNumber(r.at("Y1_text")), lo, ls);
        EXPECT_EQ(p.Sign, std::stoi(r.at("s")));
        EXPECT_EQ(p.X, Exact(r.at("X2")));
        EXPECT_EQ(p.AbsY, Exact(r.at("absy2")));
        EXPECT_EQ(p.Y(), Exact(r.at("Y2")));
        EXPECT_EQ(Metres(p.X), r.at("X2_text"));
        EXPECT_EQ(Metres(p.Y()), r.at("Y2_text"));
        const GridPoint q =
            kClassic.Zone(ParseNumber(r.at("X1_text")), ParseNumber(r.at("Y1_text")), lo, ls);
        EXPECT_EQ(q.X, Exact(r.at("X2")));
        EXPECT_EQ(q.Y, Exact(r.at("Y2")));
    }
}

TEST(ReferenceVectors, DisplayRules) {
    for (const auto& r : ReadFixture("display.csv")) {
        SCOPED_TRACE("display id " + r.at("id"));
        double v = ParseNumber(r.at("value_text"));
        if (!r.at("round_k").empty()) v = RoundHalfEven(v, std::stoi(r.at("round_k")));
        EXPECT_EQ(FormatFixed(v, r.at("pattern")), r.at("text"));
    }
}

}  // namespace
}  // namespace quorvel
