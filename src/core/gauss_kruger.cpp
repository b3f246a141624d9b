#include "core/gauss_kruger.h"

#include <GeographicLib/Math.hpp>
#include <cmath>
#include <string>

#include "core/classic_series.h"
#include "core/computation.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/projection_surface.h"

namespace quorvel {
namespace {

void RequireFinite(Computation c, std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) {
            throw OutOfDomainError(
                Fill(Tr("{0}: the input is not a finite number"), {ComputationWord(c)}));
        }
    }
}

void RequireLatitude(double B) {
    if (!(std::abs(B) <= 90)) {
        throw OutOfDomainError(
            Fill(Tr("{0}: the latitude is beyond ±90°"), {ComputationWord(Computation::Forward)}));
    }
}

void RequireFiniteResult(Computation c, std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) {
            throw OutOfDomainError(
                Fill(Tr("{0}: the series give no finite result"), {ComputationWord(c)}));
        }
    }
}

// The longitude difference L − Lo reduced to [−180°, 180°], checked against the exact method's
// domain.
double ExactOffset(Computation c, double L, double Lo) {
    // Within ±180° AngDiff's remainders change nothing and its error term rounds away, so the
    // plain difference is its result; it is kept for zero, ±180° and beyond.
    double dl = L - Lo;
    if (!(std::abs(L) < 180 && std::abs(Lo) < 180 && dl != 0 && std::abs(dl) < 180)) {
        dl = GeographicLib::Math::AngDiff(Lo, L);
    }
    if (!(std::abs(dl) <= kExactMaxOffset)) {
        throw BeyondExactOffsetError(
            Fill(Tr("{0}: the point lies more than 35° from the central meridian"),
                 {ComputationWord(c)}),
            dl, Lo);
    }
    return dl;
}

// Checks the settings before GeographicLib sees them, so that every fault is reported in the
// program's own terms.
GeographicLib::TransverseMercator CheckedProjection(Method method, const Ellipsoid& ellipsoid,
                                                    double k0, double falseEasting,
                                                    double projectionHeight) {
    MakeEllipsoid(ellipsoid.name, ellipsoid.a, ellipsoid.InverseFlattening());
    if (method == Method::Classic && !IsKrassovsky(ellipsoid)) {
        throw InvalidParameterError(
            Fill(Tr("the classic series serve the Krassovsky ellipsoid only: "
                    "use the exact method with the ellipsoid \"{0}\""),
                 {ellipsoid.name}));
    }
    if (!(k0 >= 0.9 && k0 <= 1.1)) {
        throw InvalidParameterError(Tr("the central scale factor k0 must be between 0.9 and 1.1"));
    }
    if (!(std::abs(falseEasting) <= 1e9)) {
        throw InvalidParameterError(
            Tr("the false easting must be a finite number of at most 1e9 m"));
    }
    if (!(std::abs(projectionHeight) <= kMaxProjectionHeight)) {
        throw InvalidParameterError(
            Tr("the projection height must be a number between -10000 and 10000 m"));
    }
    const Ellipsoid surface = SurfaceEllipsoid(ellipsoid, projectionHeight);
    return GeographicLib::TransverseMercator(surface.a, surface.f, k0);
}

// GeographicLib gives γ and k with every point; they are kept only when asked for.
template <class Point>
void KeepExtras(Extras extras, double gamma, double k, Point& p) {
    if (extras == Extras::ConvergenceAndScale) {
        p.Convergence = gamma;
        p.Scale = k;
    }
}

}  // namespace

std::string_view MethodName(Method method) {
    return method == Method::Classic ? "classic" : "exact";
}

Method ParseMethod(std::string_view text) {
    if (text == "classic") return Method::Classic;
    if (text == "exact") return Method::Exact;
    throw InvalidParameterError(Fill(Tr("unknown method \"{0}\": classic or exact"), {text}));
}

GaussKruger::GaussKruger(Method method, const Ellipsoid& ellipsoid, double k0, double falseEasting,
                         double projectionHeight)
    : method_(method),
      ellipsoid_(ellipsoid),
      k0_(k0),
      falseEasting_(falseEasting),
      projectionHeight_(projectionHeight),
      planeScale_(k0 * SurfaceRatio(ellipsoid, projectionHeight)),
      constants_(EllipsoidConstants::Load()),
      tm_(CheckedProjection(method, ellipsoid, k0, falseEasting, projectionHeight)) {}

void GaussKruger::AddExtras(double B, double L, double Lo, double& gamma, double& k) const {
    double x, y;
    tm_.Forward(Lo, B, L, x, y, gamma, k);
}

GridPoint GaussKruger::Forward(double B, double L, double Lo, Extras extras) const {
    RequireFinite(Computation::Forward, {B, L, Lo});
    RequireLatitude(B);
    GridPoint g;
    if (method_ == Method::Classic) {
        const PlanePoint p = ForwardProject(constants_, B, L, Lo);
        RequireFiniteResult(Computation::Forward, {p.X, p.AbsY});
        g.X = planeScale_ * p.X;
        g.y = p.Sign * (planeScale_ * p.AbsY);
        if (extras == Extras::ConvergenceAndScale) AddExtras(B, L, Lo, g.Convergence, g.Scale);
    } else {
        ExactOffset(Computation::Forward, L, Lo);
        double gamma, k;
        tm_.Forward(Lo, B, L, g.y, g.X, gamma, k);
        KeepExtras(extras, gamma, k, g);
    }
    g.Y = falseEasting_ + g.y;
    return g;
}

GeoPoint GaussKruger::Inverse(double X, double Y, double Lo, Extras extras) const {
    RequireFinite(Computation::Inverse, {X, Y, Lo});
    GeoPoint g;
    if (method_ == Method::Classic) {
        const GeodeticPoint p = InverseProjectOffset(constants_, X / planeScale_,
                                                     (Y - falseEasting_) / planeScale_, Lo);
        RequireFiniteResult(Computation::Inverse, {p.B, p.L});
        g.B = p.B;
        g.L = p.L;
        if (extras == Extras::ConvergenceAndScale) AddExtras(g.B, g.L, Lo, g.Convergence, g.Scale);
    } else {
        double lon, gamma, k;
        tm_.Reverse(Lo, Y - falseEasting_, X, g.B, lon, gamma, k);
        RequireFiniteResult(Computation::Inverse, {g.B, lon});
        g.L = Lo + ExactOffset(Computation::Inverse, lon, Lo);
        KeepExtras(extras, gamma, k, g);
    }
    return g;
}

GridPoint GaussKruger::Zone(double X1, double Y1, double Lo, double Ls, Extras extras) const {
    RequireFinite(Computation::Zone, {X1, Y1, Lo, Ls});
    GridPoint g;
    if (method_ == Method::Classic) {
        const double x1 = X1 / planeScale_;
        const double y1 = (Y1 - falseEasting_) / planeScale_;
        const PlanePoint p = ZoneTransformOffset(constants_, x1, y1, Lo, Ls);
        RequireFiniteResult(Computation::Zone, {p.X, p.AbsY});
        g.X = planeScale_ * p.X;
        g.y = p.Sign * (planeScale_ * p.AbsY);
        if (extras == Extras::ConvergenceAndScale) {
            const GeodeticPoint q = InverseProjectOffset(constants_, x1, y1, Lo);
            AddExtras(q.B, q.L, Ls, g.Convergence, g.Scale);
        }
    } else {
        double B, L;
        tm_.Reverse(Lo, Y1 - falseEasting_, X1, B, L);
        RequireFiniteResult(Computation::Zone, {B, L});
        ExactOffset(Computation::Zone, L, Lo);
        ExactOffset(Computation::Zone, L, Ls);
        double gamma, k;
        tm_.Forward(Ls, B, L, g.y, g.X, gamma, k);
        KeepExtras(extras, gamma, k, g);
    }
    g.Y = falseEasting_ + g.y;
    return g;
}

}  // namespace quorvel
