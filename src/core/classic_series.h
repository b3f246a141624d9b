#pragma once

#include "core/krassovsky_constants.h"

namespace quorvel {

// Every function here throws DivisionByZeroError when the constants are unset. Angles are in
// decimal degrees. The series are evaluated in exactly the documented grouping and order, every
// power by std::pow, so results agree bit for bit with the reference values.
//
// Symbols of the series (the names in classic_series.cpp):
//   B, L      latitude and longitude of the point (degrees); Lo the central meridian (degrees)
//   ρ         DegPerRad = 180/π with the 10-decimal π (degrees per radian); ρ⁴, ρ⁶, ρ⁸ are
//             DegPerRad4, DegPerRad6, DegPerRad8, computed once
//   a, e², e'²  SemiMajorAxis (metres), FirstEccSq and SecondEccSq: the first and second
//             eccentricity squared of Krassovsky
//   l         L − Lo reduced modulo 360° (degrees, not radians: every power of l is divided by
//             the same power of ρ)
//   t         tan B
//   h         η² = e'² cos²B
//   N         a / √(1 − e² sin²B), the radius of curvature in the prime vertical (metres)
//   m         l² cos²B (square degrees), so that m/ρ² = (l cos B)², in radians squared
//   S         the meridian arc from the equator to B (metres): ArcCoef0·B − ArcCoef2 sin 2B +
//             ArcCoef4 sin 4B − ArcCoef6 sin 6B + ArcCoef8 sin 8B − ArcCoef10 sin 10B, with
//             ArcCoef0 in metres per degree (B in degrees) and the others in metres
//   Bf        the footpoint latitude (degrees): the B whose meridian arc S is the northing X,
//             from S inverted by fixed-point passes; t, h and N of the inverse are taken at Bf
//   X, y      northing and signed easting from the central meridian (metres, east positive);
//             the false easting is added outside the series
// Forward: X = S + N t m/(2ρ²) + terms in m², m³, m⁴; |y| = N √m/ρ · (1 + terms in m, m², m³).
// Inverse: B = Bf − (1 + h) t y² ρ/(2N²) · (1 − terms in (y/N)², ⁴, ⁶);
//          L = Lo + y ρ/(N cos Bf) · (1 − terms in (y/N)², ⁴, ⁶).

// The easting is kept as its magnitude and the sign of the longitude difference, since the
// batches form the final easting only when they show the point.
struct PlanePoint {
    double X = 0;     // northing, metres
    double AbsY = 0;  // |y|, metres from the central meridian
    int Sign = 0;     // -1 west of the central meridian, 0 on it, +1 east

    double Y() const { return FalseEasting + Sign * AbsY; }
};

struct GeodeticPoint {
    double B = 0;  // latitude
    double L = 0;  // longitude
};

// Gauss-Krüger forward projection of latitude B and longitude L onto the central meridian Lo.
// Here and in ZoneTransform the series take the longitude difference modulo 360° (MeridianOffset):
// the same bits within 180°, and the right point for L = −179°, Lo = 180°.
PlanePoint ForwardProject(const EllipsoidConstants& c, double B, double L, double Lo);

// Footpoint latitude of northing X: six fixed passes of the meridian-arc inversion.
double FootpointLatitude(const EllipsoidConstants& c, double X);

// Inverse projection of northing X and easting Y (false easting included) on central meridian Lo.
GeodeticPoint InverseProject(const EllipsoidConstants& c, double X, double Y, double Lo);

// Carries X1, Y1 on central meridian Lo to the central meridian Ls.
PlanePoint ZoneTransform(const EllipsoidConstants& c, double X1, double Y1, double Lo, double Ls);

// InverseProject and ZoneTransform with the easting given as y, its signed distance from the
// central meridian, for callers with a false easting of their own. With y = Y − FalseEasting
// they give the same bits.
GeodeticPoint InverseProjectOffset(const EllipsoidConstants& c, double X, double y, double Lo);
PlanePoint ZoneTransformOffset(const EllipsoidConstants& c, double X1, double y1, double Lo,
                               double Ls);

}  // namespace quorvel
