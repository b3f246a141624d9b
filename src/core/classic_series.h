#pragma once

#include "core/krassovsky_constants.h"

namespace quorvel {

// Every function here throws DivisionByZeroError when the constants are unset. Angles are in
// decimal degrees. The series are evaluated in exactly the documented grouping and order, every
// power by std::pow, so results agree bit for bit with the reference values.

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
