// quorvel-batch fit and transform run as programs, on common points made by PROJ's cct with
// pipelines written here (inverse tmerc, cart, helmert, inverse cart, tmerc).
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core/parameter_file.h"
#include "core/run_tool.h"
#include "engine/datum_job.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Beijing 1954 to CGCS2000 as a province might publish it.
DatumParameters Published(RotationConvention c) {
    DatumParameters p;
    p.convention = c;
    p.dx = -32.4, p.dy = 118.7, p.dz = 61.2;
    p.rx = 1.83, p.ry = -0.94, p.rz = 2.71, p.ds = 4.27;
    return p;
}

std::string Tm(const char* ellipsoid, double lo, double x0) {
    return " +proj=tmerc +lon_0=" + Num(lo) + " +k_0=1 +x_0=" + Num(x0) + ellipsoid;
}
constexpr const char* kKrassovsky = " +a=6378245 +rf=298.3";
constexpr const char* kCgcs = " +a=6378137 +rf=298.257222101";

// Krassovsky plane on `lo` to CGCS2000 plane on `lo2`, easting first as PROJ has it.
std::string Pipeline(const DatumParameters& p, double x0 = 500000, double lo2 = 117) {
    return "cct -d 12 +proj=pipeline +step +inv" + Tm(kKrassovsky, 117, x0) + " +step +proj=cart" +
           kKrassovsky + " +step +proj=helmert +x=" + Num(p.dx) + " +y=" + Num(p.dy) +
           " +z=" + Num(p.dz) + " +rx=" + Num(p.rx) + " +ry=" + Num(p.ry) + " +rz=" + Num(p.rz) +
           " +s=" + Num(p.ds) + " +convention=" + std::string(ProjConventionName(p.convention)) +
           " +step +inv +proj=cart" + kCgcs + " +step" + Tm(kCgcs, lo2, x0);
}

// Common points "name,X1,Y1,H1,X2,Y2,H2" over 60 km by 60 km near 40° N, 117° E, targets made by
// `command`; `blunder` moves one source X by 0.5 m; `onLine` puts them all on one meridian, 30 cm
// apart across it, at one height.
std::string CommonPoints(int n, const std::string& command, int blunder = -1, bool onLine = false) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> x(4.40e6, 4.46e6), y(470000, 530000), h(20, 800);
    std::vector<std::array<double, 3>> sources(n);
    std::vector<std::string> lines;
    for (auto& s : sources) {
        s = {x(rng), y(rng), h(rng)};
        if (onLine) s = {s[0], 500000 + 0.3 * static_cast<double>(&s - &sources[0]), 100};
        lines.push_back(Num(s[1]) + " " + Num(s[0]) + " " + Num(s[2]));
    }
    const auto targets = RunTool(command, lines);
    std::string csv = "name,X1,Y1,H1,X2,Y2,H2\n";
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const double x1 = sources[i][0] + (static_cast<int>(i) == blunder ? 0.5 : 0);
        csv += "P" + std::to_string(i + 1) + "," + Num(x1) + "," + Num(sources[i][1]) + "," +
               Num(sources[i][2]) + "," + Num(targets[i][1]) + "," + Num(targets[i][0]) + "," +
               Num(targets[i][2]) + "\n";
    }
    return csv;
}

// The CSV's records as fields.
std::vector<std::vector<std::string>> Records(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(csv);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) row.push_back(f);
    }
    return rows;
}

class Datum : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-datum-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }

    // The program in `dir` with `language` for its messages.
    Outcome Run(const std::vector<std::string>& args, const std::string& language = "LC_ALL=C") {
        std::string command = "cd '" + dir.string() + "' && env -u LC_ALL -u LANGUAGE " + language +
                              " " + QUORVEL_BATCH_PROGRAM;
        for (const std::string& a : args) command += " '" + a + "'";
        command += " </dev/null >stdout 2>stderr";
        const int status = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = ReadFile(dir / "stdout");
        o.err = ReadFile(dir / "stderr");
        return o;
    }

    fs::path dir;
};

const std::vector<std::string> kSystems = {"--from", "plane:krassovsky:117", "--to",
                                           "plane:cgcs2000:117"};

std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.begin() + 1, kSystems.begin(), kSystems.end());
    return args;
}

// Without noise the parameters come back, every residual is below 0.1 mm, and the pipeline the
// parameter file carries gives in cct what transform gives.
TEST_F(Datum, FitRecoversParametersAndItsPipelineRunsInCct) {
    for (RotationConvention c :
         {RotationConvention::CoordinateFrame, RotationConvention::PositionVector}) {
        SCOPED_TRACE(ConventionName(c));
        const DatumParameters want = Published(c);
        Write("common.csv", CommonPoints(12, Pipeline(want)));
        const Outcome o = Run(With({"fit", "--heights", "--header", "--full", "--convention",
                                    std::string(ConventionName(c)), "-p", "p.txt", "common.csv"}));
        ASSERT_EQ(o.status, 0) << o.err;
        const ParameterFile f = ReadParameterFile(ReadFile(dir / "p.txt"));
        const DatumParameters& got = f.parameters;
        const std::pair<double, double> pairs[] = {
            {got.dx, want.dx}, {got.dy, want.dy}, {got.dz, want.dz}, {got.rx, want.rx},
            {got.ry, want.ry}, {got.rz, want.rz}, {got.ds, want.ds}};
        for (const auto& [a, b] : pairs) EXPECT_NEAR(a, b, 1e-4);
        EXPECT_EQ(f.points, 12);
        const auto rows = Records(o.out);
        ASSERT_EQ(rows.size(), 13u) << o.out;
        EXPECT_EQ(rows[0],
                  (std::vector<std::string>{"name", "use", "vX", "vY", "vH", "plane", "flag"}));
        for (std::size_t i = 1; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i].size(), 6u) << o.out;  // no flag
            for (int k = 2; k < 6; ++k) EXPECT_LT(std::abs(std::stod(rows[i][k])), 0.1) << o.out;
        }
        EXPECT_NE(o.err.find("standard error"), std::string::npos) << o.err;

        std::string points, cct;
        std::mt19937_64 rng(3);
        std::uniform_real_distribution<double> x(4.38e6, 4.48e6), y(440000, 560000), h(0, 900);
        std::vector<std::string> lines;
        for (int i = 0; i < 200; ++i) {
            const double px = x(rng), py = y(rng), ph = h(rng);
            points +=
                "Q" + std::to_string(i) + "," + Num(px) + "," + Num(py) + "," + Num(ph) + "\n";
            lines.push_back(Num(px) + " " + Num(py) + " " + Num(ph));
        }
        Write("points.csv", points);
        const Outcome t = Run({"transform", "-p", "p.txt", "--full", "points.csv"});
        ASSERT_EQ(t.status, 0) << t.err;
        const auto ours = Records(t.out);
        const auto proj = RunTool("cct -d 12 " + f.proj, lines);
        ASSERT_EQ(ours.size(), proj.size() + 1);
        for (std::size_t i = 0; i < proj.size(); ++i) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(std::stod(ours[i + 1][4 + k]), proj[i][k], 1e-4);
        }
    }
}

// One source moved by 0.5 m among points with 5 mm of noise: flagged, never averaged in
// silently, and the one point --drop-outliers drops.
TEST_F(Datum, BlunderIsFlaggedAndDroppedAlone) {
    std::string csv = CommonPoints(14, Pipeline(Published(kDefaultConvention)), 5);
    std::mt19937_64 rng(4);
    std::uniform_real_distribution<double> noise(-0.005, 0.005);
    std::string noisy;
    for (auto& row : Records(csv)) {
        for (std::size_t k = 4; k < row.size() && row[0] != "name"; ++k) {
            row[k] = Num(std::stod(row[k]) + noise(rng));
        }
        for (std::size_t k = 0; k < row.size(); ++k) noisy += (k ? "," : "") + row[k];
        noisy += "\n";
    }
    Write("common.csv", noisy);
    const std::vector<std::string> fit =
        With({"fit", "--heights", "--header", "--check", "P2,P9", "common.csv"});
    Outcome o = Run(fit);
    ASSERT_EQ(o.status, 0) << o.err;
    auto rows = Records(o.out);
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[6][0], "P6");
    EXPECT_EQ(rows[6].back(), ">3σ0") << o.out;
    EXPECT_EQ(rows[2][1], "check");
    EXPECT_NE(o.err.find("warning: 1 point beyond 3σ0: P6; --drop-outliers"), std::string::npos)
        << o.err;

    std::vector<std::string> drop = fit;
    drop.insert(drop.begin() + 1, "--drop-outliers");
    o = Run(drop);
    ASSERT_EQ(o.status, 0) << o.err;
    rows = Records(o.out);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::string use = rows[i][0] == "P6"                         ? "dropped"
                                : rows[i][0] == "P2" || rows[i][0] == "P9" ? "check"
                                                                           : "fit";
        EXPECT_EQ(rows[i][1], use) << rows[i][0];
    }
    EXPECT_NEAR(std::stod(rows[6][2]), -500, 20);  // predicted without it: the blunder itself
    EXPECT_NE(o.err.find("14 common points: 11 fitted, 2 checked, 1 dropped"), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("dropped in round 1: P6\n"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("warning"), std::string::npos) << o.err;
}

// 10,000 points across the 6° zone 20, the zone number in front of Y, heights from -50 to
// 3000 m, position vector; a line that does not read is refused alone.
TEST_F(Datum, TransformAgreesWithCctAcrossASixDegreeZone) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> l(114, 120), b(18, 53), h(-50, 3000);
    std::vector<std::string> geo;
    for (int i = 0; i < 10000; ++i)
        geo.push_back(Num(l(rng)) + " " + Num(b(rng)) + " " + Num(h(rng)));
    const auto plane = RunTool("cct -d 12" + Tm(kKrassovsky, 117, 20500000), geo);
    ASSERT_EQ(plane.size(), geo.size());
    std::string points, params;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < plane.size(); ++i) {
        points += "P" + std::to_string(i) + "," + Num(plane[i][1]) + "," + Num(plane[i][0]) + "," +
                  Num(plane[i][2]) + ",kept\n";
        lines.push_back(Num(plane[i][0]) + " " + Num(plane[i][1]) + " " + Num(plane[i][2]));
    }
    points += "bad,abc,20500000,0,x\n";
    Write("points.csv", points);
    const DatumParameters p = Published(RotationConvention::PositionVector);
    Write("p.txt",
          "model = 7\nconvention = position-vector\nfrom = plane:krassovsky:zone6\n"
          "to = plane:cgcs2000:zone6\nheights = yes\ndx = -32.4\ndy = 118.7\n"
          "dz = 61.2\nrx = 1.83\nry = -0.94\nrz = 2.71\nds = 4.27\n");
    const Outcome o = Run({"transform", "-p", "p.txt", "-o", "out.csv", "--full", "points.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("points.csv:10001: X1: \"abc\" is not a number\n10000 points, 1 rejected"),
              std::string::npos)
        << o.err;
    const auto ours = Records(ReadFile(dir / "out.csv"));
    const auto proj = RunTool(Pipeline(p, 20500000), lines);
    ASSERT_EQ(ours.size(), proj.size() + 1);
    EXPECT_EQ(ours[0],
              (std::vector<std::string>{"name", "X1", "Y1", "H1", "X2", "Y2", "H2", "field5"}));
    double worst = 0;
    for (std::size_t i = 0; i < proj.size(); ++i) {
        ASSERT_EQ(ours[i + 1].back(), "kept");
        worst = std::max({worst, std::abs(std::stod(ours[i + 1][4]) - proj[i][1]),
                          std::abs(std::stod(ours[i + 1][5]) - proj[i][0]),
                          std::abs(std::stod(ours[i + 1][6]) - proj[i][2])});
    }
    EXPECT_LT(worst, 1e-4);
}

// Each refusal once: exit status 2, the words that say what to change, no file written.
TEST_F(Datum, RefusesWhatCannotBeComputed) {
    const std::string good = CommonPoints(8, Pipeline(Published(kDefaultConvention)));
    auto rows = Records(good);
    const auto csv = [&](std::vector<std::vector<std::string>> r) {
        std::string text;
        for (const auto& row : r) {
            for (std::size_t k = 0; k < row.size(); ++k) text += (k ? "," : "") + row[k];
            text += "\n";
        }
        return text;
    };
    auto duplicate = rows;
    duplicate[4][0] = duplicate[2][0];
    Write("two.csv", csv({rows[0], rows[1], rows[2]}));
    Write("line.csv", CommonPoints(8, Pipeline(Published(kDefaultConvention)), -1, true));
    Write("duplicate.csv", csv(duplicate));
    Write("good.csv", good);
    Write("far.csv", CommonPoints(8, Pipeline(Published(kDefaultConvention), 500000, 120)));
    Write("geodetic.txt",
          "model = 3\nfrom = geodetic:krassovsky\nto = geodetic:cgcs2000\n"
          "heights = no\ndx = 1\ndy = 2\ndz = 3\n");
    Write("badkey.txt",
          "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\n"
          "heights = no\ndx = 1\ndy = 2\ndz = 3\nrotation = 1\n");
    struct Case {
        std::vector<std::string> args;
        const char* words;
    };
    const Case cases[] = {
        {With({"fit", "--heights", "--header", "two.csv"}),
         "needs at least 3 fitted common points"},
        {With({"fit", "--heights", "--header", "line.csv"}), "almost on one line"},
        {With({"fit", "--heights", "--header", "duplicate.csv"}),
         "common point name “P2” occurs more than once"},
        {With({"fit", "--heights", "--header", "far.csv"}), "km apart on the ground"},
        {{"transform", "-p", "geodetic.txt", "--header", "good.csv"}, "good.csv:2: L1 \"4"},
        {{"transform", "-p", "badkey.txt", "--header", "good.csv"},
         "badkey.txt: parameter file error: line 8: key “rotation” does not belong to the "
         "3-parameter model"},
        {{"transform", "-p", "geodetic.txt", "--model", "7", "good.csv"}, "option of fit"},
        {{"transform", "-p", "out.csv", "good.csv"}, "-o and -p name the same file"},
        {With({"fit", "--model", "4", "--heights", "--header", "--check", "P9", "good.csv"}),
         "no common point is named \"P9\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end() - 1, {"-o", "out.csv"});
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << c.words << "\n" << o.err;
        EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.words;
        EXPECT_EQ(o.out, "");
    }
}

// The rows of a CSV as text again.
std::string Csv(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k) text += (k ? "," : "") + row[k];
        text += "\n";
    }
    return text;
}

// A common point that does not read is not left out silently: the fit is refused, nothing
// written, unless --skip-bad-lines asks to fit without it.
TEST_F(Datum, BadLineRefusesTheFitUnlessSkipped) {
    auto rows = Records(CommonPoints(8, Pipeline(Published(kDefaultConvention))));
    rows[3][2] = "4432x1.5";
    Write("common.csv", Csv(rows));
    std::vector<std::string> args =
        With({"fit", "--heights", "--header", "-o", "out.csv", "-p", "p.txt", "common.csv"});
    Outcome o = Run(args);
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_NE(o.err.find("common.csv:4: a common point that does not read"), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("--skip-bad-lines"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(dir / "out.csv"));
    EXPECT_FALSE(fs::exists(dir / "p.txt"));

    args.insert(args.begin() + 1, "--skip-bad-lines");
    o = Run(args);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("7 fitted, 0 checked, 0 dropped; 1 rejected"), std::string::npos) << o.err;
    EXPECT_TRUE(fs::exists(dir / "p.txt"));
}

// K below 2 is refused; dropping stops with a warning (exit 1, the files written) before it
// would drop more than a third of the points, here 5 blunders among 12.
TEST_F(Datum, DroppingStopsBeforeAThird) {
    auto rows = Records(CommonPoints(12, Pipeline(Published(kDefaultConvention))));
    for (int i = 1; i <= 5; ++i) rows[2 * i][1] = Num(std::stod(rows[2 * i][1]) + 0.3 * i);
    Write("common.csv", Csv(rows));
    for (const char* k : {"1", "1.99", "0"}) {
        const Outcome o = Run(With({"fit", "--outlier-factor", k, "--drop-outliers", "--heights",
                                    "--header", "common.csv"}));
        EXPECT_EQ(o.status, 2) << k;
        EXPECT_NE(o.err.find("is not a number from 2 to 100"), std::string::npos) << o.err;
    }
    const Outcome o =
        Run(With({"fit", "--drop-outliers", "--heights", "--header", "-p", "p.txt", "common.csv"}));
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("12 common points: 8 fitted, 0 checked, 4 dropped"), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("dropping stopped before it would leave out more than a third"),
              std::string::npos)
        << o.err;
    EXPECT_TRUE(fs::exists(dir / "p.txt"));
}

// Without heights over 60 km, 12 mm of noise leave the rotations of a 7-parameter fit uncertain
// by arc-seconds: the fit is made, σ0 near the noise, and a warning advises the 4-parameter model;
// the same points with heights fix them.
TEST_F(Datum, TwoDimensionalFitWarnsOfWeakRotations) {
    auto rows = Records(CommonPoints(16, Pipeline(Published(kDefaultConvention))));
    std::mt19937_64 rng(6);
    std::normal_distribution<double> noise(0, 0.012);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        for (int k : {4, 5}) rows[i][k] = Num(std::stod(rows[i][k]) + noise(rng));
    }
    Write("common.csv", Csv(rows));
    Outcome o = Run(With({"fit", "--header", "--fields", "1,2,3,5,6", "common.csv"}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("redundancy 25\n"), std::string::npos) << o.err;  // 2·16 − 7
    EXPECT_NE(o.err.find("warning: the common points span too small an area to fix the "
                         "rotations of a two-dimensional 7-parameter fit"),
              std::string::npos)
        << o.err;
    o = Run(With({"fit", "--heights", "--header", "common.csv"}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("too small an area"), std::string::npos) << o.err;
}

// Faults of the input or the systems, each refused naming its likely cause.
TEST_F(Datum, RefusalsNameTheLikelyCause) {
    const auto rows = Records(CommonPoints(8, Pipeline(Published(kDefaultConvention))));
    auto zoned = rows, bigX = rows, bigY = rows;
    for (std::size_t i = 1; i < zoned.size(); ++i) {
        for (int k : {2, 5}) zoned[i][k] = Num(std::stod(zoned[i][k]) + 39e6);  // 3° zone 39
    }
    bigX[3][1] = "1e12";
    bigY[3][2] = "1e12";
    Write("zoned.csv", Csv(zoned));
    Write("bigx.csv", Csv(bigX));
    Write("bigy.csv", Csv(bigY));
    Write("good.csv", Csv(rows));
    const std::vector<std::string> zone6 = {"--from", "plane:krassovsky:zone6", "--to",
                                            "plane:cgcs2000:zone6"};
    struct Case {
        std::vector<std::string> args;
        const char* words;
    };
    const Case cases[] = {
        {{"fit", zone6[0], zone6[1], zone6[2], zone6[3], "--heights", "--header", "zoned.csv"},
         "zone 39 of 6° lies on 231°, far from China"},
        {With({"fit", "--heights", "--header", "bigx.csv"}), "not a northing in metres"},
        {With({"fit", "--heights", "--header", "bigy.csv"}), "not an easting in metres"},
        {With({"fit", "--heights", "--header", "zoned.csv"}),
         "the zone number in front on both sides (39 and 39)"},
        {With({"fit", "--header", "good.csv"}),
         "the lines most likely carry heights, H after each side's coordinates: give --heights"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end() - 1, {"-p", "p.txt"});
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << c.words << "\n" << o.err;
        EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "p.txt")) << c.words;
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(Datum, SpeaksChineseUnderAChineseLocale) {
    const locale_t zh = newlocale(LC_ALL_MASK, "zh_CN.UTF-8", nullptr);
    ASSERT_NE(zh, nullptr) << "no zh_CN.UTF-8 locale: scripts/install-deps.sh test generates it";
    freelocale(zh);
    Write("common.csv", CommonPoints(6, Pipeline(Published(kDefaultConvention))));
    // Two-dimensional: the heights pass through.
    Outcome o =
        Run(With({"fit", "--header", "--fields", "1,2,3,5,6", "common.csv"}), "LANG=zh_CN.UTF-8");
    EXPECT_EQ(o.status, 0) << o.err;
    for (const char* words : {"布尔沙七参数（坐标框架旋转）", "不含高程：两边 H 均取 0",
                              "，中误差 ", "单位权中误差 σ0 = ", "6 个重合点：参与拟合 6 个"}) {
        EXPECT_NE(o.err.find(words), std::string::npos) << words << "\n" << o.err;
    }
    o = Run(With({"fit", "--heights", "--header", "--check", "P1,P2,P3,P4", "common.csv"}),
            "LANG=zh_CN.UTF-8");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(
        o.err.find("点数不足：7 参数转换至少要 3 个参与拟合的重合点（检核点除外），现有 2 个"),
        std::string::npos)
        << o.err;
}

// The mode is the first argument that is neither an option nor an option's value.
TEST(DatumCommand, IsFoundAfterOptions) {
    const std::pair<std::vector<std::string_view>, bool> cases[] = {
        {{"--from", "fit", "--to", "x", "transform"}, true},
        {{"-p", "transform", "fit"}, true},
        {{"--lo", "117", "forward", "fit"}, false},
        {{"-ofit", "zone", "--ls", "120"}, false},
        {{"--header", "--", "transform"}, true},
        {{"--", "-fit"}, false},
    };
    for (const auto& [args, datum] : cases) {
        EXPECT_EQ(engine::IsDatumCommand(args), datum) << args.front() << " " << args.back();
    }
}

}  // namespace
}  // namespace quorvel::cli
