// quorvel-batch distance and area run as a program: hand-computed legs and polygons, the
// geodesic side against PROJ's cct and geod, and the refusals with their exit statuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "core/run_tool.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

// Packed degrees d.mmssff as decimal degrees, from the digits.
double Unpacked(const std::string& packed) {
    const std::size_t dot = packed.find('.');
    const double d = std::stod(packed.substr(0, dot));
    const std::string f = packed.substr(dot + 1);
    return d + std::stod(f.substr(0, 2)) / 60 +
           std::stod(f.substr(2, 2) + "." + f.substr(4)) / 3600;
}

class Measure : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-measure-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
        WriteFile(dir / "stdin", input);
        return RunBatch(args, dir, dir / "stdin", dir / "stdout", dir / "stderr",
                        EnvironmentIn({"LC_ALL=C"}));
    }

    fs::path dir;
};

TEST_F(Measure, LegsBetweenConsecutivePointsOnTheAxes) {
    // North, back south, east, a 3-4-5 leg south-west, west, south: at zone 39's coordinates.
    const Outcome o = Run({"distance"},
                          "O,3378000,39500000\nN,3378010,39500000\nO2,3378000,39500000\n"
                          "E,3378000,39500010\nSW,3377997,39500006\nW,3377997,39499996\n"
                          "S,3377987,39499996\n");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.substr(0, o.out.find('\n')), "from,to,distance,azimuth");
    const auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 6u);
    const std::vector<std::vector<std::string>> expected = {
        {"O", "N", "10.0000", "0.000000"},    {"N", "O2", "10.0000", "180.000000"},
        {"O2", "E", "10.0000", "90.000000"},  {"E", "SW", "5.0000", "233.074837"},
        {"SW", "W", "10.0000", "270.000000"}, {"W", "S", "10.0000", "180.000000"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].at("from"), expected[i][0]);
        EXPECT_EQ(rows[i].at("to"), expected[i][1]);
        EXPECT_EQ(rows[i].at("distance"), expected[i][2]);
        EXPECT_EQ(rows[i].at("azimuth"), expected[i][3]);
    }
    EXPECT_NE(o.err.find("6 distances from 7 points"), std::string::npos) << o.err;
}

TEST_F(Measure, AzimuthsInTheFourQuadrantsAsPackedDegrees) {
    // 3-4-5 legs: atan(4/3) = 53°07′48.37″ east of north, and its mirror images.
    const Outcome o = Run({"distance", "--pairs"},
                          "a,0,0\nb,3,4\nc,0,0\nd,-3,4\ne,0,0\nf,-3,-4\ng,0,0\nh,3,-4\n");
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 4u);
    const char* azimuths[] = {"53.074837", "126.521163", "233.074837", "306.521163"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].at("distance"), "5.0000");
        EXPECT_EQ(rows[i].at("azimuth"), azimuths[i]);
    }
}

TEST_F(Measure, EqualPointsHaveNoAzimuthAndOddPairsAreReported) {
    Outcome o = Run({"distance"}, "A,100,200\nB,100,200\nC,101,200\n");
    ASSERT_EQ(o.status, 0) << o.err;
    auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("distance"), "0.0000");
    EXPECT_EQ(rows[0].at("azimuth"), "");
    EXPECT_NE(o.err.find("<stdin>:2: warning: \"A\" (line 1) and \"B\" (line 2) are the same "
                         "point: distance 0, no azimuth"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(rows[1].at("azimuth"), "0.000000");

    o = Run({"distance", "--pairs"}, "A,0,0\nB,0,1\n# note\nC,5,5\n");
    EXPECT_EQ(o.status, 1);
    rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 1u);  // the pairs before it are written
    EXPECT_NE(o.err.find("<stdin>:4: \"C\" is left without a partner"), std::string::npos) << o.err;
}

TEST_F(Measure, RefusalsWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"distance"}, "A,1,2\n", 2, "holds 1 points"},
        {{"distance"}, "A,1,2\nB,x,3\n", 2, "<stdin>:2: X: \"x\" is not a number"},
        {{"distance"}, "A,1,2\nB,3\n", 2, "<stdin>:2: 2 fields where the line needs 3"},
        {{"area", "--pairs"}, "", 2, "--pairs belongs to distance"},
        {{"distance", "--k0", "1"}, "", 2, "--k0 belongs to the geodesic side"},
        {{"distance", "--lo", "117", "--method", "classic", "--ellipsoid", "wgs84"}, "", 2, ""},
        {{"distance", "--bogus"}, "", 2, "--bogus"},
        // Beyond the projection's limits: the point cannot be taken back.
        {{"distance", "--lo", "117"}, "A,3378000,500000\nB,3378000,2600000\n", 2, "<stdin>:2:"},
        {{"area"}, "A,0,0\nB,1,1\nA,0,0\n", 1, "2 distinct points: a polygon needs at least 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.input);
        const Outcome o = Run(c.args, c.input);
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    }
}

// Both write CSV: an -o that names a layer or a drawing is refused, not filled with CSV rows.
TEST_F(Measure, OutputNamedForAnotherFormatIsRefused) {
    const std::string points = "A,0,0\nB,0,10\nC,10,10\n";
    for (const char* mode : {"distance", "area"}) {
        for (const char* ending : {"gpkg", "shp", "dxf", "kml"}) {
            const fs::path target = dir / (std::string("out.") + ending);
            const Outcome o = Run({mode, "-o", target.string()}, points);
            EXPECT_EQ(o.status, 2) << mode << ' ' << ending;
            EXPECT_FALSE(fs::exists(target)) << mode << ' ' << ending;
            EXPECT_NE(o.err.find(std::string("ends in .") + ending), std::string::npos) << o.err;
        }
        const Outcome o = Run({mode, "-o", (dir / "out.txt").string()}, points);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(fs::exists(dir / "out.txt"));
    }
}

TEST_F(Measure, AreaOfHandComputedPolygons) {
    // A 30 m by 40 m rectangle, open and closed, both ways round: 1200 m² = 1.8 亩 = 0.12 ha.
    const std::string ring =
        "A,3378000,39500000\nB,3378000,39500040\nC,3378030,39500040\n"
        "D,3378030,39500000\n";
    const Outcome open = Run({"area"}, ring);
    ASSERT_EQ(open.status, 0) << open.err;
    EXPECT_EQ(open.out,
              "points,perimeter,area_m2,area_mu,area_ha,orientation\n"
              "4,140.0000,1200.0000,1.8000,0.120000,counterclockwise\n");
    EXPECT_NE(open.err.find("4 points counter-clockwise: on the plane 1200.0000 m"),
              std::string::npos);
    const Outcome closed = Run({"area"}, ring + "A,3378000,39500000\n");
    EXPECT_EQ(closed.out, open.out);
    const Outcome reversed =
        Run({"area", "--quiet"},
            "D,3378030,39500000\nC,3378030,39500040\nB,3378000,39500040\nA,3378000,39500000\n");
    EXPECT_EQ(reversed.err, "");
    const auto rows = NamedRows(reversed.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("area_m2"), "1200.0000");
    EXPECT_EQ(rows[0].at("orientation"), "clockwise");
    // The 3-4-5 triangle, a point repeated in a row and a collinear point on an edge.
    const Outcome triangle = Run({"area"}, "a,0,0\na,0,0\nb,3,0\nc,0,4\nm,0,2\n");
    ASSERT_EQ(triangle.status, 0) << triangle.err;
    EXPECT_EQ(NamedRows(triangle.out)[0].at("area_m2"), "6.0000");
    EXPECT_EQ(NamedRows(triangle.out)[0].at("perimeter"), "12.0000");
    EXPECT_EQ(NamedRows(triangle.out)[0].at("points"), "4");
}

TEST_F(Measure, SelfIntersectingRingsAreRefusedWithThePlace) {
    struct Case {
        std::string input;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"A,0,0\nB,10,10\nC,10,0\nD,0,10\n",
         "<stdin>:3: the polygon crosses or touches itself: the edges \"A\" (line 1)–\"B\" "
         "(line 2) and \"C\" (line 3)–\"D\" (line 4) meet at X 5.0000, Y 5.0000"},
        // A figure eight through one point typed twice.
        {"P,1,1\nQ,0,0\nR,0,2\nP2,1,1\nS,2,2\nT,2,0\n", "meet at X 1.0000, Y 1.0000"},
        // Out and back along one line.
        {"A,0,0\nB,0,5\nC,0,2\n",
         "\"A\" (line 1)–\"B\" (line 2) and \"B\" (line 2)–\"C\" (line 3) meet at X 0.0000, Y "
         "5.0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const Outcome o = Run({"area"}, c.input);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    }
}

// The legs' geodesic side against PROJ: cct takes the plane points back to L, B on the same
// transverse Mercator, geod gives the geodesic between them.
TEST_F(Measure, GeodesicSideAgreesWithCctAndGeod) {
    const std::vector<std::pair<double, double>> plane = {
        {3378000, 500000}, {3381234.5678, 512345.6789}, {3352000.25, 440000.75}, {3390000, 560000}};
    std::string input;
    std::vector<std::string> cctIn;
    for (std::size_t i = 0; i < plane.size(); ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "P%zu,%.4f,%.4f\n", i, plane[i].first, plane[i].second);
        input += line;
        std::snprintf(line, sizeof line, "%.4f %.4f 0 0", plane[i].second, plane[i].first);
        cctIn.emplace_back(line);
    }
    const Outcome o =
        Run({"distance", "--lo", "117", "--ellipsoid", "cgcs2000", "--method", "exact"}, input);
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 3u);
    const auto geo = RunTool(
        "cct -d 12 -I +proj=tmerc +lon_0=117 +x_0=500000 +a=6378137 +rf=298.257222101", cctIn);
    std::vector<std::string> geodIn;
    for (std::size_t i = 0; i + 1 < geo.size(); ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "%.12f %.12f %.12f %.12f", geo[i][1], geo[i][0],
                      geo[i + 1][1], geo[i + 1][0]);
        geodIn.emplace_back(line);
    }
    const auto geod = RunTool("geod +a=6378137 +rf=298.257222101 -I -f %.10f -F %.6f", geodIn);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const double s = std::stod(rows[i].at("geodesic_distance"));
        EXPECT_NEAR(s, geod[i][2], 1.5e-4);
        double azimuth = geod[i][0] < 0 ? geod[i][0] + 360 : geod[i][0];
        EXPECT_NEAR(Unpacked(rows[i].at("geodesic_azimuth")), azimuth, 0.01 / 3600);
        const double d = std::stod(rows[i].at("distance"));
        EXPECT_NEAR(std::stod(rows[i].at("distance_diff_mm")), (d - s) * 1000, 0.2);
        double grid = Unpacked(rows[i].at("azimuth"));
        double diff = std::fmod(grid - azimuth + 540, 360) - 180;
        EXPECT_NEAR(std::stod(rows[i].at("azimuth_diff_s")), diff * 3600, 0.02);
    }
}

TEST_F(Measure, EllipsoidAreaBesideThePlanesWithZoneNumbers) {
    // A 1 km square on the central meridian of 3° zone 39: there the scale is 1 to 3e-9, and
    // the ellipsoid's area the plane's to a few hundredths of a m².
    const Outcome o = Run({"area", "--zone", "3", "--ellipsoid", "cgcs2000", "--method", "exact"},
                          "A,3378000,39499500\nB,3378000,39500500\nC,3379000,39500500\n"
                          "D,3379000,39499500\n");
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("area_m2"), "1000000.0000");
    EXPECT_EQ(rows[0].at("area_mu"), "1500.0000");
    EXPECT_EQ(rows[0].at("area_ha"), "100.000000");
    EXPECT_NEAR(std::stod(rows[0].at("ellipsoid_area_m2")), 1e6, 0.05);
    EXPECT_NEAR(std::stod(rows[0].at("ellipsoid_perimeter")), 4000, 1e-3);
    EXPECT_NE(o.err.find("on the ellipsoid"), std::string::npos);
    // A polygon with a point on another zone's plane has no plane area.
    const Outcome mixed = Run({"area", "--zone", "3"},
                              "A,3378000,39499500\nB,3378000,39500500\nC,3379000,40500500\n");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("<stdin>:3: \"C\" (line 3) lies on the plane of zone 40"),
              std::string::npos)
        << mixed.err;
}

TEST_F(Measure, ReadsAsTheOtherCommandsAndWritesToAFile) {
    // Header, decimal comma, other fields, a BOM-less UTF-8 name, -o.
    const Outcome o =
        Run({"distance", "--header", "--decimal-comma", "--fields", "3,1,2", "-o", "legs.csv"},
            "X;Y;点名\n0,5;0;起点\n3,5;4;终点\n");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(ReadFile(dir / "legs.csv"), "from,to,distance,azimuth\n起点,终点,5.0000,53.074837\n");
    // --bom guards the names for Excel, not the numbers: the bearing's difference east of the
    // meridian is negative.
    const Outcome bom =
        Run({"distance", "--bom", "--zone", "3"}, "B,3378003,39512345\n=A,3378000,39500000\n");
    ASSERT_EQ(bom.status, 0) << bom.err;
    EXPECT_EQ(bom.out.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bom.out.find("\nB,'=A,"), std::string::npos) << bom.out;
    EXPECT_NE(bom.out.find(",-"), std::string::npos) << bom.out;
    EXPECT_EQ(bom.out.find("'-"), std::string::npos) << bom.out;
    // A meridian typed with 75 minutes is taken as typed, and said so, as by the other modes.
    const Outcome excess =
        Run({"distance", "--lo", "116.75"}, "A,3378000,500000\nB,3378003,500004\n");
    EXPECT_EQ(excess.status, 0) << excess.err;
    EXPECT_NE(excess.err.find("warning: "), std::string::npos) << excess.err;
    EXPECT_NE(excess.err.find("75 minutes"), std::string::npos) << excess.err;
    const Outcome same = Run({"area", "-o", "in.csv", "in.csv"});
    EXPECT_EQ(same.status, 2);
}

}  // namespace
}  // namespace quorvel::cli
