// Datum fits and transformations against PROJ's cct, run live: common points are made by cct
// pipelines (inverse tmerc, cart, helmert, inverse cart, tmerc) of datum_fixtures.h, independently
// of ProjPipeline; the 4-parameter fit against numpy's least squares.
#include "core/datum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/datum_fit.h"
#include "core/errors.h"
#include "core/run_tool.h"
#include "datum_fixtures.h"

namespace quorvel {
namespace {

const CoordinateSystem kBeijing = ParseCoordinateSystem("plane:krassovsky:117");
const CoordinateSystem kCgcs = ParseCoordinateSystem("plane:cgcs2000:117");

using testing::Area;
using testing::Common;
using testing::Pipeline;
using testing::Published;
using testing::Tm;

FitOptions With(DatumModel model, RotationConvention c = kDefaultConvention) {
    FitOptions o;
    o.model = model;
    o.convention = c;
    o.heights = true;
    return o;
}

TEST(DatumFit, RecoversParametersWithoutNoise) {
    for (RotationConvention c :
         {RotationConvention::CoordinateFrame, RotationConvention::PositionVector}) {
        SCOPED_TRACE(ConventionName(c));
        const DatumParameters want = Published(c);
        const FitResult r = FitDatum(kBeijing, kCgcs, Common(Area(12, 1), Pipeline(want)),
                                     With(DatumModel::Seven, c));
        EXPECT_NEAR(r.parameters.dx, want.dx, 1e-4);
        EXPECT_NEAR(r.parameters.dy, want.dy, 1e-4);
        EXPECT_NEAR(r.parameters.dz, want.dz, 1e-4);
        EXPECT_NEAR(r.parameters.rx, want.rx, 1e-4);
        EXPECT_NEAR(r.parameters.ry, want.ry, 1e-4);
        EXPECT_NEAR(r.parameters.rz, want.rz, 1e-4);
        EXPECT_NEAR(r.parameters.ds, want.ds, 1e-4);
        ASSERT_EQ(r.used, 12);
        for (const PointResidual& p : r.points) {
            for (double v : p.v) EXPECT_LT(std::abs(v), 1e-4) << p.name;
            EXPECT_FALSE(p.flagged) << p.name;
        }
    }
    DatumParameters three = Published(kDefaultConvention);
    three.model = DatumModel::Three;
    three.rx = three.ry = three.rz = three.ds = 0;
    const FitResult r =
        FitDatum(kBeijing, kCgcs, Common(Area(5, 2), Pipeline(three)), With(DatumModel::Three));
    EXPECT_NEAR(r.parameters.dx, three.dx, 1e-4);
    EXPECT_NEAR(r.parameters.dy, three.dy, 1e-4);
    EXPECT_NEAR(r.parameters.dz, three.dz, 1e-4);
    for (const PointResidual& p : r.points) EXPECT_LT(p.plane, 1e-4) << p.name;
}

// 1 cm of noise on each target coordinate; then a blunder of 0.5 m in one point, which must be
// flagged, not averaged in, and be the one point dropped.
TEST(DatumFit, NoiseBlunderAndCheckPoints) {
    std::vector<CommonPoint> points = Common(Area(30, 3), Pipeline(Published(kDefaultConvention)));
    ASSERT_EQ(points.size(), 30u);
    std::mt19937_64 rng(17);
    std::normal_distribution<double> noise(0, 0.01);
    for (CommonPoint& p : points) {
        for (double& t : p.target) t += noise(rng);
    }
    const FitResult clean = FitDatum(kBeijing, kCgcs, points, With(DatumModel::Seven));
    EXPECT_GT(clean.sigma0, 0.007);
    EXPECT_LT(clean.sigma0, 0.013);
    EXPECT_EQ(clean.redundancy, 30 * 3 - 7);
    EXPECT_LT(clean.standardErrors.ds, 1.0);  // ppm, over 60 km with 1 cm points

    points[4].check = points[20].check = true;
    const FitResult checked = FitDatum(kBeijing, kCgcs, points, With(DatumModel::Seven));
    EXPECT_EQ(checked.used, 28);
    EXPECT_EQ(checked.checked, 2);
    EXPECT_EQ(checked.points[4].use, PointUse::Check);
    EXPECT_GT(checked.checkPlaneRms, 0.001);
    EXPECT_LT(checked.checkPlaneRms, 0.05);
    points[4].check = points[20].check = false;

    points[11].target[0] += 0.5;
    FitOptions o = With(DatumModel::Seven);
    const FitResult flagged = FitDatum(kBeijing, kCgcs, points, o);
    EXPECT_TRUE(flagged.points[11].flagged);
    EXPECT_GT(flagged.points[11].v[0], 0.3);
    o.dropOutliers = true;
    const FitResult dropped = FitDatum(kBeijing, kCgcs, points, o);
    EXPECT_EQ(dropped.dropped, 1);
    EXPECT_EQ(dropped.points[11].use, PointUse::Dropped);
    EXPECT_EQ(dropped.points[11].droppedInRound, 1);
    EXPECT_NEAR(dropped.points[11].v[0], 0.5, 0.05);  // predicted without it: the blunder itself
    EXPECT_LT(dropped.sigma0, 0.013);
    for (const PointResidual& p : dropped.points) {
        EXPECT_EQ(p.use, p.name == "P12" ? PointUse::Dropped : PointUse::Fit) << p.name;
    }
}

// 10,000 points across the 6° zone 20 with the zone number in front, both conventions.
TEST(DatumTransform, AgreesWithCctAcrossASixDegreeZone) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> l(114, 120), b(18, 53), h(-50, 3000);
    std::vector<std::string> geo;
    for (int i = 0; i < 10000; ++i)
        geo.push_back(Num(l(rng)) + " " + Num(b(rng)) + " " + Num(h(rng)));
    const auto plane = RunTool("cct -d 12" + Tm(Krassovsky(), 117, 20500000), geo);
    ASSERT_EQ(plane.size(), geo.size());
    std::vector<std::string> lines;
    for (const auto& p : plane) lines.push_back(Num(p[0]) + " " + Num(p[1]) + " " + Num(p[2]));
    const CoordinateSystem from = ParseCoordinateSystem("plane:krassovsky:zone6");
    const CoordinateSystem to = ParseCoordinateSystem("plane:cgcs2000:zone6");
    for (RotationConvention c :
         {RotationConvention::CoordinateFrame, RotationConvention::PositionVector}) {
        const DatumParameters p = Published(c);
        const auto proj = RunTool(Pipeline(p, 117, 20500000), lines);
        ASSERT_EQ(proj.size(), lines.size());
        const DatumTransform t(from, to, p);
        double worst = 0;
        for (std::size_t i = 0; i < proj.size(); ++i) {
            const Triple r = t.Apply({plane[i][1], plane[i][0], plane[i][2]});
            worst = std::max({worst, std::abs(r[0] - proj[i][1]), std::abs(r[1] - proj[i][0]),
                              std::abs(r[2] - proj[i][2])});
        }
        EXPECT_LT(worst, 1e-4) << ConventionName(c);
    }
}

// The pipeline a parameter file carries gives in cct what DatumTransform gives, for each model
// and each kind of system.
TEST(DatumTransform, WrittenPipelineRunsInCct) {
    struct Case {
        const char *from, *to;
        DatumModel model;
        RotationConvention convention;
    };
    const Case cases[] = {
        {"plane:krassovsky:zone3", "plane:cgcs2000:zone3", DatumModel::Seven,
         RotationConvention::CoordinateFrame},
        {"geodetic:xian80", "geocentric:cgcs2000", DatumModel::Seven,
         RotationConvention::PositionVector},
        {"geocentric:wgs84", "plane:cgcs2000:117.3", DatumModel::Three, kDefaultConvention},
        {"plane:xian80:117.3", "geodetic:cgcs2000", DatumModel::Seven,
         RotationConvention::CoordinateFrame},
        {"plane:krassovsky:117", "plane:6378137,298.257222101:117", DatumModel::Four,
         kDefaultConvention},
        // Raised projection surfaces, on a meridian and in zones.
        {"plane:krassovsky:117:1500", "plane:cgcs2000:117.3:-80", DatumModel::Seven,
         RotationConvention::CoordinateFrame},
        {"geodetic:xian80", "plane:cgcs2000:zone3:2000", DatumModel::Seven,
         RotationConvention::PositionVector},
    };
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> l(116.6, 118.4), b(39, 41), h(0, 900);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " → " + c.to);
        const CoordinateSystem from = ParseCoordinateSystem(c.from),
                               to = ParseCoordinateSystem(c.to);
        DatumParameters p = Published(c.convention);
        p.model = c.model;
        if (c.model == DatumModel::Four) p.rotation = -3.2, p.scale = 12.5;
        const DatumTransform t(from, to, p);
        const SystemConverter source(from);
        std::vector<std::string> lines;
        std::vector<Triple> ours;
        for (int i = 0; i < 200; ++i) {
            const Triple s = source.FromGeodetic({l(rng), b(rng), h(rng)}, 39);
            lines.push_back(Num(s[0]) + " " + Num(s[1]) + " " + Num(s[2]));
            ours.push_back(t.Apply(s));
        }
        const auto proj = RunTool("cct -d 12 " + ProjPipeline(from, to, p, 39, 39), lines);
        ASSERT_EQ(proj.size(), ours.size());
        const bool degrees = to.kind == SystemKind::Geodetic;  // L, B: 1e-9° is 0.1 mm
        for (std::size_t i = 0; i < ours.size(); ++i) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(ours[i][k], proj[i][k], degrees && k < 2 ? 1e-9 : 1e-4) << lines[i];
        }
    }
}

// A plane system's fourth part is its projection height: the plane on the ellipsoid enlarged by
// it, written back as typed, refused beyond ±10 km or when it is no number.
TEST(CoordinateSystem, ProjectionHeightRaisesThePlaneAndReadsBack) {
    const CoordinateSystem raised = ParseCoordinateSystem("plane:cgcs2000:117: 1070.5 ");
    EXPECT_EQ(raised.projectionHeight, 1070.5);
    EXPECT_EQ(SystemText(raised), "plane:cgcs2000:117:1070.5");
    EXPECT_EQ(SystemText(ParseCoordinateSystem("plane:cgcs2000:zone3:0")), "plane:cgcs2000:zone3");
    EXPECT_EQ(SystemText(ParseCoordinateSystem("plane:cgcs2000:zone3:-0")), "plane:cgcs2000:zone3");
    const SystemConverter plain(kCgcs), high(raised);
    const double ratio = (6378137.0 + 1070.5) / 6378137.0;
    for (const Triple lbh : {Triple{117.8, 30.2, 5}, Triple{116.1, 45.9, -20}}) {
        const Triple p = plain.FromGeodetic(lbh), q = high.FromGeodetic(lbh);
        EXPECT_NEAR(q[0], p[0] * ratio, 1e-6);
        EXPECT_NEAR(q[1] - 500000, (p[1] - 500000) * ratio, 1e-6);
        const Triple back = high.ToGeodetic(q);
        EXPECT_NEAR(back[0], lbh[0], 1e-11);
        EXPECT_NEAR(back[1], lbh[1], 1e-11);
    }
    for (const char* bad : {"plane:cgcs2000:117:12000", "plane:cgcs2000:117:high",
                            "plane:cgcs2000:117:", "plane:cgcs2000:117:nan"}) {
        EXPECT_THROW(ParseCoordinateSystem(bad), InvalidParameterError) << bad;
    }
}

TEST(DatumFit, FourParametersAgreeWithNumpy) {
    const std::vector<Triple> sources = Area(25, 4);
    const double a = std::cos(20.5 / 206264.80624709636) * (1 + 25.4e-6);
    const double b = std::sin(20.5 / 206264.80624709636) * (1 + 25.4e-6);
    std::mt19937_64 rng(8);
    std::normal_distribution<double> noise(0, 0.005);
    std::vector<CommonPoint> points;
    std::vector<std::string> lines;
    for (const Triple& s : sources) {
        const Triple t = {-45.3 + a * s[0] - b * s[1] + noise(rng),
                          68.2 + b * s[0] + a * s[1] + noise(rng), 0};
        points.push_back({"P" + std::to_string(points.size() + 1), s, t});
        lines.push_back(Num(s[0]) + " " + Num(s[1]) + " " + Num(t[0]) + " " + Num(t[1]));
    }
    FitOptions o = With(DatumModel::Four);
    o.heights = false;
    const FitResult r = FitDatum(kBeijing, kCgcs, points, o);
    const auto ref = RunTool(std::string(QUORVEL_PYTHON3) + " " + QUORVEL_PLANE_LSTSQ, lines, 2);
    ASSERT_EQ(ref.size(), 2u);
    const double ours[] = {r.parameters.dx, r.parameters.dy, r.parameters.rotation,
                           1 + r.parameters.scale * 1e-6, r.sigma0};
    const double theirs[] = {ref[0].at(0), ref[0].at(1), ref[0].at(2), ref[0].at(3), ref[1].at(0)};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(ours[i], theirs[i], 1e-9 * std::abs(theirs[i])) << i;
    EXPECT_TRUE(std::isnan(r.points[0].v[2]));
}

// Each refusal once, with the words that tell the user what to change.
TEST(DatumFit, RefusesWhatCannotFixTheModel) {
    const std::string shift = Pipeline(Published(kDefaultConvention));
    std::vector<Triple> line = Area(8, 6);
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = {line[i][0], 500000 + 0.3 * i, 100};
    const std::vector<CommonPoint> good = Common(Area(6, 7), shift);
    auto swapped = good, prefixed = good, duplicate = good;
    std::swap(swapped[2].target[0], swapped[2].target[1]);
    prefixed[0].source[1] += 39e6;
    duplicate[3].name = duplicate[1].name;
    // A rotation of 200″ about the vertical of the area moves its points only metres.
    DatumParameters turned = Published(RotationConvention::PositionVector);
    const double B = 40 * std::numbers::pi / 180, L = 117 * std::numbers::pi / 180;
    turned.rx = 200 * std::cos(B) * std::cos(L), turned.ry = 200 * std::cos(B) * std::sin(L);
    turned.rz = 200 * std::sin(B);
    struct Case {
        const char* what;
        std::vector<CommonPoint> points;
        ErrorKind kind;
        const char* words;
        DatumModel model = DatumModel::Seven;
        CoordinateSystem from = kBeijing;
    };
    const Case cases[] = {
        {"two points", {good[0], good[1]}, ErrorKind::InsufficientPoints, "7 参数转换至少要 3 个"},
        {"one line", Common(line, shift), ErrorKind::WeakGeometry, "直线"},
        {"one place",
         {good[0], {"Q", good[0].source, good[0].target}},
         ErrorKind::WeakGeometry,
         "同一处",
         DatumModel::Four},
        {"same name", duplicate, ErrorKind::DuplicateName, good[1].name.c_str()},
        {"swapped", swapped, ErrorKind::PointMismatch, "目标坐标的 X、Y 多半写反"},
        {"zone number", prefixed, ErrorKind::PointMismatch, "带着带号"},
        {"wrong meridian",
         Common(Area(6, 7), Pipeline(Published(kDefaultConvention), 117, 500000, 120)),
         ErrorKind::PointMismatch, "或目标坐标若按 120°"},
        {"large rotation", Common(Area(6, 7), Pipeline(turned)), ErrorKind::OutOfDomain, "92.2″",
         DatumModel::Seven, kBeijing},
        {"4 on geodetic", good, ErrorKind::InvalidParameter, "plane", DatumModel::Four,
         ParseCoordinateSystem("geodetic:krassovsky")},
    };
    for (const Case& c : cases) {
        try {
            FitDatum(c.from, kCgcs, c.points, With(c.model));
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.what << ": " << e.what();
            EXPECT_NE(e.detail().find(c.words), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

// The area a parameter file records: the centre of points spread evenly around 117° E, 40° N
// is that place, its radius the farthest point's distance; the check points of a fit are no
// part of it. 0.1° of latitude there is 11.10 km on the ground, 0.1° of longitude 8.53 km.
TEST(DatumFit, AreaOfTheFittedPoints) {
    const SystemConverter geodetic(ParseCoordinateSystem("geodetic:krassovsky"));
    const std::vector<Triple> cross = {
        {116.9, 40, 0}, {117.1, 40, 0}, {117, 39.9, 120}, {117, 40.1, 0}};
    const CommonArea a = AreaOf(geodetic, cross);
    EXPECT_NEAR(a.l, 117, 1e-9);
    EXPECT_NEAR(a.b, 40, 1e-3);
    EXPECT_NEAR(a.radius, 11100, 20);
    const AreaDistance distance(a, geodetic.system().ellipsoid);
    EXPECT_NEAR(distance(geodetic.ToGeocentric({117.1, 40, 500})), 8530, 20);
    EXPECT_EQ(AreaOf(geodetic, {}).radius, 0);

    // Fitted in zone 39 with the zone number; a far check point does not widen the area.
    std::vector<Triple> sources = Area(8, 21);
    for (Triple& s : sources) s[1] += 39e6;
    std::vector<CommonPoint> points = Common(Area(8, 21), Pipeline(Published(kDefaultConvention)));
    for (std::size_t i = 0; i < points.size(); ++i) points[i].source = sources[i];
    const CoordinateSystem zone3 = ParseCoordinateSystem("plane:krassovsky:zone3");
    const FitResult r = FitDatum(zone3, kCgcs, points, With(DatumModel::Seven));
    CommonPoint far = points[0];
    far.name = "far";
    far.source[0] += 200000;
    far.target[0] += 200000;
    far.check = true;
    points.push_back(far);
    const FitResult checked = FitDatum(zone3, kCgcs, points, With(DatumModel::Seven));
    EXPECT_EQ(r.fromZone, 39);
    EXPECT_EQ(checked.area, r.area);
    EXPECT_GT(r.area.radius, 1000);
    EXPECT_NEAR(r.area.l, 117, 0.5);
}

}  // namespace
}  // namespace quorvel
