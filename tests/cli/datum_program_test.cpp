// quorvel-batch fit and transform run as programs, on common points made by PROJ's cct with
// the pipelines of datum_fixtures.h (inverse tmerc, cart, helmert, inverse cart, tmerc).
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/batch_runner.h"
#include "cli/command_line.h"
#include "cli/datum_options.h"
#include "core/parameter_file.h"
#include "core/run_tool.h"
#include "csv_records.h"
#include "datum_fixtures.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

using testing::Pipeline;
using testing::Published;
using testing::Records;

// Common points "name,X1,Y1,H1,X2,Y2,H2" over 60 km by 60 km near 40° N, 117° E, targets made by
// `command`; `blunder` moves one source X by 0.5 m; `onLine` puts them all on one meridian, 30 cm
// apart across it, at one height.
std::string CommonPoints(int n, const std::string& command, int blunder = -1, bool onLine = false) {
    std::vector<Triple> sources = testing::Area(n, 11);
    for (std::size_t i = 0; onLine && i < sources.size(); ++i)
        sources[i] = {sources[i][0], 500000 + 0.3 * static_cast<double>(i), 100};
    std::string csv = "name,X1,Y1,H1,X2,Y2,H2\n";
    const std::vector<CommonPoint> points = testing::Common(sources, command);
    for (const CommonPoint& p : points) {
        const double x1 = p.source[0] + (&p - points.data() == blunder ? 0.5 : 0);
        csv += p.name + "," + Num(x1) + "," + Num(p.source[1]) + "," + Num(p.source[2]) + "," +
               Num(p.target[0]) + "," + Num(p.target[1]) + "," + Num(p.target[2]) + "\n";
    }
    return csv;
}

class Datum : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-datum-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) { WriteFile(dir / name, text); }

    // The program in `dir` with `language` for its messages.
    Outcome Run(const std::vector<std::string>& args, const std::string& language = "LC_ALL=C") {
        return RunBatch(args, dir, "/dev/null", dir / "stdout", dir / "stderr",
                        EnvironmentIn({language}));
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
            ASSERT_EQ(rows[i].size(), 7u) << o.out;
            EXPECT_EQ(rows[i][6], "") << o.out;  // no flag
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
    const auto plane = RunTool("cct -d 12" + testing::Tm(Krassovsky(), 117, 20500000), geo);
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
    const auto proj = RunTool(Pipeline(p, 117, 20500000), lines);
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
    Write("far.csv", CommonPoints(8, Pipeline(Published(kDefaultConvention), 117, 500000, 120)));
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
         "common point name \"P2\" occurs more than once"},
        {With({"fit", "--heights", "--header", "far.csv"}), "km apart on the ground"},
        {{"transform", "-p", "geodetic.txt", "--header", "good.csv"}, "good.csv:2: L1 \"4"},
        {{"transform", "-p", "badkey.txt", "--header", "good.csv"},
         "badkey.txt: parameter file error: line 8: key \"rotation\" does not belong to the "
         "3-parameter model"},
        {{"transform", "-p", "geodetic.txt", "--model", "7", "good.csv"}, "option of fit"},
        {{"transform", "-p", "out.csv", "good.csv"}, "-o and -p name the same file"},
        {With({"fit", "--model", "4", "--fields", "1,2,3,5,6", "--header", "--check", "P9",
               "good.csv"}),
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

// A typo in the first line rejects that line alone: it does not decide how many fields the
// lines after it may pass through.
TEST_F(Datum, ColumnsComeFromTheFirstLineThatReads) {
    Write("p.txt",
          "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = no\n"
          "dx = 1\ndy = 2\ndz = 3\n");
    Write("in.csv", "P0,338O000,500000\nP1,3380000,500000,JD,12.5\nP2,3380100,500100,JD,13\n");
    const Outcome o = Run({"transform", "-p", "p.txt", "-o", "out.csv", "in.csv"});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.err.rfind("in.csv:1: X1: \"338O000\" is not a number", 0), 0u) << o.err;
    const auto rows = Records(ReadFile(dir / "out.csv"));
    ASSERT_EQ(rows.size(), 3u) << o.err;
    EXPECT_EQ(rows[0].size(), 7u);
    EXPECT_EQ(rows[1].back(), "12.5");
    EXPECT_EQ(rows[2].back(), "13");
}

// A parameter file's own text in a message: no control byte reaches the terminal, a NUL cuts
// nothing, a line of megabytes is not repeated whole.
TEST_F(Datum, ParameterFileErrorsAreEscapedAndBounded) {
    Write("good.csv", CommonPoints(8, Pipeline(Published(kDefaultConvention))));
    const std::string head = "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\n";
    Write("escape.txt",
          head + std::string("heights = n\0o\x1b[2J\n", 18) + "dx = 1\ndy = 2\ndz = 3\n");
    Write("long.txt", head + std::string(600000, 'k') + "\n");
    const std::pair<const char*, const char*> cases[] = {
        {"escape.txt", "line 4: heights must be yes or no, not \"n\\x00o\\x1b[2J\""},
        {"long.txt", "line 4: expected \"key = value\", found \"kkk"},
    };
    for (const auto& [file, words] : cases) {
        const Outcome o = Run({"transform", "-p", file, "--header", "good.csv"});
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_NE(o.err.find(words), std::string::npos) << o.err;
        EXPECT_LT(o.err.size(), 1000u);
        ASSERT_TRUE(o.err.ends_with('\n'));
        for (char c : o.err.substr(0, o.err.size() - 1)) EXPECT_FALSE(c >= 0 && c < 0x20);
    }
}

// The CSV of `rows`, one line each.
std::string Csv(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k) text += (k ? "," : "") + row[k];
        text += "\n";
    }
    return text;
}

// Common points as CommonPoints makes them (on 117°), written in the 3° zone 39, whose
// meridian that is: the zone number in front of both Y.
std::string InZone39(const std::string& csv) {
    auto rows = Records(csv);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        for (int k : {2, 5}) rows[i][k] = Num(std::stod(rows[i][k]) + 39e6);
    }
    return Csv(rows);
}

const std::vector<std::string> kZone3 = {"--from", "plane:krassovsky:zone3", "--to",
                                         "plane:cgcs2000:zone3"};

// A 4-parameter file fitted in zone 39 holds for that zone's grid, with the zone number: Y
// without it moves every point by about 100 m, another zone's points by metres, so both are
// refused on the first point, as is a zone number no zone has; a later line of another zone
// is rejected alone.
TEST_F(Datum, FourParameterFileHoldsForItsZoneOnly) {
    Write("common.csv", InZone39(CommonPoints(10, Pipeline(Published(kDefaultConvention)))));
    std::vector<std::string> fit = {"fit",      "--model", "4",      "--fields",  "1,2,3,5,6",
                                    "--header", "-p",      "p4.txt", "common.csv"};
    fit.insert(fit.begin() + 1, kZone3.begin(), kZone3.end());
    const Outcome o = Run(fit);
    ASSERT_EQ(o.status, 0) << o.err;
    const ParameterFile f = ReadParameterFile(ReadFile(dir / "p4.txt"));
    EXPECT_EQ(f.fromZone, 39);
    EXPECT_EQ(f.toZone, 39);
    ASSERT_TRUE(f.area.has_value());
    EXPECT_NEAR(f.area->l, 117, 0.4);
    EXPECT_NEAR(f.area->b, 40, 0.3);
    EXPECT_GT(f.area->radius, 20000);  // the points spread over 60 km by 60 km
    EXPECT_LT(f.area->radius, 43000);

    Write("zone39.csv", "A,4430000,39500000\nB,4431000,39501000\n");
    Write("nozone.csv", "A,4430000,500000\nB,4431000,501000\n");
    Write("zone38.csv", "A,4430000,38500000\n");
    Write("nosuchzone.csv", "A,4430000,250500000\n");
    Write("mixed.csv", "A,4430000,39500000\nB,4431000,38501000\nC,4432000,39502000\n");
    Outcome t = Run({"transform", "-p", "p4.txt", "-o", "out.csv", "zone39.csv"});
    EXPECT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(Records(ReadFile(dir / "out.csv")).size(), 3u);
    fs::remove(dir / "out.csv");
    const std::pair<const char*, const char*> refused[] = {
        {"nozone.csv",
         "nozone.csv:1: X1 \"4430000\", Y1 \"500000\": Y has no zone number in "
         "front, which plane:krassovsky:zone3"},
        {"zone38.csv",
         "zone38.csv:1: X1 \"4430000\", Y1 \"38500000\": a point of zone 38, but "
         "the 4-parameter file was fitted in zone 39"},
    };
    for (const auto& [input, words] : refused) {
        t = Run({"transform", "-p", "p4.txt", "-o", "out.csv", input});
        EXPECT_EQ(t.status, 2) << input;
        EXPECT_NE(t.err.find(words), std::string::npos) << t.err;
        EXPECT_NE(t.err.find("is p4.txt the parameter file for this input?"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << input;
    }
    t = Run({"transform", "-p", "p4.txt", "-o", "out.csv", "mixed.csv"});
    EXPECT_EQ(t.status, 1);
    EXPECT_NE(t.err.find("mixed.csv:2: X1 \"4431000\", Y1 \"38501000\": a point of zone 38"),
              std::string::npos)
        << t.err;
    const auto rows = Records(ReadFile(dir / "out.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], "C");
}

// Points farther outside the common points' area than its size are transformed, and warned of
// once: how many, and the farthest with its line and distance.
TEST_F(Datum, WarnsOfPointsFarOutsideTheArea) {
    Write("common.csv", CommonPoints(8, Pipeline(Published(kDefaultConvention))));
    ASSERT_EQ(Run(With({"fit", "--heights", "--header", "-p", "p.txt", "common.csv"})).status, 0);
    const ParameterFile f = ReadParameterFile(ReadFile(dir / "p.txt"));
    ASSERT_TRUE(f.area.has_value());
    // Northward of the middle of the points (about 4.43e6 m on 117°), whose centre lies within
    // 0.3 radius of it: inside, within the warning's 3 radii, beyond them, and farther.
    const double x = 4.43e6, r = f.area->radius;
    Write("points.csv", "in," + Num(x) + ",500000,0\nnear," + Num(x + 2.5 * r) + ",500000,0\nfar," +
                            Num(x + 3.5 * r) + ",500000,0\nfarther," + Num(x + 5 * r) +
                            ",500000,0\n");
    const Outcome t = Run({"transform", "-p", "p.txt", "points.csv"});
    EXPECT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(Records(t.out).size(), 5u);
    EXPECT_NE(t.err.find("warning: 2 points lie farther outside the common points' area"),
              std::string::npos)
        << t.err;
    EXPECT_NE(t.err.find("the farthest, farther on line 4, "), std::string::npos) << t.err;
    EXPECT_EQ(t.err.find("near"), std::string::npos) << t.err;

    Write("inside.csv", "in," + Num(x) + ",500000,0\n");
    EXPECT_EQ(Run({"transform", "-p", "p.txt", "inside.csv"}).err.find("warning"),
              std::string::npos);
}

// Parameters no two datums have are refused on reading, with exit status 2 and nothing
// written, instead of being applied or rejecting every line; a first point the parameters
// move by more than 1 km, or one without the H of a heights file, refuses the run alike.
TEST_F(Datum, RefusesParametersAndFilesThatDoNotMatch) {
    const std::string four =
        "model = 4\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\n"
        "heights = no\n";
    const std::string seven =
        "model = 7\nconvention = coordinate-frame\nfrom = plane:krassovsky:117\n"
        "to = plane:cgcs2000:117\nheights = no\ndy = 0\ndz = 0\nrx = 0\nry = 0\nrz = 0\nds = 0\n";
    const std::string three = "model = 3\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\n";
    struct Case {
        std::string file;
        const char* words;
    };
    const Case cases[] = {
        {four + "dx = 1\ndy = 2\nrotation = 3\nscale = -1000000\n", "beyond ±1000 ppm"},
        {four + "dx = 1\ndy = 2\nrotation = 400000\nscale = 3\n", "the rotation 400000″"},
        {four + "dx = 1e12\ndy = 2\nrotation = 3\nscale = 3\n", "the translation of 1e+12 m"},
        {seven + "dx = 1e9\n", "the translation of 1e+09 m is beyond 10261 m"},
        {four + "dx = 1\ndy = 2\nrotation = 3\nscale = 1.0000027161\n",
         "line 8: scale = 1.0000027161 looks like a scale factor, but the file takes ppm: as a "
         "factor it is 2.7161 ppm"},
        {four + "dx = 8000\ndy = 2\nrotation = 3\nscale = 3\n",
         "points.csv:1: X1 \"4430000\", Y1 \"500000\": the parameters move this point by 8."},
        {three + "heights = yes\ndx = 900\ndy = 0\ndz = 0\n", "points.csv:1: no H"},
    };
    Write("points.csv", "A,4430000,500000,x\nB,4431000,501000,x\n");
    for (const Case& c : cases) {
        Write("p.txt", c.file);
        const Outcome t = Run({"transform", "-p", "p.txt", "-o", "out.csv", "points.csv"});
        EXPECT_EQ(t.status, 2) << c.words << "\n" << t.err;
        EXPECT_NE(t.err.find(c.words), std::string::npos) << t.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.words;
    }
    // Within the limits and near the ground: applied. A scale with an exponent reads as ppm.
    for (const std::string& file :
         {four + "dx = 500\ndy = 2\nrotation = 0.5\nscale = 10\n",
          four + "dx = 1\ndy = 2\nrotation = 3\nscale = 1.0000027e0\n", seven + "dx = 900\n"}) {
        Write("p.txt", file);
        const Outcome t = Run({"transform", "-p", "p.txt", "points.csv"});
        EXPECT_EQ(t.status, 0) << file << t.err;
        EXPECT_EQ(Records(t.out).size(), 3u) << file;
    }
}

// The 4-parameter model carries no heights: fit refuses --heights rather than write H2 = H1,
// and a file that says otherwise is refused on its line.
TEST_F(Datum, FourParametersCarryNoHeights) {
    Write("common.csv", CommonPoints(6, Pipeline(Published(kDefaultConvention))));
    const Outcome o =
        Run(With({"fit", "--model", "4", "--heights", "--header", "-o", "out.csv", "common.csv"}));
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("the 4-parameter model carries no heights: leave out --heights"),
              std::string::npos)
        << o.err;
    EXPECT_FALSE(fs::exists(dir / "out.csv"));
    Write("p.txt",
          "model = 4\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = yes\n"
          "dx = 1\ndy = 2\nrotation = 3\nscale = 4\n");
    const Outcome t = Run({"transform", "-p", "p.txt", "common.csv"});
    EXPECT_EQ(t.status, 2);
    EXPECT_NE(t.err.find("p.txt: parameter file error: line 4: the 4-parameter model carries no "
                         "heights"),
              std::string::npos)
        << t.err;
}

// The proj line says what it takes and gives; one edited by hand is warned of, blanks and
// numbers' spelling aside.
TEST_F(Datum, ProjLineIsExplainedAndCheckedAgainstTheParameters) {
    Write("common.csv", CommonPoints(6, Pipeline(Published(kDefaultConvention))));
    ASSERT_EQ(Run(With({"fit", "--heights", "--header", "-p", "p.txt", "common.csv"})).status, 0);
    const std::string p = ReadFile(dir / "p.txt");
    EXPECT_NE(p.find("# proj, for cct: it takes plane X, Y (northing first) and H in metres; it "
                     "gives plane X, Y (northing first) and H in metres\nproj = "),
              std::string::npos)
        << p;
    Write("points.csv", "A,4430000,500000,10\n");
    EXPECT_EQ(Run({"transform", "-p", "p.txt", "points.csv"}).err.find("warning"),
              std::string::npos);

    const std::size_t at = p.find("+x=");
    std::string spaced = p;
    spaced.replace(p.find("+proj=helmert"), 13, "  +proj=helmert ");
    std::string edited = p;
    edited.replace(at, 3, "+x=1");  // -32.4 becomes 1-32.4: not a number; -x: another value
    const ParameterFile f = ReadParameterFile(p);
    std::string other = p;
    other.replace(p.find("+x=") + 3, p.find(' ', at) - at - 3, Num(f.parameters.dx + 0.5));
    std::string respelt = p;
    respelt.replace(p.find("+x=") + 3, p.find(' ', at) - at - 3,
                    Num(f.parameters.dx) + "000");  // the same value spelt otherwise
    const std::pair<std::string, bool> cases[] = {
        {spaced, false}, {respelt, false}, {edited, true}, {other, true}};
    for (const auto& [file, warned] : cases) {
        Write("q.txt", file);
        const Outcome t = Run({"transform", "-p", "q.txt", "points.csv"});
        EXPECT_EQ(t.status, 0) << t.err;
        EXPECT_EQ(t.err.find("warning: the proj line of q.txt does not give this file's "
                             "parameters' results: it was edited") != std::string::npos,
                  warned)
            << file << t.err;
    }
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
    for (const char* words : {"布尔沙七参数（坐标框架旋转）", "不含高程：只以东、北分量为观测值",
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
        EXPECT_EQ(cli::IsDatumCommand(args), datum) << args.front() << " " << args.back();
    }
}

// Arguments that name no datum mode are refused as usage, as quorvel-batch refuses a missing or
// unknown mode, whoever calls the reader (found by fuzzing: "--check p" threw out_of_range).
TEST(DatumCommand, ArgumentsWithoutItsModeAreAUsageError) {
    const std::pair<std::vector<std::string_view>, const char*> cases[] = {
        {{}, "no mode given"},
        {{"--check", "p"}, "no mode given"},
        {{"--heights", "--", "--full"}, "unknown mode \"--full\""},
        {{"forward", "fit"}, "unknown mode \"forward\""},
    };
    for (const auto& [args, words] : cases) {
        try {
            cli::ParseDatumArguments(args);
            ADD_FAILURE() << "read: " << words;
        } catch (const cli::UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    }
    const std::vector<std::string_view> transform = {"--full", "transform", "-p", "p.txt"};
    EXPECT_EQ(cli::ParseDatumArguments(transform).command, cli::DatumCommand::Transform);
}

}  // namespace
}  // namespace quorvel::cli
