#include "core/classic_series.h"

#include <cmath>

#include "core/zones.h"

namespace quorvel {
namespace {

using std::pow;

int SignOf(double v) {
    return (v > 0) - (v < 0);
}

// The zone transformation repeats the two series with a few products grouped differently; the
// grouping decides the last bits, so each variant is spelled out where it differs.
enum class Variant { Standalone, Zone };

// The symbols are named in classic_series.h. Here besides: rho is ρ, r is Bf in radians, Nt is
// N·t. Forward: x4, x6, x8 are the northing's terms in m², m³, m⁴ (metres); y1, y2, y3 the
// easting's relative terms in m, m², m³. Inverse: tb2, tb4, tb6 are the latitude's relative
// terms in (y/N)², ⁴, ⁶ and tl2, tl4, tl6 the longitude's; last4 and last5 are the one product
// whose grouping the zone transformation changes.

// S, the meridian arc from the equator to B (metres).
double MeridianArc(const EllipsoidConstants& c, double B) {
    const double rho = c.DegPerRad;
    return (((((c.ArcCoef0 * B) - c.ArcCoef2 * std::sin((2 * B) / rho)) +
              c.ArcCoef4 * std::sin((4 * B) / rho)) -
             c.ArcCoef6 * std::sin((6 * B) / rho)) +
            std::sin((8 * B) / rho) * ArcCoef8) -
           std::sin((10 * B) / rho) * ArcCoef10;
}

PlanePoint ForwardSeries(const EllipsoidConstants& c, double B, double l, Variant variant) {
    const double rho = c.DegPerRad;
    PlanePoint p;
    p.Sign = SignOf(l);
    const double h = c.SecondEccSq * pow(std::cos(B / rho), 2);
    const double N = c.SemiMajorAxis / std::sqrt(1 - c.FirstEccSq * pow(std::sin(B / rho), 2));
    const double t = std::tan(B / rho);
    const double m = pow(l, 2) * pow(std::cos(B / rho), 2);
    const double Nt = N * t;

    const double x4 =
        (((pow(m, 2) * Nt) / 24) / c.DegPerRad4) * (((5 - pow(t, 2)) + 9 * h) + 4 * pow(h, 2));
    const double x6 = (((pow(m, 3) * Nt) / 720) / c.DegPerRad6) *
                      ((((61 - 58 * pow(t, 2)) + pow(t, 4)) + 270 * h) - (330 * h) * pow(t, 2));
    const double x8 = (((pow(m, 4) * Nt) / 40320) / c.DegPerRad8) *
                      (((1385 - 3111 * pow(t, 2)) + 543 * pow(t, 4)) - pow(t, 6));
    const double S = MeridianArc(c, B);
    p.X = (((S + ((Nt * m) / 2) / pow(rho, 2)) + x4) + x6) + x8;

    const double y1 = ((m / 6) / pow(rho, 2)) * ((1 - pow(t, 2)) + h);
    const double last5 = variant == Variant::Zone ? (58 * pow(t, 2)) * h : (58 * h) * pow(t, 2);
    const double y2 = ((pow(m, 2) / 120) / c.DegPerRad4) *
                      ((((5 - 18 * pow(t, 2)) + pow(t, 4)) + 14 * h) - last5);
    const double y3 = ((pow(m, 3) / 5040) / c.DegPerRad6) *
                      (((61 - 479 * pow(t, 2)) + 179 * pow(t, 4)) - pow(t, 6));
    p.AbsY = ((N * std::sqrt(m)) / rho) * (((1 + y1) + y2) + y3);
    return p;
}

GeodeticPoint InverseSeries(const EllipsoidConstants& c, double X, double y, double Lo,
                            Variant variant) {
    const double rho = c.DegPerRad;
    const double Bf = FootpointLatitude(c, X);
    const double r = Bf / rho;
    const double t = std::tan(r);
    const double h = c.SecondEccSq * pow(std::cos(r), 2);
    const double N = c.SemiMajorAxis / std::sqrt(1 - c.FirstEccSq * pow(std::sin(r), 2));

    // The standalone inverse divides y^n by its integer divisor before N^n; the zone
    // transformation divides by N^n first.
    auto scaled = [&](int n, double divisor) {
        return variant == Variant::Zone ? (pow(y, n) / pow(N, n)) / divisor
                                        : (pow(y, n) / divisor) / pow(N, n);
    };
    const double tb2 =
        scaled(2, 12) * (((((5 + 3 * pow(t, 2)) + 6 * h) - (6 * h) * pow(t, 2)) - 3 * pow(h, 2)) -
                         (9 * pow(t, 2)) * pow(h, 2));
    const double tb4 =
        scaled(4, 360) *
        (((((61 + 90 * pow(t, 2)) + 45 * pow(t, 4)) + 107 * h) - (162 * h) * pow(t, 2)) -
         (45 * h) * pow(t, 4));
    const double tb6 =
        scaled(6, 20160) * (((1385 + 3633 * pow(t, 2)) + 4095 * pow(t, 4)) + 1575 * pow(t, 6));

    GeodeticPoint g;
    g.B =
        Bf - (((((((1 + h) * t) * pow(y, 2)) * rho) / 2) / pow(N, 2)) * (((1 - tb2) + tb4) - tb6));

    const double tl2 = ((pow(y, 2) / pow(N, 2)) / 6) * ((1 + 2 * pow(t, 2)) + h);
    const double last4 = variant == Variant::Zone ? (8 * h) * pow(t, 2) : (8 * pow(t, 2)) * h;
    const double tl4 = ((pow(y, 4) / pow(N, 4)) / 120) *
                       ((((5 + 6 * h) + 28 * pow(t, 2)) + 24 * pow(t, 4)) + last4);
    const double tl6 = ((pow(y, 6) / pow(N, 6)) / 5040) *
                       (((61 + 662 * pow(t, 2)) + 1320 * pow(t, 4)) + 720 * pow(t, 6));
    g.L = Lo + ((((y * rho) / N) / std::cos(r)) * (((1 - tl2) + tl4) - tl6));
    return g;
}

}  // namespace

PlanePoint ForwardProject(const EllipsoidConstants& c, double B, double L, double Lo) {
    c.RequireLoaded();
    return ForwardSeries(c, B, MeridianOffset(L, Lo), Variant::Standalone);
}

double FootpointLatitude(const EllipsoidConstants& c, double X) {
    c.RequireLoaded();
    const double rho = c.DegPerRad;
    double Bf = X / c.ArcCoef0;
    for (int pass = 0; pass < 6; ++pass) {  // fixed count, no convergence test
        const double s2 = std::sin((2 * Bf) / rho);
        const double s4 = std::sin((4 * Bf) / rho);
        const double s6 = std::sin((6 * Bf) / rho);
        const double s8 = std::sin((8 * Bf) / rho);
        const double s10 = std::sin((10 * Bf) / rho);
        Bf = (((((X + c.ArcCoef2 * s2) - c.ArcCoef4 * s4) + c.ArcCoef6 * s6) - s8 * ArcCoef8) +
              s10 * ArcCoef10) /
             c.ArcCoef0;
    }
    return Bf;
}

GeodeticPoint InverseProject(const EllipsoidConstants& c, double X, double Y, double Lo) {
    return InverseProjectOffset(c, X, Y - FalseEasting, Lo);
}

PlanePoint ZoneTransform(const EllipsoidConstants& c, double X1, double Y1, double Lo, double Ls) {
    return ZoneTransformOffset(c, X1, Y1 - FalseEasting, Lo, Ls);
}

GeodeticPoint InverseProjectOffset(const EllipsoidConstants& c, double X, double y, double Lo) {
    c.RequireLoaded();
    return InverseSeries(c, X, y, Lo, Variant::Standalone);
}

PlanePoint ZoneTransformOffset(const EllipsoidConstants& c, double X1, double y1, double Lo,
                               double Ls) {
    c.RequireLoaded();
    const GeodeticPoint g = InverseSeries(c, X1, y1, Lo, Variant::Zone);
    return ForwardSeries(c, g.B, MeridianOffset(g.L, Ls), Variant::Zone);
}

}  // namespace quorvel
