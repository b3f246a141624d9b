#include "core/map_sheet.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/packed_angle.h"
#include "core/run_tool.h"

namespace quorvel {
namespace {

// The sheet at packed L, B (as typed), through the decoding every command uses.
MapSheet At(double packedL, double packedB, SheetScale scale) {
    std::string why;
    const auto L = ToMicroArcSeconds(DecodePackedAngle(packedL));
    const auto B = ToMicroArcSeconds(DecodePackedAngle(packedB));
    const std::optional<MapSheet> s = SheetAt(*L, *B, scale, why);
    EXPECT_TRUE(s) << why;
    return s.value_or(MapSheet{});
}

std::string New(double L, double B, SheetScale scale) {
    return NewSheetNumber(At(L, B, scale));
}
std::string Old(double L, double B, SheetScale scale) {
    return OldSheetNumber(At(L, B, scale)).value_or("(none)");
}

// By hand, L 116°28′25″, B 39°54′30″: B mod 4° = 234.5′, L mod 6° = 148.41…′, then for each
// scale row = 4°/ΔB − ⌊234.5′/ΔB⌋ and column = ⌊148.41′/ΔL⌋ + 1; the old numbers from the
// parents' quarters and numbers counted row by row from the north-west.
TEST(MapSheet, InteriorPointAtEveryScale) {
    const double L = 116.2825, B = 39.5430;
    EXPECT_EQ(New(L, B, SheetScale::M1), "J50");  // ⌊39.9/4⌋ + 1 = 10 (J), ⌊116.5/6⌋ + 31 = 50
    EXPECT_EQ(New(L, B, SheetScale::K500), "J50B001001");
    EXPECT_EQ(New(L, B, SheetScale::K250), "J50C001002");  // 4 − 3, ⌊2.47°/1.5°⌋ + 1
    EXPECT_EQ(New(L, B, SheetScale::K100), "J50D001005");  // 12 − 11, ⌊148.4′/30′⌋ + 1
    EXPECT_EQ(New(L, B, SheetScale::K50), "J50E001010");   // 24 − 23, ⌊148.4′/15′⌋ + 1
    EXPECT_EQ(New(L, B, SheetScale::K25), "J50F002020");   // 48 − 46, ⌊148.4′/7.5′⌋ + 1
    EXPECT_EQ(New(L, B, SheetScale::K2), "J50I014238");  // 576 − ⌊14070″/25″⌋, ⌊8905″/37.5″⌋+1
    EXPECT_EQ(New(L, B, SheetScale::K1), "J50J00270475");   // 1152 − 1125, ⌊8905/18.75⌋ + 1
    EXPECT_EQ(New(L, B, SheetScale::K05), "J50K00530950");  // 2304 − 2251, ⌊8905/9.375⌋ + 1
    EXPECT_EQ(Old(L, B, SheetScale::M1), "J-50");
    EXPECT_EQ(Old(L, B, SheetScale::K500), "J-50-A");
    EXPECT_EQ(Old(L, B, SheetScale::K250), "J-50-[2]");
    EXPECT_EQ(Old(L, B, SheetScale::K100), "J-50-5");
    EXPECT_EQ(Old(L, B, SheetScale::K50), "J-50-5-B");    // row 1, column 10: north-east
    EXPECT_EQ(Old(L, B, SheetScale::K25), "J-50-5-B-4");  // row 2, column 20: south-east
    EXPECT_EQ(Old(L, B, SheetScale::K2), "(none)");
}

// Published worked examples. The point in Beijing, 39°54′30″ N, 116°28′25″ E, numbered in the
// old system: J-50-A at 1:500,000, J-50-5 at 1:100,000, J-50-5-B at 1:50,000 (shaoshao.net.cn,
// 2021-08-25, on the old and new numbering). I48E001004 spans 102°45′–103° E and
// 35°50′–36° N (blog.youkuaiyun.com/dayue002/article/details/117509097).
TEST(MapSheet, PublishedExamples) {
    EXPECT_EQ(Old(116.2825, 39.5430, SheetScale::K500), "J-50-A");
    EXPECT_EQ(Old(116.2825, 39.5430, SheetScale::K100), "J-50-5");
    EXPECT_EQ(Old(116.2825, 39.5430, SheetScale::K50), "J-50-5-B");
    std::string why;
    const std::optional<MapSheet> sheet = ParseSheetNumber("I48E001004", why);
    ASSERT_TRUE(sheet) << why;
    const SheetEdges e = EdgesOf(*sheet);
    EXPECT_EQ(PackedText(e.west), "102.4500");
    EXPECT_EQ(PackedText(e.east), "103.0000");
    EXPECT_EQ(PackedText(e.south), "35.5000");
    EXPECT_EQ(PackedText(e.north), "36.0000");
}

// By hand, L 114°33′45″, B 39°22′30″ lies on a 1:10,000 sheet's south-west corner:
// (B mod 4°)/2′30″ = 12150″/150″ = 81 exactly, so row 96 − 81 = 15; (L mod 6°)/3′45″ =
// 2025″/225″ = 9, column 10. The corner belongs to the sheet north-east of it, down to its
// 1:5,000 quarter c (south-west). 1:100,000: row 12 − ⌊202.5′/20′⌋ = 2, column 2, number 14.
TEST(MapSheet, PointOnCornersGoesNorthEast) {
    const double L = 114.3345, B = 39.2230;
    EXPECT_EQ(New(L, B, SheetScale::K10), "J50G015010");
    EXPECT_EQ(New(L, B, SheetScale::K5), "J50H030019");
    EXPECT_EQ(Old(L, B, SheetScale::K100), "J-50-14");
    EXPECT_EQ(Old(L, B, SheetScale::K10), "J-50-14-(50)");  // 6 rows × 8 + 2
    EXPECT_EQ(Old(L, B, SheetScale::K5), "J-50-14-(50)-c");
    // 39°20′00″ is a 1:100,000 edge (200′ = 10 × 20′): the sheet north of it, row 12 − 10.
    EXPECT_EQ(New(114.0, 39.2, SheetScale::K100), "J50D002001");
    EXPECT_EQ(New(114.0, 39.19599999, SheetScale::K100), "J50D003001");
    // The 1:1,000,000 edges themselves: 40°N is row K, 120°E column 51.
    EXPECT_EQ(New(120.0, 40.0, SheetScale::M1), "K51");
    EXPECT_EQ(New(119.59599999, 39.59599999, SheetScale::M1), "J50");
}

TEST(MapSheet, EdgesAreExactPackedAngles) {
    std::string why;
    const MapSheet s = *ParseSheetNumber("J50G015010", why);
    const SheetEdges e = EdgesOf(s);
    EXPECT_EQ(PackedText(e.west), "114.3345");
    EXPECT_EQ(PackedText(e.east), "114.3730");
    EXPECT_EQ(PackedText(e.south), "39.2230");
    EXPECT_EQ(PackedText(e.north), "39.2500");
    // 1:500 sheets end on thousandths of a second: 9.375″ × 950 = 8906.25″ = 2°28′26.25″.
    const SheetEdges f = EdgesOf(*ParseSheetNumber("J50K00530950", why));
    EXPECT_EQ(PackedText(f.east), "116.282625");
    EXPECT_EQ(PackedText(f.west), "116.2816875");
    EXPECT_EQ(PackedText(-kMicroArcSecondsPerDegree / 3600), "-0.0001");
}

// The equator is row A's southern edge; 180° is column 1's western edge, and the columns wrap
// across it; west of Greenwich the same arithmetic gives columns 1–30.
TEST(MapSheet, EquatorAntimeridianAndWesternHemisphere) {
    EXPECT_EQ(New(0.0, 0.0, SheetScale::M1), "A31");
    EXPECT_EQ(New(-0.0001, 0.0, SheetScale::M1), "A30");
    EXPECT_EQ(New(-74.0, 40.4, SheetScale::M1), "K18");  // ⌊(−74 + 180)/6⌋ + 1
    EXPECT_EQ(New(180.0, 10.0, SheetScale::K100), "C01D006001");
    EXPECT_EQ(New(-180.0, 10.0, SheetScale::K100), "C01D006001");
    EXPECT_EQ(New(179.59599999, 10.0, SheetScale::K100), "C60D006012");

    const auto n = Neighbours(At(179.59599999, 10.0, SheetScale::K100));
    EXPECT_EQ(NewSheetNumber(*n[2]), "C01D006001");  // east, across 180°
    EXPECT_EQ(NewSheetNumber(*n[0]), "C60D005012");  // north
    EXPECT_EQ(NewSheetNumber(*n[5]), "C60D007011");  // south-west
    // On the equator there is nothing south; at 88°N nothing north.
    const auto equator = Neighbours(At(117.0, 0.0, SheetScale::K50));
    EXPECT_FALSE(equator[3] || equator[4] || equator[5]);
    EXPECT_TRUE(equator[0] && equator[2] && equator[6]);
    const auto top = Neighbours(At(117.0, 87.59, SheetScale::K50));
    EXPECT_FALSE(top[7] || top[0] || top[1]);
    EXPECT_EQ(NewSheetNumber(*top[4]), "V50E002013");  // 117° is an edge: 180′/15′ + 1
}

TEST(MapSheet, RefusesWhereTheNumberingEnds) {
    std::string why;
    const std::int64_t second = 1'000'000;
    EXPECT_FALSE(SheetAt(0, -1, SheetScale::K100, why));  // just south of the equator
    EXPECT_NE(why, "");
    why.clear();
    EXPECT_FALSE(SheetAt(0, 88 * 3600 * second, SheetScale::K100, why));
    EXPECT_NE(why, "");
    EXPECT_TRUE(SheetAt(0, 88 * 3600 * second - 1, SheetScale::K100, why));
    EXPECT_FALSE(SheetAt(180 * 3600 * second + 1, 0, SheetScale::K100, why));
    EXPECT_FALSE(SheetAt(-180 * 3600 * second - 1, 0, SheetScale::K100, why));
    EXPECT_FALSE(ToMicroArcSeconds(std::nan("")));
}

// Every number reads back to its sheet, in both forms, at every scale.
TEST(MapSheet, NumbersReadBack) {
    std::string why;
    for (int i = 0; i <= static_cast<int>(SheetScale::K05); ++i) {
        const auto scale = static_cast<SheetScale>(i);
        for (const MapSheet s :
             {At(116.2825, 39.5430, scale), At(-179.5959, 0.0, scale), At(5.0, 87.5959, scale)}) {
            const auto back = ParseSheetNumber(NewSheetNumber(s), why);
            ASSERT_TRUE(back) << NewSheetNumber(s) << ": " << why;
            EXPECT_EQ(*back, s) << NewSheetNumber(s);
            if (const auto old = OldSheetNumber(s)) {
                const auto fromOld = ParseSheetNumber(*old, why);
                ASSERT_TRUE(fromOld) << *old << ": " << why;
                EXPECT_EQ(*fromOld, s) << *old;
            }
        }
    }
    // Case and blanks around do not matter; the 1:5,000 quarter is a–d, not an 8-way letter.
    EXPECT_EQ(ParseSheetNumber(" j-50-14-(50)-C ", why), ParseSheetNumber("J-50-14-(50)-c", why));
    EXPECT_EQ(ParseSheetNumber("J5", why), ParseSheetNumber("J-5", why));
}

TEST(MapSheet, RefusesNumbersThatNameNoSheet) {
    std::string why;
    for (const char* bad : {"",
                            "J",
                            "W50",
                            "J61",
                            "J0",
                            "J50A001001",
                            "J50D013001",
                            "J50D001000",
                            "J50J0027047",
                            "J50D0010011",
                            "J-50-E",
                            "J-50-[17]",
                            "J-50-[0]",
                            "J-50-145",
                            "J-50-05",
                            "J-50-144-E",
                            "J-50-144-D-5",
                            "J-50-144-(65)",
                            "J-50-144-(64)-h",
                            "J-50-144-(64)-d-1",
                            "J-50-",
                            "J-50-[16]-A",
                            "J--50"}) {
        why.clear();
        EXPECT_FALSE(ParseSheetNumber(bad, why)) << bad;
        EXPECT_NE(why.find(bad), std::string::npos) << bad << ": " << why;
    }
}

TEST(MapSheet, Scales) {
    EXPECT_EQ(ParseSheetScale("1:50000"), SheetScale::K50);
    EXPECT_EQ(ParseSheetScale("1:1,000,000"), SheetScale::M1);
    EXPECT_EQ(ParseSheetScale("1:5万"), SheetScale::K50);
    EXPECT_EQ(ParseSheetScale("1:2.5万"), SheetScale::K25);
    EXPECT_EQ(ParseSheetScale("1:100万"), SheetScale::M1);
    EXPECT_FALSE(ParseSheetScale("1:2.5"));
    EXPECT_FALSE(ParseSheetScale("1:0.00005万"));  // 0.5: no scale, not 1:0
    EXPECT_FALSE(ParseSheetScale("1:2..5万"));
    EXPECT_EQ(ParseSheetScale("500"), SheetScale::K05);
    EXPECT_FALSE(ParseSheetScale("1:20000"));
    EXPECT_FALSE(ParseSheetScale("1:"));
    EXPECT_FALSE(ParseSheetScale("1:50000x"));
    EXPECT_FALSE(ParseSheetScale("1:99999999999999"));
    EXPECT_EQ(SheetScaleText(SheetScale::K25), "1:25,000");
}

// By hand: ⌊X/side⌋·side for X 3542123.4, Y 38452876.1: 1:5,000 (2 km) 3542-38452, 1:2,000
// 3542.0-38452.0, 1:500 (250 m) 3542.00-38452.75. A point on an edge goes north and east.
TEST(MapSheet, RectangularSheets) {
    std::string why;
    const auto name = [&](double X, double Y, SheetScale s) {
        const auto sheet = PlaneSheetAt(X, Y, s, why);
        return sheet ? PlaneSheetNumber(*sheet) : "refused";
    };
    EXPECT_EQ(name(3542123.4, 38452876.1, SheetScale::K5), "3542-38452");
    EXPECT_EQ(name(3542123.4, 38452876.1, SheetScale::K2), "3542.0-38452.0");
    EXPECT_EQ(name(3542123.4, 38452876.1, SheetScale::K1), "3542.0-38452.5");
    EXPECT_EQ(name(3542123.4, 38452876.1, SheetScale::K05), "3542.00-38452.75");
    EXPECT_EQ(name(3542250, 500, SheetScale::K05), "3542.25-0.50");
    EXPECT_EQ(name(3542249.9999999995, 0, SheetScale::K05), "3542.00-0.00");
    EXPECT_EQ(name(-0.001, 5, SheetScale::K2), "refused");
    EXPECT_EQ(name(std::nan(""), 5, SheetScale::K2), "refused");
    EXPECT_FALSE(HasPlaneSheets(SheetScale::K10));

    const auto back = ParsePlaneSheetNumber("3542.25-38452.50", SheetScale::K05, why);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->south, 3542250);
    EXPECT_EQ(back->west, 38452500);
    EXPECT_FALSE(ParsePlaneSheetNumber("3542.3-38452.5", SheetScale::K05, why));  // off the grid
    EXPECT_FALSE(ParsePlaneSheetNumber("3543-38452", SheetScale::K5, why));       // odd km
    EXPECT_FALSE(ParsePlaneSheetNumber("3542.", SheetScale::K2, why));
    EXPECT_FALSE(ParsePlaneSheetNumber("3542.0-1", SheetScale::K10, why));

    const auto n = PlaneNeighbours(PlaneSheet{SheetScale::K2, 0, 5000});
    EXPECT_EQ(PlaneSheetNumber(*n[1]), "1.0-6.0");
    EXPECT_FALSE(n[3] || n[4] || n[5]);
}

// Against the numbering's arithmetic in exact fractions (map_sheet_reference.py) over points
// typed to a ten-thousandth of a second, half of them on sheet edges of their scale.
TEST(MapSheet, AgreesWithExactArithmetic) {
    std::mt19937 random(30);
    std::vector<std::string> lines;
    std::vector<MapSheet> sheets;
    std::vector<std::int64_t> sides;
    const auto packed = [](long seconds10k) {  // seconds × 10⁴ to packed text
        const long s = std::labs(seconds10k);
        char text[40];
        std::snprintf(text, sizeof text, "%s%ld.%02ld%02ld%04ld", seconds10k < 0 ? "-" : "",
                      s / 36'000'000, s / 600'000 % 60, s / 10'000 % 60, s % 10'000);
        return std::string(text);
    };
    for (int i = 0; i < 4000; ++i) {
        const auto scale = static_cast<SheetScale>(i % 11);
        long L = std::uniform_int_distribution<long>(-6'480'000'000L, 6'480'000'000L)(random);
        long B = std::uniform_int_distribution<long>(0, 3'167'999'999L)(random);
        if (i % 2 == 0) {  // onto an edge of the scale: ΔB, ΔL in 1e-4″
            const SheetEdges e = EdgesOf(MapSheet{scale, 0, 0});
            const long dB = static_cast<long>((e.north - e.south) / 100),
                       dL = static_cast<long>((e.east - e.west) / 100);
            B -= B % dB;
            L -= ((L % dL) + dL) % dL;
        }
        sides.push_back(4 * kMicroArcSecondsPerDegree / EdgesOf(MapSheet{scale, 0, 0}).north);
        lines.push_back(packed(L) + " " + packed(B) + " " + std::to_string(sides.back()));
        sheets.push_back(At(std::stod(packed(L)), std::stod(packed(B)), scale));
    }
    const auto ref =
        RunTool(std::string(QUORVEL_PYTHON3) + " " + QUORVEL_MAP_SHEET_REFERENCE, lines);
    ASSERT_EQ(ref.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const MapSheet& s = sheets[i];
        const std::int64_t n = sides[i];
        const std::vector<double> got = {double(s.row / n + 1), double(s.column / n + 1),
                                         double(n - s.row % n), double(s.column % n + 1)};
        EXPECT_EQ(got, ref[i]) << lines[i];
    }
}

}  // namespace
}  // namespace quorvel
