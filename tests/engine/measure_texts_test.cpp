// The texts of quorvel-batch distance and area: packed bearings at their carries, the points
// read with zone numbers, the legs' records.
#include "engine/measure/measure_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::engine {
namespace {

TEST(MeasureTexts, PackedAzimuthCarriesWholeMinutesAndDegrees) {
    EXPECT_EQ(PackedAzimuthText(0), "0.000000");
    EXPECT_EQ(PackedAzimuthText(90), "90.000000");
    // 45.35° is 45°21′ exactly: not 45°20′59.99…″ rounded up to 45°20′60″.
    EXPECT_EQ(PackedAzimuthText(45.35), "45.210000");
    EXPECT_EQ(PackedAzimuthText(117.0 + 31.0 / 60 + 59.995 / 3600), "117.320000");
    EXPECT_EQ(PackedAzimuthText(53.13010235415598), "53.074837");
    // Within half a hundredth of a second below 360: 0, never 360.
    EXPECT_EQ(PackedAzimuthText(360 - 1e-9), "0.000000");
    EXPECT_EQ(PackedAzimuthText(359.99), "359.592400");
}

MeasureJob Projected(const char* lo) {
    MeasureJob m;
    m.projected = true;
    m.job.mode = Computation::Inverse;
    m.job.geodesy.ellipsoid = Cgcs2000();
    m.job.geodesy.method = Method::Exact;
    std::vector<Diagnostic> warnings;
    EXPECT_FALSE(SetMeridians(m.job, std::string(lo), std::nullopt, warnings).has_value());
    return m;
}

TEST(MeasureTexts, ZoneNumbersAreTakenOffThePlane) {
    // Zone 39's number in front of one easting and not the other: one plane all the same.
    const MeasureJob m = Projected("117");
    StringSource in("A,3378000,39500000\nB,3378003,500004\n");
    const MeasurePoints read = ReadMeasurePoints(m, in);
    ASSERT_EQ(read.badLine, 0u) << read.problem;
    ASSERT_EQ(read.points.size(), 2u);
    EXPECT_EQ(read.points[0].plane.Y, 500000);
    EXPECT_EQ(read.points[0].zone, read.points[1].zone);
    const Legs legs = MeasureLegs(m, read.points);
    ASSERT_EQ(legs.legs.size(), 1u);
    EXPECT_EQ(legs.legs[0].distance, 5);
    EXPECT_EQ(LegRecord(m, read.points, legs.legs[0]).substr(0, 24), "A,B,5.0000,53.074837,5.0");
}

TEST(MeasureTexts, ACrossingIsPlacedAsTyped) {
    // A bow tie with Lo's zone number in front of the eastings: the place carries it too.
    const MeasureJob m = Projected("117");
    StringSource in(
        "A,3378000,39500000\nB,3378010,39500010\nC,3378010,39500000\n"
        "D,3378000,39500010\n");
    const MeasurePoints read = ReadMeasurePoints(m, in);
    ASSERT_EQ(read.badLine, 0u) << read.problem;
    const PolygonMeasure p = MeasurePolygon(m, read.points);
    EXPECT_NE(p.refusal.find("X 3378005.0000, Y 39500005.0000"), std::string::npos) << p.refusal;
    EXPECT_EQ(p.line, 3u);
}

TEST(MeasureTexts, PairsLeaveTheOddLastPoint) {
    MeasureJob m;
    m.pairs = true;
    StringSource in("a,0,0\nb,0,1\nc,1,1\n");
    const MeasurePoints read = ReadMeasurePoints(m, in);
    const Legs legs = MeasureLegs(m, read.points);
    ASSERT_EQ(legs.legs.size(), 1u);
    ASSERT_TRUE(legs.unpaired.has_value());
    EXPECT_EQ(*legs.unpaired, 2u);
    m.pairs = false;
    EXPECT_EQ(MeasureLegs(m, read.points).legs.size(), 2u);
    EXPECT_FALSE(MeasureLegs(m, read.points).unpaired.has_value());
}

TEST(MeasureTexts, AreaCsvKeepsItsColumns) {
    MeasureJob m;
    StringSource in("a,0,0\nb,0,3\nc,4,0\n");
    const MeasurePoints read = ReadMeasurePoints(m, in);
    const PolygonMeasure p = MeasurePolygon(m, read.points);
    ASSERT_EQ(p.refusal, "");
    EXPECT_EQ(AreaCsv(m, p),
              "points,perimeter,area_m2,area_mu,area_ha,orientation\n"
              "3,12.0000,6.0000,0.0090,0.000600,counterclockwise\n");
}

}  // namespace
}  // namespace quorvel::engine
