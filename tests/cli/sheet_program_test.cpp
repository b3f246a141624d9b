// quorvel-batch sheet run as a program: map sheet numbers of a file's points and of numbers
// typed, their corners on a projection against forward's own points, and the refusals that
// write nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_runner.h"

namespace quorvel::cli {
namespace {

class Sheet : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-sheet-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome Run(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), "sheet");
        WriteFile(dir / "stdin", input);
        return RunBatch(args, dir, dir / "stdin", dir / "stdout", dir / "stderr",
                        EnvironmentIn({"LC_ALL=C"}));
    }

    fs::path dir;
};

// By hand (B mod 4° and L mod 6° against the 1:50,000 sheet's 10′ × 15′): 116°28′25″,
// 39°54′30″ is row 24 − ⌊234.5′/10′⌋ = 1, column ⌊148.4′/15′⌋ + 1 = 10; 114°33′45″, 39°22′30″
// row 24 − ⌊202.5′/10′⌋ = 4, column ⌊33.75′/15′⌋ + 1 = 3; 180° is −180°, column 1 of row V.
// The line south of the equator and the text are rejected; the other fields pass through.
TEST_F(Sheet, NumbersEachPointAndRejectsWhatTheNumberingLacks) {
    const Outcome o = Run({"--scale", "1:50000", "--header"},
                          "点名,L,B,备注\nP1,116.2825,39.5430,a\nP2,114.3345,39.2230,b\n"
                          "P3,117,-0.0001,c\nP4,abc,30,d\nP5,180,87.5959,e\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out,
              "name,L,B,sheet,L_sw,B_sw,L_ne,B_ne,备注\r\n"
              "P1,116.2825,39.5430,J50E001010,116.1500,39.5000,116.3000,40.0000,a\r\n"
              "P2,114.3345,39.2230,J50E004003,114.3000,39.2000,114.4500,39.3000,b\r\n"
              "P5,180,87.5959,V01E001001,-180.0000,87.5000,-179.4500,88.0000,e\r\n");
    EXPECT_NE(o.err.find("<stdin>:4: L \"117\", B \"-0.0001\": B -0°00′01″ lies south of the "
                         "equator"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("<stdin>:5: L: \"abc\" is not a number"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("3 points, 2 rejected"), std::string::npos) << o.err;
}

// Old numbers, neighbours and the 1:5,000 quarter of a point on a 1:10,000 sheet's corner
// (J-50-14-(50) by hand: 1:100,000 number 14, then 6 rows × 8 + 2), and -o into a file.
TEST_F(Sheet, OldNumbersNeighboursAndOutputFile) {
    const Outcome o = Run({"--scale", "1:5000", "--old", "--neighbours", "-o", "out.csv"},
                          "P2,114.3345,39.2230\n");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    const auto rows = NamedRows(ReadFile(dir / "out.csv"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("sheet"), "J-50-14-(50)-c");
    EXPECT_EQ(rows[0].at("n"), "J-50-14-(50)-a");
    EXPECT_EQ(rows[0].at("e"), "J-50-14-(50)-d");
    EXPECT_EQ(rows[0].at("w"), "J-50-14-(49)-d");  // the 1:10,000 sheet to the west
    EXPECT_EQ(rows[0].at("s"), "J-50-14-(58)-a");  // and the one south
    EXPECT_EQ(rows[0].at("sw"), "J-50-14-(57)-b");
    EXPECT_EQ(rows[0].at("L_sw"), "114.3345");
    EXPECT_EQ(rows[0].at("B_ne"), "39.2345");  // 1′15″ north
}

// Each corner's X, Y is forward's of the corner's L, B: on --lo, or on the zone of the sheet's
// centre with --zone, even where the sheet's western edge is the zone's.
TEST_F(Sheet, CornersOnTheProjectionAreForwardsPoints) {
    for (const std::vector<std::string>& projection :
         {std::vector<std::string>{"--lo", "114"}, {"--zone", "6"}, {"--zone", "3"}}) {
        const Outcome o = Run({"--scale", "1:100000", "--full", "--ellipsoid", "cgcs2000",
                               "--method", "exact", projection[0], projection[1]},
                              "P,114.0000,39.2000\n");
        ASSERT_EQ(o.status, 0) << o.err;
        const auto row = NamedRows(o.out).at(0);
        EXPECT_EQ(row.at("sheet"), "J50D002001");
        const std::string lo = projection[0] == "--lo" ? "114"
                               : projection[1] == "6"  ? "117"
                                                       : "114";
        if (projection[0] == "--zone") {
            EXPECT_EQ(row.at("zone"), projection[1] == "6" ? "20" : "38");
        }
        std::string corners;
        for (const char* c : {"sw", "se", "ne", "nw"}) {
            const std::string L = c[1] == 'w' ? row.at("L_sw") : row.at("L_ne");
            const std::string B = c[0] == 's' ? row.at("B_sw") : row.at("B_ne");
            corners += std::string(c) + "," + L + "," + B + "\n";
        }
        WriteFile(dir / "stdin", corners);
        const Outcome f = RunBatch(
            {"forward", "--lo", lo, "--full", "--ellipsoid", "cgcs2000", "--method", "exact"}, dir,
            dir / "stdin", dir / "stdout", dir / "stderr", EnvironmentIn({"LC_ALL=C"}));
        ASSERT_EQ(f.status, 0) << f.err;
        ASSERT_EQ(NamedRows(f.out).size(), 4u);
        for (const auto& p : NamedRows(f.out)) {
            EXPECT_EQ(row.at("X_" + p.at("name")), p.at("X")) << projection[1] << p.at("name");
            EXPECT_EQ(row.at("Y_" + p.at("name")), p.at("Y")) << projection[1] << p.at("name");
        }
    }
}

// West of Greenwich a sheet's zone is counted from the longitude east of Greenwich, as forward
// counts it: the corners of a sheet inside one zone are forward's own points with --zone.
TEST_F(Sheet, ZonesWestOfGreenwichAreForwardsZones) {
    for (const char* width : {"3", "6"}) {
        const Outcome o = Run({"--scale", "1:100000", "--full", "--ellipsoid", "wgs84", "--method",
                               "exact", "--zone", width},
                              "P,-74.1200,40.4200\n");
        ASSERT_EQ(o.status, 0) << o.err;
        const auto row = NamedRows(o.out).at(0);
        WriteFile(dir / "stdin", "sw," + row.at("L_sw") + "," + row.at("B_sw") + "\n");
        const Outcome f = RunBatch(
            {"forward", "--zone", width, "--full", "--ellipsoid", "wgs84", "--method", "exact"},
            dir, dir / "stdin", dir / "stdout", dir / "stderr", EnvironmentIn({"LC_ALL=C"}));
        ASSERT_EQ(f.status, 0) << f.err;
        const auto p = NamedRows(f.out).at(0);
        EXPECT_EQ(row.at("zone"), p.at("zone")) << width;
        EXPECT_EQ(row.at("X_sw"), p.at("X")) << width;
        EXPECT_EQ(row.at("Y_sw"), p.at("Y")) << width;
    }
}

// A corner that the central meridian cannot reach rejects its point, not the run.
TEST_F(Sheet, CornerBeyondTheProjectionRejectsThePoint) {
    const Outcome o = Run({"--scale", "1:1000000", "--lo", "60"}, "far,114.1,39.1\nnear,62,39\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(NamedRows(o.out).size(), 1u);
    EXPECT_NE(o.err.find("<stdin>:1:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("has no X, Y on the central meridian"), std::string::npos) << o.err;
}

// --corners: new and old forms of one sheet give one row; across 180° the neighbours wrap.
TEST_F(Sheet, CornersOfNumbersTyped) {
    const Outcome o = Run({"--corners", "--neighbours", "J50D001005", "j-50-5", "C60D006012"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = NamedRows(o.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], rows[1]);
    EXPECT_EQ(rows[0].at("L_sw"), "116.0000");  // column 5: 114° + 4 × 30′
    EXPECT_EQ(rows[0].at("B_ne"), "40.0000");
    EXPECT_EQ(rows[0].at("n"), "K50D012005");
    EXPECT_EQ(rows[2].at("e"), "C01D006001");
    EXPECT_EQ(rows[2].at("L_ne"), "180.0000");

    const Outcome old = Run({"--corners", "--old", "J50H030019"});
    ASSERT_EQ(old.status, 0) << old.err;
    EXPECT_EQ(NamedRows(old.out).at(0).at("sheet"), "J-50-14-(50)-c");

    const Outcome plane = Run({"--corners", "--plane", "--scale", "1:500", "3542.25-452.50"});
    ASSERT_EQ(plane.status, 0) << plane.err;
    EXPECT_EQ(plane.out,
              "sheet,X_sw,Y_sw,X_ne,Y_ne\r\n3542.25-452.50,3542250,452500,3542500,452750\r\n");
}

// Rectangular sheets from plane coordinates: the south-west corner in km.
TEST_F(Sheet, RectangularSheetsFromPlaneCoordinates) {
    const Outcome o = Run({"--scale", "1:1000", "--plane"},
                          "a,3542123.4,38452876.1\nedge,3542500,38452500\nneg,-1,5\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out,
              "name,X,Y,sheet,X_sw,Y_sw,X_ne,Y_ne\r\n"
              "a,3542123.4,38452876.1,3542.0-38452.5,3542000,38452500,3542500,38453000\r\n"
              "edge,3542500,38452500,3542.5-38452.5,3542500,38452500,3543000,38453000\r\n");
    EXPECT_NE(o.err.find("<stdin>:3:"), std::string::npos) << o.err;
}

// Refusals: exit status 2, nothing written, the reason said.
TEST_F(Sheet, RefusalsWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{}, "give --scale 1:N"},
        {{"--scale", "1:20000"}, "\"1:20000\" is no scale of the map sheets"},
        {{"--scale", "1:2000", "--old"}, "the old numbers end at 1:5,000"},
        {{"--scale", "1:50000", "--plane"}, "rectangular sheets are drawn at"},
        {{"--scale", "1:5000", "--plane", "--lo", "117"}, "in the plane already"},
        {{"--scale", "1:50000", "--ellipsoid", "cgcs2000"}, "give --lo or --zone with them"},
        {{"--scale", "1:50000", "-o", "x.gpkg"}, "sheet writes CSV"},
        {{"--scale", "1:50000", "--lo", "117", "--zone", "6"}, "--zone"},
        {{"--corners"}, "give one or more sheet numbers"},
        {{"--corners", "J50D001005", "J-50-144-(64)-h"}, "\"J-50-144-(64)-h\" is no sheet number"},
        {{"--corners", "--scale", "1:50000", "J50D001005"}, "is a sheet at 1:100,000, not at"},
        {{"--corners", "--plane", "3542-452"}, "give --scale"},
        {{"--corners", "--plane", "--scale", "1:5000", "3543-452"}, "on the 2000 m grid"},
        {{"--scale", "1:50000", "no-such-file.csv"}, "cannot read"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (std::find(args.begin(), args.end(), "-o") == args.end()) {
            args.insert(args.begin(), {"-o", "out.csv"});
        }
        const Outcome o = Run(args, "P,116.2825,39.5430\n");
        EXPECT_EQ(o.status, 2) << c.said << ": " << o.err;
        EXPECT_NE(o.err.find(c.said), std::string::npos) << c.said << ": " << o.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.said;
        EXPECT_FALSE(fs::exists(dir / "x.gpkg")) << c.said;
    }
    // -o naming the input would replace it.
    WriteFile(dir / "in.csv", "P,116.2825,39.5430\n");
    const Outcome same = Run({"--scale", "1:50000", "-o", "in.csv", "in.csv"});
    EXPECT_EQ(same.status, 2);
    EXPECT_EQ(ReadFile(dir / "in.csv"), "P,116.2825,39.5430\n");
}

// A file of many stretches numbered by several threads is the file numbered by one, in order,
// its rejected lines said in order too.
TEST_F(Sheet, ThreadsChangeNothing) {
    std::string input;
    for (int i = 0; i < 20000; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "P%d,%d.%02d%02d,%d.%02d%02d,x\n", i, 73 + i % 62, i % 60,
                      (i * 7) % 60, (i % 97 == 0) ? -1 : i % 88, (i * 13) % 60, i % 60);
        input += line;
    }
    std::vector<Outcome> runs;
    for (const char* threads : {"QUORVEL_BATCH_THREADS=1", "QUORVEL_BATCH_THREADS=4"}) {
        WriteFile(dir / "stdin", input);
        runs.push_back(RunBatch({"sheet", "--scale", "1:10000", "--neighbours", "--zone", "6"}, dir,
                                dir / "stdin", dir / "stdout", dir / "stderr",
                                EnvironmentIn({"LC_ALL=C", threads})));
    }
    EXPECT_EQ(runs[0].status, 1);
    EXPECT_EQ(runs[0].out, runs[1].out);
    EXPECT_EQ(runs[0].err, runs[1].err);
    EXPECT_EQ(NamedRows(runs[0].out).size(), 20000u - 207u);  // every 97th is south of the equator
}

// The reading options as every command has them: a decimal comma, other fields, GB18030.
TEST_F(Sheet, ReadsAsEveryCommandReads) {
    const Outcome comma = Run({"--scale", "1:1000000", "--decimal-comma"}, "P;116,2825;39,5430\n");
    ASSERT_EQ(comma.status, 0) << comma.err;
    EXPECT_EQ(comma.out,
              "name,L,B,sheet,L_sw,B_sw,L_ne,B_ne\r\n"
              "P,\"116,2825\",\"39,5430\",J50,114.0000,36.0000,120.0000,40.0000\r\n");
    const Outcome fields =
        Run({"--scale", "1:1000000", "--fields", "3,1,2"}, "116.2825,39.5430,P\n");
    ASSERT_EQ(fields.status, 0) << fields.err;
    EXPECT_EQ(NamedRows(fields.out).at(0).at("sheet"), "J50");
    const Outcome gb = Run({"--scale", "1:1000000", "--encoding", "gb18030"},
                           "\xB5\xE3,116.2825,39.5430\n");  // 点
    ASSERT_EQ(gb.status, 0) << gb.err;
    EXPECT_EQ(NamedRows(gb.out).at(0).at("name"), "点");
    // Options before the mode, as every mode takes them.
    WriteFile(dir / "stdin", "P,116.2825,39.5430\n");
    const Outcome before =
        RunBatch({"--scale", "1:1000000", "--fields", "1,2,3", "sheet"}, dir, dir / "stdin",
                 dir / "stdout", dir / "stderr", EnvironmentIn({"LC_ALL=C"}));
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(NamedRows(before.out).at(0).at("sheet"), "J50");
}

}  // namespace
}  // namespace quorvel::cli
