#pragma once

#include <cmath>

#include "core/ellipsoid.h"

namespace quorvel {

// The projection surface (投影面) and the length distortion of a plane system.
//
// A projection height H0 puts the plane on a surface H0 above the ellipsoid: the ellipsoid
// enlarged to a' = a + H0 with its flattening kept, then projected as usual (the classic series
// or the exact transverse Mercator, with the job's k0). This is what the field controllers do
// and what PROJ states directly (+proj=tmerc +a=a' +rf=1/f), and since an ellipsoid enlarged at
// a fixed flattening is the same shape scaled, it equals the projection of the ellipsoid itself
// with k0 scaled by a'/a. The other form in use, k0 scaled by (R + H0)/R for a mean radius R of
// the area, depends on where R is taken; the enlarged ellipsoid does not.

// Farthest a projection surface lies from the ellipsoid, metres: beyond, it is no height of
// the ground any more but a unit or a sign gone wrong.
inline constexpr double kMaxProjectionHeight = 10000;

// The ellipsoid enlarged to the surface H0 above it, its flattening kept; `e` itself for H0 = 0.
inline Ellipsoid SurfaceEllipsoid(const Ellipsoid& e, double H0) {
    if (H0 == 0) return e;
    return {e.name, e.a + H0, e.f};
}

// a'/a: how much longer every distance of the plane is on the surface H0; exactly 1 for H0 = 0.
inline double SurfaceRatio(const Ellipsoid& e, double H0) {
    return H0 == 0 ? 1 : (e.a + H0) / e.a;
}

// The Gaussian mean radius of curvature √(MN) at latitude B (degrees) of `e`, metres: the
// radius the reduction of a distance from one height to another takes.
double MeanRadius(const Ellipsoid& e, double B);

// The combined length distortion in cm/km of a distance at a point of height H (metres, a
// normal height: the height anomaly is neglected, a few decimetres in 10^-7 of the factor)
// projected onto the surface H0 with the point scale factor k (of the projection on the
// enlarged ellipsoid, k0 included, which equals k0 times the scale of the bare ellipsoid's):
//   factor = k · (R + H0)/(R + H),   distortion = (factor − 1) · 10^5 cm/km,
// R = MeanRadius(e, B). A ground distance shrinks from the height H to the surface H0, then
// grows by the projection's scale there.
double LengthDistortion(const Ellipsoid& e, double B, double k, double H0, double H);

}  // namespace quorvel
