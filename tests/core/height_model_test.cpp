#include "core/height_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/errors.h"
#include "core/outlier_rounds.h"
#include "core/run_tool.h"

namespace quorvel {
namespace {

constexpr double kX0 = 3380000, kY0 = 39500000;

// A smooth anomaly over some 20 km: 12 m, tilting 1.5 m and bending 0.3 m across the area.
double Anomaly(double x, double y) {
    const double u = (x - kX0) / 1e4, v = (y - kY0) / 1e4;
    return 12 + 0.4 * u - 0.35 * v + 0.08 * u * u - 0.05 * u * v + 0.1 * v * v;
}

// `n` points spread over the square with heights whose anomaly is Anomaly plus noise.
std::vector<HeightPoint> Points(int n, double noise, std::mt19937& random) {
    std::uniform_real_distribution<double> where(-10000, 10000);
    std::normal_distribution<double> error(0, noise);
    std::vector<HeightPoint> points;
    for (int i = 0; i < n; ++i) {
        HeightPoint p;
        p.name = "P" + std::to_string(i + 1);
        p.x = kX0 + where(random), p.y = kY0 + where(random);
        p.H = 50 + i;
        p.h = p.H + Anomaly(p.x, p.y) + (noise > 0 ? error(random) : 0);
        points.push_back(p);
    }
    return points;
}

HeightFitOptions Model(HeightModelKind kind) {
    HeightFitOptions o;
    o.kind = kind;
    return o;
}

TEST(HeightFit, RecoversAnExactQuadraticSurface) {
    std::mt19937 random(1);
    const auto points = Points(12, 0, random);
    const HeightFitResult r = FitHeights(points, Model(HeightModelKind::Quadratic));
    for (const PointResidual& p : r.points) EXPECT_NEAR(p.v[2], 0, 1e-9) << p.name;
    for (double x : {-15000.0, 0.0, 12000.0}) {
        for (double y : {-9000.0, 3000.0}) {
            EXPECT_NEAR(r.model.Anomaly(kX0 + x, kY0 + y), Anomaly(kX0 + x, kY0 + y), 1e-8);
        }
    }
    EXPECT_EQ(r.redundancy, 6);
    EXPECT_EQ(r.used, 12);
}

// numpy's SVD least squares on the same centred and scaled design, for each model.
TEST(HeightFit, AgreesWithNumpy) {
    std::mt19937 random(7);
    for (HeightModelKind kind :
         {HeightModelKind::Fixed, HeightModelKind::Plane, HeightModelKind::Quadratic}) {
        const auto points = Points(25, 0.01, random);
        const HeightFitResult r = FitHeights(points, Model(kind));
        std::vector<std::string> lines;
        for (const HeightPoint& p : points) {
            lines.push_back(Num(p.x) + " " + Num(p.y) + " " + Num(p.h - p.H));
        }
        const auto ref = RunTool(std::string(QUORVEL_PYTHON3) + " " + QUORVEL_HEIGHT_LSTSQ + " " +
                                     std::to_string(HeightTermCount(kind)),
                                 lines, 3);
        ASSERT_EQ(ref.size(), 3u);
        for (int k = 0; k < 6; ++k) {
            EXPECT_NEAR(r.model.a[k], ref[k / 3][k % 3], 1e-6) << HeightModelName(kind) << k;
        }
        EXPECT_NEAR(r.sigma0, ref[2][0], 1e-9) << HeightModelName(kind);
    }
}

TEST(HeightFit, Sigma0EstimatesTheNoiseOverManyDraws) {
    std::mt19937 random(11);
    double sum = 0;
    const int draws = 400;
    for (int i = 0; i < draws; ++i) {
        const HeightFitResult r = FitHeights(Points(20, 0.01, random), {});
        ASSERT_EQ(r.model.kind, HeightModelKind::Quadratic);
        sum += r.sigma0 * r.sigma0;
    }
    EXPECT_NEAR(std::sqrt(sum / draws), 0.01, 0.01 * 0.03);
}

TEST(HeightFit, FlagsAndDropsATenCentimetreBlunder) {
    std::mt19937 random(3);
    auto points = Points(20, 0.01, random);
    points[4].h += 0.10;
    HeightFitOptions o = Model(HeightModelKind::Quadratic);
    const HeightFitResult flagged = FitHeights(points, o);
    EXPECT_TRUE(flagged.points[4].flagged);
    EXPECT_EQ(WorstFlaggedPoint(flagged.points), 4);
    o.dropOutliers = true;
    const HeightFitResult r = FitHeights(points, o);
    EXPECT_EQ(r.points[4].use, PointUse::Dropped);
    EXPECT_EQ(r.points[4].droppedInRound, 1);
    EXPECT_NEAR(r.points[4].v[2], 0.10, 0.04);  // predicted without it
    EXPECT_EQ(r.dropped, 1);
    EXPECT_EQ(r.used, 19);
    EXPECT_LT(r.sigma0, 0.015);
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        if (i != 4) {
            EXPECT_FALSE(r.points[i].flagged) << r.points[i].name;
        }
    }
}

TEST(HeightFit, CheckPointsArePredictedNotFitted) {
    std::mt19937 random(5);
    auto points = Points(10, 0.01, random);
    points[2].check = points[7].check = true;
    const HeightFitResult r = FitHeights(points, Model(HeightModelKind::Plane));
    EXPECT_EQ(r.checked, 2);
    EXPECT_EQ(r.used, 8);
    EXPECT_EQ(r.redundancy, 5);
    EXPECT_EQ(r.points[2].use, PointUse::Check);
    const double v2 = r.points[2].v[2], v7 = r.points[7].v[2];
    EXPECT_NEAR(r.checkRms, std::sqrt((v2 * v2 + v7 * v7) / 2), 1e-12);
    EXPECT_NEAR(v2, points[2].h - points[2].H - r.model.Anomaly(points[2].x, points[2].y), 1e-12);
}

TEST(HeightFit, ChoosesTheModelByThePoints) {
    std::mt19937 random(9);
    EXPECT_EQ(FitHeights(Points(1, 0, random), {}).model.kind, HeightModelKind::Fixed);
    EXPECT_EQ(FitHeights(Points(2, 0, random), {}).model.kind, HeightModelKind::Fixed);
    EXPECT_EQ(FitHeights(Points(3, 0, random), {}).model.kind, HeightModelKind::Plane);
    EXPECT_EQ(FitHeights(Points(6, 0, random), {}).model.kind, HeightModelKind::Plane);
    const HeightFitResult r = FitHeights(Points(7, 0, random), {});
    EXPECT_EQ(r.model.kind, HeightModelKind::Quadratic);
    EXPECT_TRUE(r.automatic);
    EXPECT_EQ(AutomaticHeightModel(7), HeightModelKind::Quadratic);
}

TEST(HeightFit, FixedOffsetIsTheMeanAndWithoutRedundancyNothingIsTested) {
    std::vector<HeightPoint> points = {{"A", kX0, kY0, 60.5, 50, false},
                                       {"B", kX0 + 500, kY0, 60.7, 50, false}};
    HeightFitResult r = FitHeights(points, Model(HeightModelKind::Fixed));
    EXPECT_NEAR(r.model.a[0], 10.6, 1e-12);
    EXPECT_NEAR(r.sigma0, std::hypot(0.1, 0.1), 1e-12);
    EXPECT_NEAR(r.standardErrors[0], r.sigma0 / std::sqrt(2.0), 1e-12);
    points.pop_back();
    r = FitHeights(points, Model(HeightModelKind::Fixed));
    EXPECT_EQ(r.redundancy, 0);
    EXPECT_TRUE(std::isnan(r.sigma0));
    EXPECT_TRUE(std::isnan(r.standardErrors[0]));
    EXPECT_FALSE(r.points[0].flagged);
}

TEST(HeightFit, RefusesWhatCannotBeFitted) {
    std::mt19937 random(13);
    EXPECT_THROW(FitHeights(Points(2, 0, random), Model(HeightModelKind::Plane)),
                 InsufficientPointsError);
    auto five = Points(5, 0, random);
    five[4].check = true;
    five[3].check = true;
    EXPECT_THROW(FitHeights(five, Model(HeightModelKind::Quadratic)), InsufficientPointsError);

    std::vector<HeightPoint> line;
    for (int i = 0; i < 6; ++i) {
        line.push_back(
            {"L" + std::to_string(i), kX0 + 1000 * i, kY0 + 1000 * i + (i % 2) * 5, 60, 50, false});
    }
    try {
        FitHeights(line, Model(HeightModelKind::Plane));
        ADD_FAILURE() << "points on a line fitted a plane";
    } catch (const WeakGeometryError& e) {
        EXPECT_NE(std::string(e.detail()).find("一条直线"), std::string::npos) << e.detail();
    }
    EXPECT_NO_THROW(FitHeights(line, Model(HeightModelKind::Fixed)));

    std::vector<HeightPoint> circle;
    for (int i = 0; i < 9; ++i) {
        const double t = i * 2 * 3.141592653589793 / 9;
        circle.push_back({"C" + std::to_string(i), kX0 + 5000 * std::cos(t),
                          kY0 + 5000 * std::sin(t), 60, 50, false});
    }
    EXPECT_THROW(FitHeights(circle, Model(HeightModelKind::Quadratic)), WeakGeometryError);
    EXPECT_NO_THROW(FitHeights(circle, Model(HeightModelKind::Plane)));
    circle.push_back({"C9", kX0, kY0, 60, 50, false});
    EXPECT_NO_THROW(FitHeights(circle, Model(HeightModelKind::Quadratic)));

    std::vector<HeightPoint> same = {{"A", kX0, kY0, 60, 50, false},
                                     {"B", kX0, kY0 + 0.0001, 60, 50, false},
                                     {"C", kX0 + 0.0001, kY0, 60, 50, false}};
    EXPECT_THROW(FitHeights(same, Model(HeightModelKind::Plane)), WeakGeometryError);
}

TEST(HeightFit, RefusesAnomaliesNoPlaceHasNamingThePoints) {
    std::mt19937 random(17);
    auto points = Points(8, 0, random);
    std::swap(points[2].h, points[2].x);  // a plane coordinate where h belongs
    points[5].H = points[5].h * 1000;     // millimetres
    try {
        FitHeights(points, {});
        ADD_FAILURE() << "a wild anomaly was fitted";
    } catch (const OutOfDomainError& e) {
        const std::string d = e.detail();
        EXPECT_NE(d.find("P3"), std::string::npos) << d;
        EXPECT_NE(d.find("P6"), std::string::npos) << d;
        EXPECT_EQ(d.find("P1、"), std::string::npos) << d;
        EXPECT_NE(d.find("放错了列"), std::string::npos) << d;
    }
    points = Points(3, 0, random);
    points[1].h = points[1].H - 150.001;
    EXPECT_THROW(FitHeights(points, {}), OutOfDomainError);
    points[1].h = points[1].H - 149.999;
    EXPECT_NO_THROW(FitHeights(points, Model(HeightModelKind::Fixed)));
}

TEST(HeightFit, RefusesDuplicateNamesAndOutlierFactorsOutOfRange) {
    std::mt19937 random(19);
    auto points = Points(4, 0, random);
    HeightFitOptions o;
    o.outlierFactor = 1.5;
    EXPECT_THROW(FitHeights(points, o), InvalidParameterError);
    o.outlierFactor = 2;
    EXPECT_NO_THROW(FitHeights(points, o));
    points[3].name = points[0].name;
    EXPECT_THROW(FitHeights(points, o), DuplicateNameError);
}

TEST(HeightModel, OutsideUsesTheDatumAreasMeasure) {
    HeightModel m;
    m.x0 = kX0, m.y0 = kY0;
    EXPECT_EQ(m.Outside(kX0 + 1e6, kY0), 0);  // no radius recorded
    m.radius = 3000;
    EXPECT_EQ(m.Outside(kX0 + 8999, kY0), 0);
    EXPECT_NEAR(m.Outside(kX0 + 9001, kY0), 9001, 1e-6);
    m.radius = 100;  // at least 1 km beyond the area
    EXPECT_EQ(m.Outside(kX0, kY0 + 1099), 0);
    EXPECT_NEAR(m.Outside(kX0, kY0 + 1101), 1101, 1e-6);
    EXPECT_EQ(OutsideLimit(3000), 9000);
}

TEST(HeightModel, NamesReadBackAndOthersAreRefused) {
    for (HeightModelKind k :
         {HeightModelKind::Fixed, HeightModelKind::Plane, HeightModelKind::Quadratic}) {
        EXPECT_EQ(ParseHeightModel(HeightModelName(k)), k);
    }
    EXPECT_EQ(ParseHeightModel(" Plane "), HeightModelKind::Plane);
    EXPECT_THROW(ParseHeightModel("cubic"), InvalidParameterError);
    EXPECT_THROW(ParseHeightModel(""), InvalidParameterError);
}

}  // namespace
}  // namespace quorvel
