// quorvel-batch's projection height, length distortion and plan run as a program: against PROJ's
// cct on the enlarged ellipsoid, against distortions computed from the formula by Python with
// scale factors of its own, and the refusals that write nothing.
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "core/ellipsoid.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/run_tool.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

// A CSV without quotes as rows of named cells.
std::vector<std::map<std::string, std::string>> Rows(const std::string& csv) {
    std::vector<std::map<std::string, std::string>> rows;
    std::istringstream in(csv);
    std::string line;
    std::vector<std::string> names;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
        if (line.back() == ',') cells.emplace_back();
        if (names.empty()) {
            names = cells;
            continue;
        }
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < names.size() && i < cells.size(); ++i) row[names[i]] = cells[i];
    }
    return rows;
}

double Number(const std::string& text) {
    return std::stod(text);
}

std::string Packed(double degrees) {
    return ShortestText(DegreesToPacked(degrees));
}

class Surface : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-surface-test-XXXXXX";
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

// Forward and the inverse back on raised surfaces, exact, against PROJ's tmerc on a + H0.
TEST_F(Surface, ProjectionHeightIsProjTmercOnTheEnlargedEllipsoid) {
    struct Case {
        std::string ellipsoid;
        Ellipsoid e;
        double H0, k0, lo;
    };
    const std::vector<Case> cases = {{"krassovsky", Krassovsky(), 1850, 1, 117},
                                     {"cgcs2000", Cgcs2000(), -120.5, 1, 102},
                                     {"xian80", Xian80(), 3300, 0.9999, 93}};
    const std::vector<std::pair<double, double>> offsets = {{0.3, 30.1}, {-1.6, 36.7}, {2.4, 24}};
    for (const Case& c : cases) {
        std::string input, cct;
        for (const auto& [dl, B] : offsets) {
            input += "P," + Packed(c.lo + dl) + "," + Packed(B) + "\n";
            cct += Num(c.lo + dl) + " " + Num(B) + " 0 0\n";
        }
        const std::vector<std::string> common = {"--lo",
                                                 ShortestText(c.lo),
                                                 "--projection-height",
                                                 ShortestText(c.H0),
                                                 "--k0",
                                                 ShortestText(c.k0),
                                                 "--ellipsoid",
                                                 c.ellipsoid,
                                                 "--full",
                                                 "--method",
                                                 "exact"};
        std::vector<std::string> args = {"forward"};
        args.insert(args.end(), common.begin(), common.end());
        const Outcome f = Run(args, input);
        ASSERT_EQ(f.status, 0) << f.err;
        std::vector<std::string> lines;
        std::istringstream in(cct);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        const auto proj = RunTool("cct -d 6 +proj=tmerc +a=" + Num(c.e.a + c.H0) +
                                      " +rf=" + Num(c.e.InverseFlattening()) +
                                      " +k_0=" + Num(c.k0) + " +x_0=500000 +lon_0=" + Num(c.lo),
                                  lines);
        const auto rows = Rows(f.out);
        ASSERT_EQ(rows.size(), proj.size());
        std::string plane;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_NEAR(Number(rows[i].at("Y")), proj[i][0], 1e-4) << c.ellipsoid;
            EXPECT_NEAR(Number(rows[i].at("X")), proj[i][1], 1e-4) << c.ellipsoid;
            plane += "P," + rows[i].at("X") + "," + rows[i].at("Y") + "\n";
        }
        args[0] = "inverse";
        const Outcome back = Run(args, plane);
        ASSERT_EQ(back.status, 0) << back.err;
        const auto geo = Rows(back.out);
        for (std::size_t i = 0; i < geo.size(); ++i) {
            EXPECT_NEAR(DecodePackedAngle(Number(geo[i].at("L"))), c.lo + offsets[i].first, 1e-9);
            EXPECT_NEAR(DecodePackedAngle(Number(geo[i].at("B"))), offsets[i].second, 1e-9);
        }
    }
}

// H0 = 0 is no surface at all: every byte as without the option, the reference modes included.
TEST_F(Surface, ZeroProjectionHeightChangesNoByte) {
    const std::string points = "P1,116.3045,30.3030\nP2,117.2930,30.3030\n";
    const std::string plane = "P1,3380000,612345.678\nP2,3380000,390000\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"forward", "--lo", "117"}, points},
        {{"forward", "--lo", "117", "--method", "exact", "--full", "--scale"}, points},
        {{"inverse", "--lo", "117"}, plane},
        {{"zone", "--lo", "117", "--ls", "120", "--full"}, plane}};
    for (const auto& [args, input] : runs) {
        const Outcome plain = Run(args, input);
        auto raised = args;
        raised.insert(raised.end(), {"--projection-height", "0"});
        const Outcome zero = Run(raised, input);
        EXPECT_EQ(zero.status, plain.status);
        EXPECT_EQ(zero.out, plain.out) << args.front();
        EXPECT_EQ(zero.err, plain.err);
    }
}

// The distortion column against Python's, forward, inverse and zone, to 0.01 cm/km.
TEST_F(Surface, DistortionAgreesWithTheFormulaComputedApart) {
    const double a = 6378245, rf = 298.3;
    const std::vector<std::array<double, 3>> points = {
        {117.62, 30.5, 2013.4}, {116.1, 41.2, 35}, {118.9, 22.4, 4810}, {117.0, 35, -120}};
    for (const double H0 : {0.0, 1800.0}) {
        for (const double k0 : {1.0, 0.9996}) {
            std::string input = "name,L,B,高程\n", python;
            for (const auto& [L, B, H] : points) {
                input += "P," + Packed(L) + "," + Packed(B) + "," + ShortestText(H) + "\n";
                python += Num(a) + " " + Num(rf) + " " + Num(k0) + " 117 " + Num(H0) + " " +
                          Num(L) + " " + Num(B) + " " + Num(H);
                python += "\n";
            }
            std::vector<std::string> lines;
            std::istringstream in(python);
            for (std::string l; std::getline(in, l);) lines.push_back(l);
            const auto expected =
                RunTool(std::string(QUORVEL_PYTHON3) + " " + QUORVEL_DISTORTION_REFERENCE, lines);
            ASSERT_EQ(expected.size(), points.size());
            const std::vector<std::string> common = {
                "--lo",           "117",    "--k0",         ShortestText(k0), "--projection-height",
                ShortestText(H0), "--full", "--distortion", "--header"};
            std::vector<std::string> args = {"forward"};
            args.insert(args.end(), common.begin(), common.end());
            const Outcome f = Run(args, input);
            ASSERT_EQ(f.status, 0) << f.err;
            const auto rows = Rows(f.out);
            std::string plane = "name,X,Y,高程\n";
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_NEAR(Number(rows[i].at("distortion")), expected[i][0], 0.01) << i;
                plane += "P," + rows[i].at("X") + "," + rows[i].at("Y") + "," + rows[i].at("高程") +
                         "\n";
            }
            args[0] = "inverse";
            const auto geo = Rows(Run(args, plane).out);
            ASSERT_EQ(geo.size(), points.size());
            for (std::size_t i = 0; i < geo.size(); ++i) {
                EXPECT_NEAR(Number(geo[i].at("distortion")), expected[i][0], 0.01) << i;
            }
            // The same points carried to 117 from 120: the distortion where they land.
            std::vector<std::string> zone = {"zone", "--lo",     "117",  "--ls",
                                             "117",  "--method", "exact"};
            zone.insert(zone.end(), common.begin() + 2, common.end());
            const auto moved = Rows(Run(zone, plane).out);
            ASSERT_EQ(moved.size(), points.size());
            for (std::size_t i = 0; i < moved.size(); ++i) {
                EXPECT_NEAR(Number(moved[i].at("distortion")), expected[i][0], 0.01) << i;
            }
        }
    }
}

TEST_F(Surface, DistortionSummaryNamesTheWorstAndCountsTheRest) {
    const std::string input =
        "name,L,B,H\nA,117.0,30,0\nB,117.3,30,1000\nC,117.1,30,\nD,118.3,30,10\n";
    const Outcome o = Run({"forward", "--lo", "117", "--header", "--distortion"}, input);
    EXPECT_EQ(o.status, 0) << o.err;
    const auto rows = Rows(o.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].at("distortion"), "0.00");
    EXPECT_EQ(rows[2].at("distortion"), "");  // no height: no number made up for it
    EXPECT_EQ(o.err.substr(o.err.find('\n') + 1),
              "length distortion: worst " + rows[3].at("distortion") +
                  " cm/km at \"D\" (line 5); 2 points beyond 2.5 cm/km; 1 point without a "
                  "height, its distortion left empty\n");
    const Outcome wider = Run({"forward", "--lo", "117", "--distortion", "--height-field", "4",
                               "--distortion-limit", "20", "--quiet"},
                              input.substr(input.find('\n') + 1));
    EXPECT_EQ(wider.status, 0);
    EXPECT_EQ(wider.err, "");  // --quiet: no summary, the distortion's neither
    const Outcome limited = Run({"forward", "--lo", "117", "--distortion", "--height-field", "4",
                                 "--distortion-limit", "30"},
                                input.substr(input.find('\n') + 1));
    EXPECT_NE(limited.err.find("; 0 points beyond 30 cm/km"), std::string::npos) << limited.err;
}

// Each a clear error, exit status 2, and no file written.
TEST_F(Surface, RefusesWhatCannotBeMeantAndWritesNothing) {
    const std::string input = "name,L,B,H\nA,117.0,30,0\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--projection-height", "10000.5"}, "--projection-height: 10000.5 m is beyond"},
        {{"--projection-height", "-2e4"}, "--projection-height: -20000 m is beyond"},
        {{"--projection-height", "high"}, "--projection-height: \"high\" is not a number"},
        {{"--distortion", "--header", "--distortion-limit", "0"}, "--distortion-limit: 0 cm/km"},
        {{"--distortion", "--header", "--distortion-limit", "-2.5"},
         "--distortion-limit: -2.5 cm/km"},
        {{"--distortion"}, "--distortion takes each point's height"},
        {{"--distortion-limit", "2"}, "--distortion-limit belongs to --distortion"},
        {{"--distortion", "--height-field", "2"}, "--height-field: field 2 is the name or one"},
        {{"--distortion", "--height-field", "0"}, "--height-field: \"0\" must be one field"},
    };
    for (const auto& [options, words] : refused) {
        std::vector<std::string> args = {"forward", "--lo", "117", "-o", "out.csv"};
        args.insert(args.end(), options.begin(), options.end());
        const Outcome o = Run(args, input);
        EXPECT_EQ(o.status, 2) << words;
        EXPECT_NE(o.err.find(words), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << words;
        EXPECT_FALSE(fs::exists(dir / "r.txt")) << words;
    }
}

// The printed report names the surface under its title, as the window's settings name it; on
// the ellipsoid it is the report it always was.
TEST_F(Surface, ReportNamesTheProjectionHeight) {
    const std::string points = "P1,116.3045,30.3030\n";
    ASSERT_EQ(Run({"forward", "--lo", "117", "--report", "plain.txt"}, points).status, 0);
    ASSERT_EQ(
        Run({"forward", "--lo", "117", "--projection-height", "0", "--report", "zero.txt"}, points)
            .status,
        0);
    EXPECT_EQ(ReadFile(dir / "zero.txt"), ReadFile(dir / "plain.txt"));
    const Outcome o =
        Run({"forward", "--lo", "117", "--projection-height", "1720", "--report", "r.txt"}, points);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string report = ReadFile(dir / "r.txt");
    EXPECT_NE(report.find("椭球与算法 : 克拉索夫斯基 (北京1954), 传统级数, 投影面高程 1720 m"),
              std::string::npos)
        << report;
    EXPECT_EQ(ReadFile(dir / "plain.txt").find("椭球与算法"), std::string::npos);
}

// A GeoPackage on a raised surface: no EPSG code, the enlarged ellipsoid, the height named.
TEST_F(Surface, GisLayerNamesTheRaisedSurface) {
    const Outcome o = Run({"forward", "--lo", "117", "--projection-height", "1500", "-o", "p.gpkg"},
                          "A,117.1,30.2\n");
    ASSERT_EQ(o.status, 0) << o.err;
    OGRRegisterAll();
    OGRDataSourceH ds = OGROpen((dir / "p.gpkg").c_str(), 0, nullptr);
    ASSERT_NE(ds, nullptr);
    OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(OGR_DS_GetLayer(ds, 0));
    ASSERT_NE(srs, nullptr);
    EXPECT_EQ(OSRGetAuthorityCode(srs, "PROJCS"), nullptr);
    EXPECT_DOUBLE_EQ(OSRGetSemiMajor(srs, nullptr), 6378245 + 1500);
    EXPECT_NEAR(OSRGetInvFlattening(srs, nullptr), 298.3, 1e-9);
    EXPECT_STREQ(OSRGetAttrValue(srs, "PROJCS", 0),
                 "Beijing 1954 / Gauss-Kruger CM 117E, projection height 1500 m");
    OGR_DS_Destroy(ds);

    // A Shapefile's distortion field holds the CSV's 2 decimals.
    const Outcome shp =
        Run({"forward", "--lo", "117", "--distortion", "--height-field", "4", "-o", "p.shp"},
            "A,117.1,30.2,1000\n");
    ASSERT_EQ(shp.status, 0) << shp.err;
    ds = OGROpen((dir / "p.shp").c_str(), 0, nullptr);
    ASSERT_NE(ds, nullptr);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(OGR_DS_GetLayer(ds, 0));
    const int field = OGR_FD_GetFieldIndex(defn, "distortion");
    ASSERT_GE(field, 0);
    EXPECT_EQ(OGR_Fld_GetPrecision(OGR_FD_GetFieldDefn(defn, field)), 2);
    OGR_DS_Destroy(ds);
}

// Python's packed degrees of `degrees`, as plan reads them.
std::string AreaLine(int i, double L, double B, double H) {
    return "A" + std::to_string(i) + "," + Packed(L) + "," + Packed(B) + "," + ShortestText(H) +
           "\n";
}

// 2,000 m up, 60 km east of 117°: plan proposes, and the distortion column confirms it.
TEST_F(Surface, PlanProposesWhatTheDistortionColumnConfirms) {
    std::string area;
    int i = 0;
    for (const double dl : {0.58, 0.62, 0.66}) {
        for (const double B : {30.4, 30.45, 30.5}) {
            ++i;
            area += AreaLine(i, 117 + dl, B, 1950 + 12 * i);
        }
    }
    const Outcome p = Run({"plan"}, area);
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(p.out.substr(0, p.out.find('\n')), "central meridian: 117 (the standard 3° zone 39)");
    const std::size_t at = p.out.find("projection height: ");
    ASSERT_NE(at, std::string::npos);
    const double H0 = std::stod(p.out.substr(at + 19));
    EXPECT_GT(H0, 1500);
    const Outcome f = Run({"forward", "--lo", "117", "--projection-height", ShortestText(H0),
                           "--distortion", "--height-field", "4"},
                          area);
    ASSERT_EQ(f.status, 0) << f.err;
    for (const auto& row : Rows(f.out)) EXPECT_LE(std::fabs(Number(row.at("distortion"))), 2.5);
    EXPECT_NE(f.err.find("; 0 points beyond 2.5 cm/km"), std::string::npos) << f.err;
    // Without the surface the same points lie 25 cm/km short.
    const Outcome flat =
        Run({"forward", "--lo", "117", "--distortion", "--height-field", "4"}, area);
    EXPECT_NE(flat.err.find("; 9 points beyond 2.5 cm/km"), std::string::npos) << flat.err;
}

// Two points 1.65° either side of 118°36′, at 100 and 900 m: no standard meridian holds them,
// one of their own does, written as packed degrees on whole minutes (118.36, not 118.356).
TEST_F(Surface, PlanProposesAMeridianOnWholeMinutes) {
    const std::string area = "A,117,30,100\nB,120.3,30.01,900\n";
    const Outcome p = Run({"plan"}, area);
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(p.out.substr(0, p.out.find('\n')),
              "central meridian: 118.36 (the area's own, on whole minutes)");
    const std::size_t at = p.out.find("projection height: ");
    ASSERT_NE(at, std::string::npos);
    const Outcome f = Run({"forward", "--lo", "118.36", "--projection-height",
                           p.out.substr(at + 19, p.out.find(" m", at) - at - 19), "--distortion",
                           "--height-field", "4", "--method", "exact"},
                          area);
    ASSERT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.err.find("; 0 points beyond 2.5 cm/km"), std::string::npos) << f.err;
}

TEST_F(Surface, PlanSaysWhyNoneHoldsAndRefusesBadLines) {
    const std::string high = AreaLine(1, 117.1, 30, 100) + AreaLine(2, 117.1, 30.01, 900);
    Outcome o = Run({"plan"}, high);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("no central meridian and projection height keep every point within "
                         "2.5 cm/km: the heights range over 800.0 m"),
              std::string::npos)
        << o.err;
    o = Run({"plan", "--limit", "10"}, high);
    EXPECT_EQ(o.status, 0) << o.err;
    o = Run({"plan", "--limit", "0"}, high);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--limit: \"0\" cm/km is no limit"), std::string::npos) << o.err;
    o = Run({"plan"}, AreaLine(1, 117.1, 30, 100) + "A2,117.2,30.1,\n");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "<stdin>:2: H is empty: the plan needs every point's\n");
    o = Run({"plan", "--header"}, "name,L,B,H\nA1,117.1,30,100000\n");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "<stdin>:2: H: \"100000\" m is no height of the ground: is it in metres?\n");
    o = Run({"plan"}, "");
    EXPECT_EQ(o.status, 2);
    o = Run({"plan", "--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string("quorvel-batch ") + QUORVEL_VERSION_TEXT + "\n");
    o = Run({"plan", "--unknown"}, high);
    EXPECT_EQ(o.status, 2);
}

}  // namespace
}  // namespace quorvel::cli
