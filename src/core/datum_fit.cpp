#include "core/datum_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <set>

#include "core/errors.h"
#include "core/messages.h"
#include "core/outlier_rounds.h"

namespace quorvel {
namespace {

using Eigen::Matrix3d;
using Eigen::MatrixXd;
using EastNorth = Eigen::Matrix<double, 2, 3>;
using Eigen::Vector3d;
using Eigen::VectorXd;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kArcSecond = std::numbers::pi / 648000;
constexpr double kCoincident = 0.001;  // metres of RMS spread
constexpr double kLineRatio = 0.01;    // spread across the main line over spread along it
constexpr double kMinReciprocalCond = 1e-10;

std::string Num(double v, int digits = 6) {
    char s[40];
    std::snprintf(s, sizeof s, "%.*g", digits, v);
    return s;
}

Vector3d V(const Triple& t) {
    return {t[0], t[1], t[2]};
}

// East, north and up at longitude L and latitude B (degrees), as the rows of a matrix.
Matrix3d LocalFrame(double L, double B) {
    const double l = L * std::numbers::pi / 180, b = B * std::numbers::pi / 180;
    Matrix3d m;
    m << -std::sin(l), std::cos(l), 0,                                        //
        -std::sin(b) * std::cos(l), -std::sin(b) * std::sin(l), std::cos(b),  //
        std::cos(b) * std::cos(l), std::cos(b) * std::sin(l), std::sin(b);
    return m;
}

// A point in the space the model is fitted in: geocentric for 7 and 3, typed (X, Y, 0) for 4;
// `en` takes a geocentric vector to its east and north components at the target point.
struct Prepared {
    Vector3d source, target;
    EastNorth en = EastNorth::Zero();
    int fromZone = -1, toZone = -1;
};

// ---- Where the two sides of a point lie ----

double Separation(const SystemConverter& from, const Triple& s, const SystemConverter& to,
                  const Triple& t) {
    try {
        const Triple lbh = from.ToGeodetic(s);
        const Vector3d d = V(to.ToGeocentric(t)) - V(from.ToGeocentric(s));
        return (LocalFrame(lbh[0], lbh[1]).topRows(2) * d).norm();
    } catch (const Error&) {
        return std::numeric_limits<double>::infinity();
    }
}

// One side of a common point: its system and its typed coordinates.
struct Side {
    CoordinateSystem system;
    Triple point;
};

bool Match(const Side& source, const Side& target) {
    return Separation(SystemConverter(source.system), source.point, SystemConverter(target.system),
                      target.point) <= kMaxSideSeparation;
}

// The side's plane point on a meridian `shift` degrees away, in a system with a meridian.
bool Shifted(Side& side, double shift) {
    CoordinateSystem& s = side.system;
    if (s.kind != SystemKind::Plane) return false;
    if (s.zoneWidth) {
        try {
            const ZonedEasting z = SplitZonePrefix(*s.zoneWidth, side.point[1], 500000);
            s.centralMeridian = CentralMeridianOf(*s.zoneWidth, z.zone);
            side.point[1] = z.Y;
        } catch (const Error&) {
            return false;
        }
        s.zoneWidth.reset();
    }
    s.centralMeridian += shift;
    return true;
}

std::string SideName(bool source) {
    return source ? Tr("source coordinates") : Tr("target coordinates");
}

// A zone number in front of Y where the system has a meridian, or none where it has zones;
// said only when reading Y the other way brings the sides together.
std::string ZoneNumberCause(Side side, const Side& other, bool source) {
    CoordinateSystem& s = side.system;
    double& Y = side.point[1];
    const auto match = [&] { return source ? Match(side, other) : Match(other, side); };
    if (s.kind != SystemKind::Plane) return "";
    if (!s.zoneWidth && std::abs(Y) >= kZonePrefixUnit) {
        const double n = std::floor(Y / kZonePrefixUnit);
        Y -= n * kZonePrefixUnit;
        if (!match()) return "";
        return Fill(Tr("{0}: Y most likely carries the zone number {1} in front, though the system "
                       "gives a central meridian: take the zone number off, or write the system "
                       "with zone3 or zone6"),
                    {SideName(source), Num(n)});
    }
    if (!s.zoneWidth || Y < 0 || Y >= kZonePrefixUnit) return "";
    double L = 0;
    try {
        L = SystemConverter(other.system).ToGeodetic(other.point)[0];
    } catch (const Error&) {
        return "";
    }
    const int n = ZoneOf(*s.zoneWidth, std::fmod(std::fmod(L, 360.0) + 360.0, 360.0));
    s.centralMeridian = CentralMeridianOf(*s.zoneWidth, n);
    s.zoneWidth.reset();
    if (!match()) return "";
    return Fill(Tr("{0}: Y most likely carries no zone number in front, though the system says "
                   "{1}: put the zone number {2} in front, or give the system its central "
                   "meridian"),
                {SideName(source), side.system.where, std::to_string(n)});
}

// Zone numbers in front of Y on both sides, each of a system with a meridian: taking off one
// alone does not bring the sides together.
std::string ZoneNumbersOnBoth(Side source, Side target) {
    int zones[2] = {0, 0};
    for (Side* side : {&source, &target}) {
        double& Y = side->point[1];
        if (side->system.kind != SystemKind::Plane || side->system.zoneWidth ||
            std::abs(Y) < kZonePrefixUnit) {
            return "";
        }
        const double n = std::floor(Y / kZonePrefixUnit);
        Y -= n * kZonePrefixUnit;
        zones[side == &source ? 0 : 1] = static_cast<int>(n);
    }
    if (!Match(source, target)) return "";
    return Fill(Tr("Y most likely carries the zone number in front on both sides ({0} and {1}), "
                   "though both systems give a central meridian: take the zone numbers off, or "
                   "write the systems with zone3 or zone6"),
                {std::to_string(zones[0]), std::to_string(zones[1])});
}

// How far a side lies from where the other common points are, in metres; the swapped reading of
// a pair of sides can bring them together too, far off.
double Distance(const Side& side, const Vector3d& reference) {
    try {
        return (V(SystemConverter(side.system).ToGeocentric(side.point)) - reference).norm();
    } catch (const Error&) {
        return std::numeric_limits<double>::infinity();
    }
}

// What most likely keeps the two sides apart, in words; empty if nothing explains it.
// `reference` is the middle of the common points' sources.
std::string LikelyCause(const SystemConverter& from, const SystemConverter& to,
                        const CommonPoint& p, const Vector3d& reference) {
    const Side source{from.system(), p.source}, target{to.system(), p.target};
    std::string swap;
    double nearest = std::numeric_limits<double>::infinity();
    for (bool s : {true, false}) {
        const Side& side = s ? source : target;
        if (side.system.kind == SystemKind::Geocentric) continue;
        Side swapped = side;
        std::swap(swapped.point[0], swapped.point[1]);
        if (!(s ? Match(swapped, target) : Match(source, swapped))) continue;
        const double d = Distance(s ? swapped : source, reference);
        if (swap.empty() || d < nearest) {
            nearest = d;
            swap = Fill(side.system.kind == SystemKind::Geodetic
                            ? Tr("{0}: L and B most likely swapped")
                            : Tr("{0}: X and Y most likely swapped"),
                        {SideName(s)});
        }
    }
    if (!swap.empty()) return swap;
    for (bool s : {true, false}) {
        const std::string cause =
            s ? ZoneNumberCause(source, target, true) : ZoneNumberCause(target, source, false);
        if (!cause.empty()) return cause;
    }
    const std::string both = ZoneNumbersOnBoth(source, target);
    if (!both.empty()) return both;
    // Moving one side's meridian by δ is moving the other's by −δ: say both where both are plane.
    for (double shift : {-6.0, -3.0, 3.0, 6.0}) {
        Side a = source, b = target;
        const bool moved =
            Shifted(a, shift) ? Match(a, target) : Shifted(b, -shift) && Match(source, b);
        if (!moved) continue;
        Side sa = source, sb = target;
        const bool onA = Shifted(sa, shift), onB = Shifted(sb, -shift);
        const std::string apart = Num(std::abs(shift));
        const std::string onSource = Num(sa.system.centralMeridian);
        const std::string onTarget = Num(sb.system.centralMeridian);
        if (onA && onB) {
            return Fill(Tr("the central meridians of the two sides most likely differ by {0}°: "
                           "the sides agree with the source computed on {1}° or the target on "
                           "{2}°"),
                        {apart, onSource, onTarget});
        }
        return onA ? Fill(Tr("the central meridians of the two sides most likely differ by {0}°: "
                             "the sides agree with the source computed on {1}°"),
                          {apart, onSource})
                   : Fill(Tr("the central meridians of the two sides most likely differ by {0}°: "
                             "the sides agree with the target computed on {1}°"),
                          {apart, onTarget});
    }
    return "";
}

Prepared PreparePoint(const SystemConverter& from, const SystemConverter& to, const CommonPoint& p,
                      DatumModel model, const Vector3d& reference) {
    const std::string context = Fill(Tr("common point \"{0}\""), {p.name});
    const auto mismatch = [&](const Error& e, const std::string& cause) {
        return PointMismatchError(Fill(Tr("{0}: {1}; {2}"), {context, e.detail(), cause}));
    };
    const auto side = [&](bool source) {
        return Fill(Tr("{1} of common point \"{0}\""), {p.name, SideName(source)});
    };
    Prepared out;
    Triple s{}, t{};
    try {
        s = from.ToGeocentric(p.source);
        out.fromZone = from.ZoneOf(p.source);
    } catch (const Error& e) {
        const std::string cause = LikelyCause(from, to, p, reference);
        if (!cause.empty()) throw mismatch(e, cause);
        RethrowWithContext(e, side(true));
    }
    try {
        t = to.ToGeocentric(p.target);
        out.toZone = to.ZoneOf(p.target);
    } catch (const Error& e) {
        const std::string cause = LikelyCause(from, to, p, reference);
        if (!cause.empty()) throw mismatch(e, cause);
        RethrowWithContext(e, side(false));
    }
    const double apart = Separation(from, p.source, to, p.target);
    if (apart > kMaxSideSeparation) {
        const std::string cause = LikelyCause(from, to, p, reference);
        const std::string km = Num(apart / 1000, 4);
        throw PointMismatchError(
            cause.empty()
                ? Fill(
                      Tr("the two sides of {0} lie {1} km apart on the ground, not one point's two "
                         "sets of coordinates: check the names and the systems"),
                      {context, km})
                : Fill(
                      Tr("the two sides of {0} lie {1} km apart on the ground, not one point's two "
                         "sets of coordinates: {2}"),
                      {context, km, cause}));
    }
    if (model == DatumModel::Four) {
        out.source = {p.source[0], p.source[1], 0};
        out.target = {p.target[0], p.target[1], 0};
    } else {
        out.source = V(s);
        out.target = V(t);
        // The target's normal: moving along it leaves the target's plane or L, B unchanged.
        const Triple lbh = to.ToGeodetic(p.target);
        out.en = LocalFrame(lbh[0], lbh[1]).topRows(2);
    }
    return out;
}

// ---- The least squares ----

int Dimension(DatumModel model) {
    return model == DatumModel::Four ? 2 : 3;
}

// Coordinates centred on the fitted points and divided by their RMS distance from the centre.
struct Frame {
    Vector3d centre = Vector3d::Zero();
    double scale = 1;
};

// The rows of one point's observations (target − source) in the design matrix.
MatrixXd DesignRows(DatumModel model, const Frame& f, const Vector3d& source) {
    const Vector3d u = (source - f.centre) / f.scale;
    const int d = Dimension(model);
    MatrixXd a = MatrixXd::Zero(d, ParameterCount(model));
    a.leftCols(d).setIdentity();
    if (model == DatumModel::Seven) {
        // t + σ·u + β × u
        a.col(3) = u;
        a.block<3, 3>(0, 4) << 0, u(2), -u(1), -u(2), 0, u(0), u(1), -u(0), 0;
    } else if (model == DatumModel::Four) {
        // [t + σ·u − β·uY, t + β·uX + σ·uY]
        a(0, 2) = u(0), a(0, 3) = -u(1);
        a(1, 2) = u(1), a(1, 3) = u(0);
    }
    return a;
}

// The observations of one point: 2 (east, north) in a two-dimensional fit, else Dimension.
int Observations(DatumModel model, bool planar) {
    return planar && model != DatumModel::Four ? 2 : Dimension(model);
}

struct Solution {
    Frame frame;
    VectorXd q;
    MatrixXd cofactor;  // (AᵀA)⁻¹
    double sigma0 = kNaN;
    int redundancy = 0;
};

void CheckGeometry(DatumModel model, const MatrixXd& centred, double rms) {
    if (model == DatumModel::Three) return;
    if (rms < kCoincident) {
        throw WeakGeometryError(
            Tr("the common points all lie at one place (within 1 mm of each other): they fix no "
               "parameters"));
    }
    if (model != DatumModel::Seven) return;
    const Eigen::JacobiSVD<MatrixXd> svd(centred);
    const VectorXd s = svd.singularValues();
    if (s(1) < kLineRatio * s(0)) {
        throw WeakGeometryError(
            Tr("the common points lie almost on one line (their spread across it is less than "
               "1/100 of their spread along it), which leaves the rotation about that line "
               "unfixed: add points off the line, or use the 4-parameter model"));
    }
}

Solution Solve(DatumModel model, bool planar, const std::vector<Prepared>& points,
               const std::vector<int>& active) {
    const int n = static_cast<int>(active.size());
    const int d = Dimension(model), u = ParameterCount(model), o = Observations(model, planar);
    Solution out;
    for (int i : active) out.frame.centre += points[i].source;
    out.frame.centre /= n;
    MatrixXd centred(n, d);
    for (int k = 0; k < n; ++k) {
        centred.row(k) = (points[active[k]].source - out.frame.centre).head(d).transpose();
    }
    const double rms = std::sqrt(centred.squaredNorm() / n);
    CheckGeometry(model, centred, rms);
    if (rms > 0) out.frame.scale = rms;

    MatrixXd a(n * o, u);
    VectorXd y(n * o);
    for (int k = 0; k < n; ++k) {
        const Prepared& p = points[active[k]];
        if (o == 2 && d == 3) {
            a.middleRows(k * o, o) = p.en * DesignRows(model, out.frame, p.source);
            y.segment(k * o, o) = p.en * (p.target - p.source);
        } else {
            a.middleRows(k * o, o) = DesignRows(model, out.frame, p.source);
            y.segment(k * o, o) = (p.target - p.source).head(d);
        }
    }
    const Eigen::HouseholderQR<MatrixXd> qr(a);
    const MatrixXd r = qr.matrixQR().topRows(u).triangularView<Eigen::Upper>();
    const VectorXd s = Eigen::JacobiSVD<MatrixXd>(r).singularValues();
    if (!(s(u - 1) >= kMinReciprocalCond * s(0))) {
        throw WeakGeometryError(
            Fill(Tr("the common points cannot fix the {0} parameters (the design matrix is nearly "
                    "singular): add points spread more widely"),
                 {ModelName(model)}));
    }
    out.q = qr.solve(y);
    const MatrixXd rInverse = r.triangularView<Eigen::Upper>().solve(MatrixXd::Identity(u, u));
    out.cofactor = rInverse * rInverse.transpose();
    out.redundancy = n * o - u;
    if (out.redundancy > 0) {
        out.sigma0 = std::sqrt((y - a * out.q).squaredNorm() / out.redundancy);
    }
    return out;
}

// The published parameters and the derivatives of each by the unknowns q.
void Parameters(DatumModel model, const Solution& s, DatumParameters& p, MatrixXd& jacobian) {
    const int u = ParameterCount(model);
    const Vector3d& c = s.frame.centre;
    const double L = s.frame.scale;
    jacobian = MatrixXd::Identity(u, u);
    if (model == DatumModel::Three) {
        p.dx = s.q(0), p.dy = s.q(1), p.dz = s.q(2);
        return;
    }
    if (model == DatumModel::Four) {
        const double a = 1 + s.q(2) / L, b = s.q(3) / L, m2 = a * a + b * b, m = std::sqrt(m2);
        p.dx = s.q(0) - (a - 1) * c(0) + b * c(1);
        p.dy = s.q(1) - b * c(0) - (a - 1) * c(1);
        p.rotation = std::atan2(b, a) / kArcSecond;
        p.scale = (m - 1) * 1e6;
        jacobian.row(0) << 1, 0, -c(0) / L, c(1) / L;
        jacobian.row(1) << 0, 1, -c(1) / L, -c(0) / L;
        jacobian.row(2) << 0, 0, -b / m2 / L / kArcSecond, a / m2 / L / kArcSecond;
        jacobian.row(3) << 0, 0, a / m / L * 1e6, b / m / L * 1e6;
        return;
    }
    // T = t − (σ/L)·c − (β/L) × c, ω = β / (L + σ), ds = σ / L; ω in the position vector sense.
    const double sigma = s.q(3);
    const Vector3d beta = s.q.tail<3>();
    const Vector3d t = s.q.head<3>() - sigma / L * c - (beta / L).cross(c);
    const Vector3d w = beta / (L + sigma);
    const double sign = p.convention == RotationConvention::PositionVector ? 1 : -1;
    p.dx = t(0), p.dy = t(1), p.dz = t(2);
    p.rx = sign * w(0) / kArcSecond, p.ry = sign * w(1) / kArcSecond;
    p.rz = sign * w(2) / kArcSecond;
    p.ds = sigma / L * 1e6;
    Matrix3d cx;
    cx << 0, -c(2), c(1), c(2), 0, -c(0), -c(1), c(0), 0;
    jacobian.block<3, 1>(0, 3) = -c / L;
    jacobian.block<3, 3>(0, 4) = cx / L;
    jacobian.block<3, 3>(3, 3).setZero();
    jacobian.block<3, 1>(3, 3) = -beta / ((L + sigma) * (L + sigma)) / kArcSecond;
    jacobian.block<3, 3>(3, 4) = Matrix3d::Identity() / (L + sigma) / kArcSecond;
    jacobian.row(6).setZero();
    jacobian(6, 3) = 1e6 / L;
}

void StandardErrors(DatumModel model, const Solution& s, const MatrixXd& jacobian,
                    DatumParameters& se) {
    const MatrixXd cov = s.sigma0 * s.sigma0 * jacobian * s.cofactor * jacobian.transpose();
    const auto e = [&](int i) { return std::sqrt(cov(i, i)); };
    se.dx = e(0), se.dy = e(1);
    if (model == DatumModel::Four) {
        se.rotation = e(2), se.scale = e(3);
        return;
    }
    se.dz = e(2);
    if (model == DatumModel::Seven) se.rx = e(3), se.ry = e(4), se.rz = e(5), se.ds = e(6);
}

// ---- Residuals in the target's components ----

struct Context {
    const SystemConverter& from;
    const SystemConverter& to;
    const FitOptions& options;
    bool planar;  // two-dimensional
};

// The reported residual of one point and the matrix that carries a fit-space residual to it.
void TargetResidual(const Context& x, const CommonPoint& p, const Prepared& q,
                    const Vector3d& predicted, Vector3d& v, Matrix3d& g) {
    g.setIdentity();
    const SystemKind kind = x.to.system().kind;
    if (x.options.model == DatumModel::Four || kind == SystemKind::Geocentric) {
        v = q.target - predicted;
        if (x.planar && kind == SystemKind::Geocentric) {
            g = q.en.transpose() * q.en;  // the horizontal part: the up component is not observed
            v = g * v;
        }
        return;
    }
    if (kind == SystemKind::Geodetic) {
        g = LocalFrame(p.target[0], p.target[1]);
        v = g * (q.target - predicted);
        return;
    }
    const auto plane = [&](const Vector3d& xyz) {
        return V(x.to.FromGeocentric({xyz(0), xyz(1), xyz(2)}, q.toZone));
    };
    v = V(p.target) - plane(predicted);
    for (int j = 0; j < 3; ++j) {
        const Vector3d h = Vector3d::Unit(j);
        g.col(j) = (plane(predicted + h) - plane(predicted - h)) / 2;
    }
}

PointResidual Residual(const Context& x, const CommonPoint& p, const Prepared& q, const Solution& s,
                       bool fitted) {
    const DatumModel model = x.options.model;
    const int d = Dimension(model);
    const MatrixXd a = DesignRows(model, s.frame, q.source);
    Vector3d predicted = q.source;
    predicted.head(d) += a * s.q;
    Vector3d v;
    Matrix3d g;
    TargetResidual(x, p, q, predicted, v, g);

    // The cofactors of the observed components, carried to the reported ones.
    MatrixXd reported;
    if (x.planar && d == 3) {
        const MatrixXd ea = q.en * a;
        MatrixXd cof = MatrixXd::Identity(2, 2);
        cof += (fitted ? -1.0 : 1.0) * ea * s.cofactor * ea.transpose();
        const MatrixXd k = g * q.en.transpose();
        reported = k * cof * k.transpose();
    } else {
        MatrixXd cof = MatrixXd::Identity(d, d);
        cof += (fitted ? -1.0 : 1.0) * a * s.cofactor * a.transpose();
        reported = g.topLeftCorner(d, d) * cof * g.topLeftCorner(d, d).transpose();
    }
    const SystemKind kind = x.to.system().kind;
    const int components = d == 3 && (x.options.heights || kind == SystemKind::Geocentric) ? 3 : 2;

    PointResidual r;
    r.name = p.name;
    r.v = {v(0), v(1), components == 3 ? v(2) : kNaN};
    r.plane = std::hypot(v(0), v(1));
    if (kind == SystemKind::Geocentric && model != DatumModel::Four) {
        const Triple lbh = x.to.ToGeodetic(p.target);
        r.plane = (LocalFrame(lbh[0], lbh[1]).topRows(2) * v).norm();
    }
    for (int c = 0; c < components && s.redundancy > 0; ++c) {
        TestResidual(r, v(c), s.sigma0 * std::sqrt(std::max(reported(c, c), 0.0)),
                     x.options.outlierFactor);
    }
    return r;
}

// ---- The rounds ----

void CheckInput(const CoordinateSystem& from, const CoordinateSystem& to,
                const std::vector<CommonPoint>& points, const FitOptions& options) {
    if (!(options.outlierFactor >= kMinOutlierFactor &&
          options.outlierFactor <= kMaxOutlierFactor)) {
        throw InvalidParameterError(Fill(Tr("the outlier factor K must be from {0} to {1}"),
                                         {Num(kMinOutlierFactor), Num(kMaxOutlierFactor)}));
    }
    if (options.model == DatumModel::Four &&
        (from.kind != SystemKind::Plane || to.kind != SystemKind::Plane)) {
        throw InvalidParameterError(
            Tr("the 4-parameter transformation needs plane systems on both sides"));
    }
    std::set<std::string> names;
    int fitted = 0;
    for (const CommonPoint& p : points) {
        if (!names.insert(p.name).second) {
            throw DuplicateNameError(
                Fill(Tr("common point name \"{0}\" occurs more than once"), {p.name}));
        }
        fitted += p.check ? 0 : 1;
    }
    const int need = FewestFitPoints(from, to, options);
    if (fitted < need && need > MinimumPoints(options.model)) {
        throw InsufficientPointsError(
            Fill(Tr("a two-dimensional {0}-parameter fit needs at least {1} fitted common points "
                    "(check points aside), two observations each, found {2}: give heights on "
                    "both sides to fit with fewer"),
                 {ModelName(options.model), std::to_string(need), std::to_string(fitted)}));
    }
    if (fitted < need) {
        throw InsufficientPointsError(
            Fill(Tr("the {0}-parameter transformation needs at least {1} fitted common points "
                    "(check points aside), found {2}"),
                 {ModelName(options.model), std::to_string(need), std::to_string(fitted)}));
    }
}

// The median of the sources' geocentric coordinates, each on its own: where most points are.
Vector3d Middle(const SystemConverter& from, const std::vector<CommonPoint>& points) {
    std::vector<double> c[3];
    for (const CommonPoint& p : points) {
        try {
            const Triple xyz = from.ToGeocentric(p.source);
            for (int k = 0; k < 3; ++k) c[k].push_back(xyz[k]);
        } catch (const Error&) {
        }
    }
    Vector3d m = Vector3d::Zero();
    for (int k = 0; k < 3 && !c[k].empty(); ++k) {
        std::nth_element(c[k].begin(), c[k].begin() + c[k].size() / 2, c[k].end());
        m(k) = c[k][c[k].size() / 2];
    }
    return m;
}

int CommonZone(const std::vector<Prepared>& points, bool source) {
    int zone = -2;
    for (const Prepared& p : points) {
        const int z = source ? p.fromZone : p.toZone;
        if (zone == -2) zone = z;
        if (z != zone) return -1;
    }
    return zone < 0 ? -1 : zone;
}

void Summarise(FitResult& r) {
    double sum[3] = {0, 0, 0}, plane = 0;
    for (const PointResidual& p : r.points) {
        if (p.use == PointUse::Fit) ++r.used;
        if (p.use == PointUse::Dropped) ++r.dropped;
        if (p.use != PointUse::Check) continue;
        ++r.checked;
        for (int c = 0; c < 3; ++c) sum[c] += p.v[c] * p.v[c];
        plane += p.plane * p.plane;
    }
    for (int c = 0; c < 3; ++c) r.checkRms[c] = r.checked ? std::sqrt(sum[c] / r.checked) : kNaN;
    r.checkPlaneRms = r.checked ? std::sqrt(plane / r.checked) : kNaN;
}

// Whether one of `active` fitted points may be dropped: the rest still fix the model with
// redundancy.
bool CanDrop(const Context& x, int active) {
    const DatumModel model = x.options.model;
    return active - 1 >= MinimumPoints(model) &&
           (active - 1) * Observations(model, x.planar) > ParameterCount(model);
}

FitResult Round(const Context& x, const std::vector<CommonPoint>& points,
                const std::vector<Prepared>& prepared, const std::vector<int>& droppedIn) {
    std::vector<int> active;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i].check && droppedIn[i] == 0) active.push_back(static_cast<int>(i));
    }
    const Solution s = Solve(x.options.model, x.planar, prepared, active);
    FitResult r;
    r.parameters.model = r.standardErrors.model = x.options.model;
    r.parameters.convention = r.standardErrors.convention = x.options.convention;
    MatrixXd jacobian;
    Parameters(x.options.model, s, r.parameters, jacobian);
    StandardErrors(x.options.model, s, jacobian, r.standardErrors);
    r.sigma0 = s.sigma0;
    r.redundancy = s.redundancy;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool fitted = !points[i].check && droppedIn[i] == 0;
        PointResidual p = Residual(x, points[i], prepared[i], s, fitted);
        p.use = points[i].check ? PointUse::Check : fitted ? PointUse::Fit : PointUse::Dropped;
        p.droppedInRound = droppedIn[i];
        r.points.push_back(std::move(p));
    }
    return r;
}

void CheckLimits(const FitResult& r) {
    try {
        CheckModelLimits(r.parameters);
    } catch (const Error& e) {
        const double weak = RotationStandardError(r);
        if (r.twoDimensional && weak > kWeakRotationSeconds) {
            const DatumParameters& p = r.parameters;
            throw OutOfDomainError(
                Fill(Tr("the fitted rotations add up to {0}″ and the scale to {1} ppm, beyond the "
                        "small-angle model's limits ({2}″, {3} ppm): the common points span too "
                        "small an area to fix the rotations of a two-dimensional 7-parameter fit "
                        "(their standard errors reach {4}″): use the 4-parameter model, or give "
                        "heights on both sides"),
                     {Num(std::sqrt(p.rx * p.rx + p.ry * p.ry + p.rz * p.rz)), Num(p.ds),
                      Num(kMaxRotationSeconds), Num(kMaxScalePpm), Num(weak, 3)}));
        }
        std::string flagged;
        for (const PointResidual& p : r.points) {
            if (p.flagged) flagged += (flagged.empty() ? "" : Tr(", ")) + p.name;
        }
        if (flagged.empty()) throw;
        throw OutOfDomainError(
            Fill(Tr("{0}; points beyond the limit: {1}; drop them and fit again"),
                 {e.detail(), flagged}));
    }
}

}  // namespace

bool IsTwoDimensional(const CoordinateSystem& from, const CoordinateSystem& to,
                      const FitOptions& options) {
    return options.model != DatumModel::Four && !options.heights &&
           (from.kind != SystemKind::Geocentric || to.kind != SystemKind::Geocentric);
}

double RotationStandardError(const FitResult& r) {
    if (r.parameters.model != DatumModel::Seven) return 0;
    const DatumParameters& e = r.standardErrors;
    return std::max({e.rx, e.ry, e.rz});
}

int FewestFitPoints(const CoordinateSystem& from, const CoordinateSystem& to,
                    const FitOptions& options) {
    if (!IsTwoDimensional(from, to, options)) return MinimumPoints(options.model);
    return (ParameterCount(options.model) + 1) / 2;
}

bool SidesMeet(const CoordinateSystem& from, const CoordinateSystem& to, const CommonPoint& p) {
    return Match({from, p.source}, {to, p.target});
}

std::string_view PointUseName(PointUse use) {
    switch (use) {
        case PointUse::Fit:
            return "fit";
        case PointUse::Check:
            return "check";
        case PointUse::Dropped:
            return "dropped";
    }
    return "fit";
}

FitResult FitDatum(const CoordinateSystem& from, const CoordinateSystem& to,
                   const std::vector<CommonPoint>& points, const FitOptions& options) {
    CheckInput(from, to, points, options);
    const SystemConverter source(from), target(to);
    const Context x{source, target, options, IsTwoDimensional(from, to, options)};
    std::vector<Prepared> prepared;
    const Vector3d reference = Middle(source, points);
    for (const CommonPoint& p : points) {
        prepared.push_back(PreparePoint(source, target, p, options.model, reference));
    }
    std::vector<int> droppedIn(points.size(), 0);
    FitResult r = Round(x, points, prepared, droppedIn);
    const auto fitted =
        std::count_if(points.begin(), points.end(), [](const CommonPoint& p) { return !p.check; });
    if (options.dropOutliers) {
        r.dropStopped = DropOutliers(
            r, droppedIn, fitted, [&](int active) { return CanDrop(x, active); },
            [&](const std::vector<int>& dropped) { return Round(x, points, prepared, dropped); });
    }
    r.twoDimensional = x.planar;
    CheckLimits(r);
    Summarise(r);
    r.fromZone = CommonZone(prepared, true);
    r.toZone = CommonZone(prepared, false);
    std::vector<Triple> used;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (r.points[i].use == PointUse::Fit) used.push_back(points[i].source);
    }
    r.area = AreaOf(source, used);
    return r;
}

// ---- Where the fitted points lie ----

CommonArea AreaOf(const SystemConverter& from, const std::vector<Triple>& points) {
    std::vector<Triple> xyz;
    Vector3d sum = Vector3d::Zero();
    for (const Triple& p : points) {
        try {
            xyz.push_back(from.ToGeocentric(p));
            sum += V(xyz.back());
        } catch (const Error&) {
        }
    }
    CommonArea a;
    if (xyz.empty()) return a;
    const Vector3d mean = sum / static_cast<double>(xyz.size());
    CoordinateSystem geocentric;
    geocentric.kind = SystemKind::Geocentric;
    geocentric.ellipsoid = from.system().ellipsoid;
    const Triple lbh = SystemConverter(geocentric).ToGeodetic({mean(0), mean(1), mean(2)});
    a.l = lbh[0], a.b = lbh[1];
    const AreaDistance distance(a, geocentric.ellipsoid);
    for (const Triple& p : xyz) a.radius = std::max(a.radius, distance(p));
    return a;
}

AreaDistance::AreaDistance(const CommonArea& a, const Ellipsoid& ellipsoid) {
    CoordinateSystem geodetic;
    geodetic.kind = SystemKind::Geodetic;
    geodetic.ellipsoid = ellipsoid;
    centre_ = SystemConverter(geodetic).ToGeocentric({a.l, a.b, 0});
    const Matrix3d frame = LocalFrame(a.l, a.b);
    for (int k = 0; k < 3; ++k) east_[k] = frame(0, k), north_[k] = frame(1, k);
}

double AreaDistance::operator()(const Triple& xyz) const {
    double e = 0, n = 0;
    for (int k = 0; k < 3; ++k) {
        e += east_[k] * (xyz[k] - centre_[k]);
        n += north_[k] * (xyz[k] - centre_[k]);
    }
    return std::hypot(e, n);
}

}  // namespace quorvel
