// quorvel-batch height-fit, fit --height-model and transform with a height model, run as
// programs on points with a smooth height anomaly, 1 cm of noise and a 10 cm blunder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "core/parameter_file.h"
#include "core/run_tool.h"
#include "csv_records.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using testing::Records;

constexpr double kX0 = 4420000, kY0 = 39490000;

double Anomaly(double x, double y) {
    const double u = (x - kX0) / 1e4, v = (y - kY0) / 1e4;
    return -9 + 0.3 * u - 0.2 * v + 0.05 * u * u - 0.02 * u * v + 0.04 * v * v;
}

struct Point {
    std::string name;
    double x, y, h, H;
};

// `n` points over 20 km, P5 with `blunder` metres more of h.
std::vector<Point> Points(int n, double blunder, unsigned seed = 2) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> where(-10000, 10000);
    std::normal_distribution<double> noise(0, 0.01);
    std::vector<Point> points;
    for (int i = 0; i < n; ++i) {
        Point p{"P" + std::to_string(i + 1), kX0 + where(random), kY0 + where(random), 0, 40.0 + i};
        p.h = p.H + Anomaly(p.x, p.y) + noise(random) + (i == 4 ? blunder : 0);
        points.push_back(p);
    }
    return points;
}

std::string Csv(const std::vector<Point>& points) {
    std::string csv = "name,X,Y,h,H,note\n";
    for (const Point& p : points) {
        csv += p.name + "," + Num(p.x) + "," + Num(p.y) + "," + Num(p.h) + "," + Num(p.H) +
               ",levelled\n";
    }
    return csv;
}

class Heights : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-height-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) { WriteFile(dir / name, text); }
    Outcome Run(const std::vector<std::string>& args) {
        return RunBatch(args, dir, "/dev/null", dir / "stdout", dir / "stderr",
                        EnvironmentIn({"LC_ALL=C"}));
    }

    fs::path dir;
};

TEST_F(Heights, BlunderIsFlaggedDroppedAndTheModelApplied) {
    Write("common.csv", Csv(Points(25, 0.10)));
    Outcome o = Run({"height-fit", "--header", "--model", "quadratic", "common.csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    auto rows = Records(o.out);
    ASSERT_EQ(rows.size(), 26u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"name", "use", "vH", "flag", "note"}));
    EXPECT_EQ(rows[5][0], "P5");
    EXPECT_EQ(rows[5][3], ">3σ0") << o.out;
    EXPECT_NE(o.err.find("warning: height model: 1 point beyond 3σ0: P5; --drop-outliers"),
              std::string::npos)
        << o.err;

    o = Run({"height-fit", "--header", "--drop-outliers", "--check", "P9", "-p", "hm.txt",
             "common.csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    rows = Records(o.out);
    EXPECT_EQ(rows[5][1], "dropped");
    EXPECT_NEAR(std::stod(rows[5][2]), 100, 40);  // predicted without it: the blunder
    EXPECT_EQ(rows[9][1], "check");
    EXPECT_NE(o.err.find("25 height common points: 23 fitted, 1 checked, 1 dropped"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("chosen by the number of fitted points"), std::string::npos) << o.err;
    const ParameterFile f = ReadParameterFile(ReadFile(dir / "hm.txt"));
    ASSERT_TRUE(f.height);
    EXPECT_FALSE(f.datum);
    EXPECT_EQ(f.height->kind, HeightModelKind::Quadratic);
    EXPECT_NEAR(f.heightSigma0, 0.01, 0.005);
    EXPECT_EQ(f.heightPoints, 23);

    // Points inside the area get H = h − ζ, their h kept as typed; one without h no H; one
    // 100 km off is rejected.
    Write("points.csv", "name,X,Y,h,note\nA," + Num(kX0 + 3000) + "," + Num(kY0 - 4000) +
                            ",100.250,x\nB," + Num(kX0) + "," + Num(kY0) + ",,y\nC," +
                            Num(kX0 + 1e5) + "," + Num(kY0) + ",80,z\n");
    o = Run({"transform", "-p", "hm.txt", "--header", "points.csv"});
    EXPECT_EQ(o.status, 1) << o.err;
    rows = Records(o.out);
    ASSERT_EQ(rows.size(), 3u) << o.out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"name", "X", "Y", "h", "H", "note"}));
    const double zeta = f.height->Anomaly(kX0 + 3000, kY0 - 4000);
    EXPECT_NEAR(std::stod(rows[1][4]), 100.25 - zeta, 1e-4);
    EXPECT_NEAR(zeta, Anomaly(kX0 + 3000, kY0 - 4000), 0.02);
    EXPECT_EQ(rows[1][3], "100.250");
    EXPECT_EQ(rows[1][5], "x");
    EXPECT_EQ(rows[2][3], "");
    EXPECT_EQ(rows[2][4], "");
    EXPECT_NE(o.err.find("points.csv:4:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("farther outside their area"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("h: ellipsoidal height as read; H: normal height, h − ζ"),
              std::string::npos)
        << o.err;

    o = Run({"transform", "-p", "hm.txt", "--to-ellipsoidal", "--header", "points.csv"});
    rows = Records(o.out);
    EXPECT_EQ(rows[0][3], "H");
    EXPECT_EQ(rows[0][4], "h");
    EXPECT_NEAR(std::stod(rows[1][4]), 100.25 + zeta, 1e-4);
}

TEST_F(Heights, FitWritesTheDatumAndTheHeightModelTogether) {
    // Both sides the same grid, shifted: a 3-parameter translation of 1 m north.
    std::string csv = "name,X1,Y1,X2,Y2,h,H,note\n";
    const std::vector<Point> points = Points(12, 0);
    for (const Point& p : points) {
        const bool none = p.name == "P3";  // a datum common point without heights
        csv += p.name + "," + Num(p.x - 1) + "," + Num(p.y) + "," + Num(p.x) + "," + Num(p.y) +
               "," + (none ? "" : Num(p.h)) + "," + (none ? "" : Num(p.H)) + ",n\n";
    }
    Write("common.csv", csv);
    const std::vector<std::string> fit = {"fit",
                                          "--from",
                                          "plane:krassovsky:zone3",
                                          "--to",
                                          "plane:cgcs2000:zone3",
                                          "--model",
                                          "4",
                                          "--height-model",
                                          "plane",
                                          "--header",
                                          "-p",
                                          "both.txt",
                                          "common.csv"};
    Outcome o = Run(fit);
    ASSERT_EQ(o.status, 0) << o.err;
    auto rows = Records(o.out);
    EXPECT_EQ(rows[0][6], "heightUse");
    EXPECT_EQ(rows[3][6], "");  // P3: in the datum fit only
    EXPECT_EQ(rows[1][6], "fit");
    EXPECT_EQ(rows[1].back(), "n");
    const ParameterFile f = ReadParameterFile(ReadFile(dir / "both.txt"));
    ASSERT_TRUE(f.height);
    EXPECT_TRUE(f.datum);
    EXPECT_EQ(f.height->kind, HeightModelKind::Plane);
    EXPECT_EQ(f.heightPoints, 11);
    EXPECT_NE(o.err.find("11 height common points: 11 fitted"), std::string::npos) << o.err;

    Write("points.csv", "name,X,Y,h\nA," + Num(kX0 + 2000 - 1) + "," + Num(kY0 + 1000) + ",70\n");
    o = Run({"transform", "-p", "both.txt", "--header", "points.csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    rows = Records(o.out);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"name", "X1", "Y1", "X2", "Y2", "h", "H"}));
    EXPECT_NEAR(std::stod(rows[1][3]), kX0 + 2000, 0.01);
    EXPECT_NEAR(std::stod(rows[1][6]), 70 - f.height->Anomaly(kX0 + 2000, kY0 + 1000), 2e-4);
}

TEST_F(Heights, RefusesWhatCannotBeFittedWritingNothing) {
    std::vector<Point> points = Points(8, 0);
    Write("good.csv", Csv(points));
    auto rows = Records(Csv(points));
    rows[3][4] = "";  // P3 without H
    rows[7][3] = "";  // P7 without h
    std::string lacking;
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k) lacking += (k ? "," : "") + row[k];
        lacking += "\n";
    }
    Write("lacking.csv", lacking);
    std::vector<Point> wild = points;
    wild[3].H = wild[3].h * 1000;
    Write("wild.csv", Csv(wild));
    std::vector<Point> line = points;
    for (std::size_t i = 0; i < line.size(); ++i) line[i].y = kY0 + 0.5 * static_cast<double>(i);
    Write("line.csv", Csv(line));
    Write("datum.txt",
          "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = no\n"
          "dx = 1\ndy = 2\ndz = 3\n");
    Write("alone.txt",
          "height_model = fixed\nheight_x0 = 0\nheight_y0 = 0\nheight_scale = 1\nheight_a0 = 5\n");
    struct Case {
        std::vector<std::string> args;
        const char* words;
    };
    const Case cases[] = {
        {{"height-fit", "--header", "lacking.csv"},
         "height common points lack a height (without h: P7; without H: P3)"},
        {{"height-fit", "--header", "wild.csv"}, "at P4, beyond the ±150 m"},
        {{"height-fit", "--header", "--model", "plane", "line.csv"}, "almost on one line"},
        {{"height-fit", "--header", "--model", "quadratic", "--check", "P1,P2,P3", "good.csv"},
         "needs at least 6 fitted height common points"},
        {{"height-fit", "--header", "--check", "P99", "good.csv"}, "no common point is named"},
        {{"height-fit", "--model", "cubic", "good.csv"}, "unknown height model \"cubic\""},
        {{"height-fit", "--fields", "1,2,3", "good.csv"}, "need 5 (name,X,Y,h,H)"},
        {{"height-fit", "--heights", "good.csv"}, "--heights is no option of height-fit"},
        {{"height-fit", "--outlier-factor", "1", "good.csv"}, "not a number from 2 to 100"},
        {{"fit", "--from", "plane:krassovsky:117", "--to", "geodetic:cgcs2000", "--height-model",
          "plane", "good.csv"},
         "--to must be a plane system"},
        {{"transform", "-p", "datum.txt", "--to-ellipsoidal", "good.csv"}, "holds no height model"},
        {{"transform", "-p", "alone.txt", "--from", "plane:cgcs2000:117", "good.csv"},
         "holds a height model alone"},
        {{"transform", "-p", "alone.txt", "--height-model", "plane", "good.csv"},
         "--height-model is an option of fit"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end() - 1, {"-o", "out.csv"});
        if (args[0] != "transform") args.insert(args.end() - 1, {"-p", "p.txt"});
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << c.words << "\n" << o.err;
        EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.words;
        EXPECT_FALSE(fs::exists(dir / "p.txt")) << c.words;
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(Heights, WithoutRedundancySigma0IsUndefinedNotZero) {
    Write("three.csv", Csv(Points(3, 0)));
    const Outcome o = Run({"height-fit", "--header", "-p", "hm.txt", "three.csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("σ0 undefined"), std::string::npos) << o.err;
    const std::string text = ReadFile(dir / "hm.txt");
    EXPECT_EQ(text.find("sigma0"), std::string::npos) << text;
    EXPECT_EQ(text.find("standard error"), std::string::npos) << text;
    EXPECT_NE(text.find("height_model = plane"), std::string::npos) << text;
}

}  // namespace
}  // namespace quorvel::cli
