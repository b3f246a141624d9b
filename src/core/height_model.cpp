#include "core/height_model.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/outlier_rounds.h"

namespace quorvel {
namespace {

using Eigen::MatrixXd;
using Eigen::RowVectorXd;
using Eigen::VectorXd;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kCoincident = 0.001;  // metres of RMS spread
// The quadratic's design, on coordinates scaled to a spread of 1, below this reciprocal
// condition number: the points lie on (or within noise of) one conic, which leaves a term free.
constexpr double kMinReciprocalCond = 1e-6;

std::string Num(double v, int digits = 6) {
    char s[40];
    std::snprintf(s, sizeof s, "%.*g", digits, v);
    return s;
}

// The terms 1, u, v, u², uv, v² a model of `kind` uses, at u, v.
RowVectorXd Terms(HeightModelKind kind, double u, double v) {
    RowVectorXd t(HeightTermCount(kind));
    t(0) = 1;
    if (kind == HeightModelKind::Fixed) return t;
    t(1) = u, t(2) = v;
    if (kind == HeightModelKind::Quadratic) t(3) = u * u, t(4) = u * v, t(5) = v * v;
    return t;
}

RowVectorXd TermsAt(const HeightModel& m, const HeightPoint& p) {
    return Terms(m.kind, (p.x - m.x0) / m.scale, (p.y - m.y0) / m.scale);
}

// The centre and spread of the fitted points; refuses a plane or quadratic on points that fix
// no tilt.
void Frame(const std::vector<HeightPoint>& points, const std::vector<int>& active, HeightModel& m) {
    const int n = static_cast<int>(active.size());
    m.x0 = m.y0 = 0;
    for (int i : active) m.x0 += points[i].x, m.y0 += points[i].y;
    m.x0 /= n, m.y0 /= n;
    MatrixXd centred(n, 2);
    for (int k = 0; k < n; ++k) {
        centred(k, 0) = points[active[k]].x - m.x0;
        centred(k, 1) = points[active[k]].y - m.y0;
    }
    const double rms = std::sqrt(centred.squaredNorm() / n);
    m.scale = rms > 0 ? rms : 1;
    m.radius = std::max(centred.rowwise().norm().maxCoeff(), 0.0);
    if (m.kind == HeightModelKind::Fixed) return;
    if (rms < kCoincident) {
        throw WeakGeometryError(
            Fill(Tr("the height common points all lie at one place (within 1 mm of each other): "
                    "they fix no {0} surface; use the fixed offset"),
                 {HeightModelName(m.kind)}));
    }
    const VectorXd s = Eigen::JacobiSVD<MatrixXd>(centred).singularValues();
    if (s(1) < kHeightLineRatio * s(0)) {
        throw WeakGeometryError(
            Fill(Tr("the height common points lie almost on one line (their spread across it is "
                    "{0} of their spread along it, below 1/100): a {1} surface's tilt across the "
                    "line is not fixed, and a centimetre of noise would tilt it by decimetres a "
                    "spread away; add points off the line, or use the fixed offset"),
                 {Num(s(1) / s(0), 3), HeightModelName(m.kind)}));
    }
}

struct Solution {
    HeightModel model;
    MatrixXd cofactor;  // (AᵀA)⁻¹
    double sigma0 = kNaN;
    int redundancy = 0;
};

Solution Solve(HeightModelKind kind, const std::vector<HeightPoint>& points,
               const std::vector<int>& active) {
    Solution out;
    out.model.kind = kind;
    Frame(points, active, out.model);
    const int n = static_cast<int>(active.size()), t = HeightTermCount(kind);
    MatrixXd a(n, t);
    VectorXd y(n);
    for (int k = 0; k < n; ++k) {
        const HeightPoint& p = points[active[k]];
        a.row(k) = TermsAt(out.model, p);
        y(k) = p.h - p.H;
    }
    const Eigen::HouseholderQR<MatrixXd> qr(a);
    const MatrixXd r = qr.matrixQR().topRows(t).triangularView<Eigen::Upper>();
    const VectorXd s = Eigen::JacobiSVD<MatrixXd>(r).singularValues();
    if (!(s(t - 1) >= kMinReciprocalCond * s(0))) {
        throw WeakGeometryError(
            Fill(Tr("the height common points cannot fix the {0} surface's {1} terms (its design "
                    "matrix's reciprocal condition number is {2}, below {3}: the points lie on or "
                    "near one curve, a circle say): add points inside and outside it, or use the "
                    "plane"),
                 {HeightModelName(kind), std::to_string(t), Num(s(t - 1) / s(0), 3),
                  Num(kMinReciprocalCond)}));
    }
    const VectorXd q = qr.solve(y);
    for (int k = 0; k < t; ++k) out.model.a[k] = q(k);
    const MatrixXd rInverse = r.triangularView<Eigen::Upper>().solve(MatrixXd::Identity(t, t));
    out.cofactor = rInverse * rInverse.transpose();
    out.redundancy = n - t;
    if (out.redundancy > 0) out.sigma0 = std::sqrt((y - a * q).squaredNorm() / out.redundancy);
    return out;
}

HeightFitResult Round(const std::vector<HeightPoint>& points, HeightModelKind kind, double factor,
                      const std::vector<int>& droppedIn) {
    std::vector<int> active;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i].check && droppedIn[i] == 0) active.push_back(static_cast<int>(i));
    }
    const Solution s = Solve(kind, points, active);
    HeightFitResult r;
    r.model = s.model;
    r.sigma0 = s.sigma0;
    r.redundancy = s.redundancy;
    r.standardErrors.fill(0);
    for (int k = 0; k < HeightTermCount(kind); ++k) {
        r.standardErrors[k] = s.sigma0 * std::sqrt(s.cofactor(k, k));
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        const HeightPoint& p = points[i];
        const bool fitted = !p.check && droppedIn[i] == 0;
        const RowVectorXd terms = TermsAt(s.model, p);
        const double q = (terms * s.cofactor * terms.transpose())(0, 0);
        PointResidual& v = r.points.emplace_back();
        v.name = p.name;
        v.use = p.check ? PointUse::Check : fitted ? PointUse::Fit : PointUse::Dropped;
        v.droppedInRound = droppedIn[i];
        v.v = {kNaN, kNaN, (p.h - p.H) - s.model.Anomaly(p.x, p.y)};
        v.plane = kNaN;
        if (s.redundancy > 0) {
            TestResidual(v, v.v[2], s.sigma0 * std::sqrt(std::max(fitted ? 1 - q : 1 + q, 0.0)),
                         factor);
        }
    }
    return r;
}

// The points named in a message, at most ten.
std::string Names(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < 10; ++i) {
        out += (i ? Tr(", ") : "") + names[i];
    }
    if (names.size() > 10) out += Tr(", …");
    return out;
}

void CheckInput(const std::vector<HeightPoint>& points, const HeightFitOptions& options,
                HeightModelKind kind, int fitted) {
    if (!(options.outlierFactor >= kMinOutlierFactor &&
          options.outlierFactor <= kMaxOutlierFactor)) {
        throw InvalidParameterError(Fill(Tr("the outlier factor K must be from {0} to {1}"),
                                         {Num(kMinOutlierFactor), Num(kMaxOutlierFactor)}));
    }
    std::set<std::string> names;
    std::vector<std::string> wild;
    double worst = 0;
    for (const HeightPoint& p : points) {
        if (!names.insert(p.name).second) {
            throw DuplicateNameError(
                Fill(Tr("height common point name \"{0}\" occurs more than once"), {p.name}));
        }
        const double zeta = p.h - p.H;
        if (!(std::abs(zeta) <= kMaxAnomaly)) {
            wild.push_back(p.name);
            if (!(std::abs(zeta) <= std::abs(worst))) worst = zeta;
        }
    }
    if (!wild.empty()) {
        throw OutOfDomainError(
            Fill(Tr("the height anomaly h − H reaches {0} m at {1}, beyond the ±{2} m any place "
                    "on Earth has: a height is most likely in the wrong column (h and H "
                    "swapped, or another field) or in another unit"),
                 {Num(worst, 6), Names(wild), Num(kMaxAnomaly)}));
    }
    if (fitted < HeightTermCount(kind)) {
        throw InsufficientPointsError(
            Fill(Tr("the {0} height model needs at least {1} fitted height common points (check "
                    "points aside), found {2}"),
                 {HeightModelName(kind), std::to_string(HeightTermCount(kind)),
                  std::to_string(fitted)}));
    }
}

}  // namespace

std::string_view HeightModelName(HeightModelKind kind) {
    switch (kind) {
        case HeightModelKind::Fixed:
            return "fixed";
        case HeightModelKind::Plane:
            return "plane";
        case HeightModelKind::Quadratic:
            return "quadratic";
    }
    return "fixed";
}

HeightModelKind ParseHeightModel(std::string_view text) {
    const std::string t = AsciiLower(TrimBlanks(text));
    for (HeightModelKind k :
         {HeightModelKind::Fixed, HeightModelKind::Plane, HeightModelKind::Quadratic}) {
        if (t == HeightModelName(k)) return k;
    }
    throw InvalidParameterError(Fill(Tr("unknown height model \"{0}\": fixed, plane or quadratic"),
                                     {EscapedText(text, 40)}));
}

int HeightTermCount(HeightModelKind kind) {
    return kind == HeightModelKind::Fixed ? 1 : kind == HeightModelKind::Plane ? 3 : 6;
}

HeightModelKind AutomaticHeightModel(int fitted) {
    return fitted >= 7   ? HeightModelKind::Quadratic
           : fitted >= 3 ? HeightModelKind::Plane
                         : HeightModelKind::Fixed;
}

double HeightModel::Anomaly(double x, double y) const {
    const double u = (x - x0) / scale, v = (y - y0) / scale;
    double z = a[0];
    if (kind == HeightModelKind::Fixed) return z;
    z += a[1] * u + a[2] * v;
    if (kind == HeightModelKind::Quadratic) z += a[3] * u * u + a[4] * u * v + a[5] * v * v;
    return z;
}

double HeightModel::Outside(double x, double y) const {
    if (!(radius >= 0)) return 0;
    const double d = std::hypot(x - x0, y - y0);
    return d > OutsideLimit(radius) ? d : 0;
}

HeightFitResult FitHeights(const std::vector<HeightPoint>& points,
                           const HeightFitOptions& options) {
    const auto fitted =
        std::count_if(points.begin(), points.end(), [](const HeightPoint& p) { return !p.check; });
    const HeightModelKind kind =
        options.kind ? *options.kind : AutomaticHeightModel(static_cast<int>(fitted));
    CheckInput(points, options, kind, static_cast<int>(fitted));
    std::vector<int> droppedIn(points.size(), 0);
    const double factor = options.outlierFactor;
    HeightFitResult r = Round(points, kind, factor, droppedIn);
    if (options.dropOutliers) {
        r.dropStopped = DropOutliers(
            r, droppedIn, fitted, [&](int active) { return active - 1 > HeightTermCount(kind); },
            [&](const std::vector<int>& dropped) { return Round(points, kind, factor, dropped); });
    }
    r.automatic = !options.kind;
    double sum = 0;
    for (const PointResidual& p : r.points) {
        r.used += p.use == PointUse::Fit ? 1 : 0;
        r.dropped += p.use == PointUse::Dropped ? 1 : 0;
        if (p.use != PointUse::Check) continue;
        ++r.checked;
        sum += p.v[2] * p.v[2];
    }
    if (r.checked) r.checkRms = std::sqrt(sum / r.checked);
    return r;
}

}  // namespace quorvel
