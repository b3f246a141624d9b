#pragma once

#include <GeographicLib/TransverseMercator.hpp>
#include <limits>
#include <string>
#include <string_view>

#include "core/ellipsoid.h"
#include "core/errors.h"
#include "core/krassovsky_constants.h"

namespace quorvel {

// How the transverse Mercator (Gauss-Krüger) projection is computed.
//   Classic: the classic series on the Krassovsky ellipsoid, bit for bit as the window computes
//     it (see core/classic_series.h). It is a power series in the longitude difference, truncated:
//     the forward stays within 1 mm of the exact projection out to 6° from the central meridian,
//     but the inverse is off on the ground by up to 4 mm at 2°, 2 cm at 3°, 6 cm at 4° and 0.3 m at
//     6° (bench/README.md has the measured table). No distance limit is enforced here: the
//     batches hold each result to the exact one with core/classic_check.h.
//   Exact: GeographicLib::TransverseMercator, Krüger's series to 6th order in the third
//     flattening; any ellipsoid; error below 5 nm within 35° of the central meridian, which is
//     the domain this method accepts.
enum class Method { Classic, Exact };

// "classic" or "exact".
std::string_view MethodName(Method method);
// Reads "classic" or "exact"; throws InvalidParameterError for anything else.
Method ParseMethod(std::string_view text);

// Farthest the exact method goes from the central meridian, in degrees of longitude.
inline constexpr double kExactMaxOffset = 35;

// A point farther than kExactMaxOffset from a central meridian, met by the exact method: its
// offset in degrees, reduced to [−180°, 180°], and that meridian (Lo or, in a zone
// transformation, Ls).
class BeyondExactOffsetError : public OutOfDomainError {
  public:
    BeyondExactOffsetError(std::string detail, double offset, double meridian)
        : OutOfDomainError(std::move(detail)), offset_(offset), meridian_(meridian) {}
    double offset() const { return offset_; }
    double meridian() const { return meridian_; }

  private:
    double offset_;
    double meridian_;
};

// Whether a computation also gives the meridian convergence and the point scale.
enum class Extras { None, ConvergenceAndScale };

// A point of the plane. X is the northing and Y the easting with the false easting, both in
// metres; y = Y − FE is the signed distance from the central meridian (east positive), kept
// apart because it is exact where Y is rounded. Convergence γ (decimal degrees, the bearing of
// grid north clockwise from true north) and point scale k are NaN unless asked for.
struct GridPoint {
    double X = 0;
    double Y = 0;
    double y = 0;
    double Convergence = std::numeric_limits<double>::quiet_NaN();
    double Scale = std::numeric_limits<double>::quiet_NaN();
};

// A point on the ellipsoid: latitude B and longitude L in decimal degrees, with γ and k at it
// (NaN unless asked for).
struct GeoPoint {
    double B = 0;
    double L = 0;
    double Convergence = std::numeric_limits<double>::quiet_NaN();
    double Scale = std::numeric_limits<double>::quiet_NaN();
};

// The projection of one ellipsoid with one method, central scale and false easting; the central
// meridian is an argument of each computation. Construct once, compute many points: the
// constructor prepares the series coefficients. The computations are const and safe to call
// from several threads at once.
//
// γ and k are GeographicLib's for both methods: for the exact method those of the computation
// itself; for the classic one GeographicLib's forward projection at the geodetic point the
// series computed with (forward: the given B, L; inverse: the result; zone: the point the
// series carried, in the target zone).
//
// Every angle is in decimal degrees (convert packed degrees with DecodePackedAngle and
// DegreesToPacked), every distance in metres.
class GaussKruger {
  public:
    // `k0` is the scale on the central meridian, `falseEasting` the value added to every easting,
    // `projectionHeight` H0 the height of the projection surface above the ellipsoid (metres):
    // the projection is then that of the ellipsoid enlarged to a + H0 with its flattening kept
    // (core/projection_surface.h). The classic series, which are Krassovsky's, scale their
    // plane by (a + H0)/a, which is the same projection: enlarging an ellipsoid at a fixed
    // flattening scales every distance of its transverse Mercator by that ratio. H0 = 0 changes
    // nothing, bit for bit.
    // Throws InvalidParameterError for the classic method on any ellipsoid but Krassovsky, for a
    // k0 outside [0.9, 1.1], for a false easting that is not finite or exceeds 1e9 m in
    // magnitude, for an H0 beyond ±10 km, and for an ellipsoid MakeEllipsoid would refuse.
    explicit GaussKruger(Method method, const Ellipsoid& ellipsoid = Krassovsky(), double k0 = 1,
                         double falseEasting = 500000, double projectionHeight = 0);

    Method method() const { return method_; }
    const Ellipsoid& ellipsoid() const { return ellipsoid_; }
    double k0() const { return k0_; }
    double falseEasting() const { return falseEasting_; }
    double projectionHeight() const { return projectionHeight_; }

    // Forward projection, from the ellipsoid to the plane.
    //   B  latitude of the point (degrees), in [−90°, 90°]
    //   L  longitude of the point (degrees); the difference L − Lo is reduced to [−180°, 180°]
    //      first; exact: within 35° of Lo; classic: any, though accurate only near Lo
    //   Lo central meridian (degrees)
    //   returns X northing, Y easting with the false easting, y = Y − FE (metres); with
    //      Extras::ConvergenceAndScale also γ (degrees) and k
    // Accuracy: exact 5 nm; classic as described at Method.
    // Throws OutOfDomainError for a non-finite argument or one outside the domain above, and
    // when the classic series gives no finite number.
    GridPoint Forward(double B, double L, double Lo, Extras extras = Extras::None) const;

    // Inverse projection, from the plane to the ellipsoid.
    //   X  northing (metres)
    //   Y  easting with the false easting, without a zone number (metres)
    //   Lo central meridian (degrees)
    //   returns B latitude and L longitude (degrees), L = Lo + the difference, so it may leave
    //      [−180°, 180°] for Lo near ±180°; with Extras::ConvergenceAndScale also γ and k
    // Domain: finite arguments; exact: the result within 35° of Lo (which also excludes a
    // northing beyond the pole).
    // Accuracy: exact 5 nm on the ground (about 5e-11°); classic as described at Method.
    // Throws OutOfDomainError outside the domain and when the classic series gives no finite
    // number.
    GeoPoint Inverse(double X, double Y, double Lo, Extras extras = Extras::None) const;

    // Zone transformation: the inverse on Lo, then the forward on Ls.
    //   X1 northing, Y1 easting with the false easting, no zone number (metres)
    //   Lo central meridian of X1, Y1; Ls the central meridian to carry them to (degrees)
    //   returns X2, Y2 (and y2) on Ls; with Extras::ConvergenceAndScale γ and k in the
    //      target zone
    // Domain: finite arguments; exact: the point within 35° of both meridians.
    // Accuracy: exact 10 nm; classic as described at Method.
    // Throws OutOfDomainError outside the domain and when the classic series gives no finite
    // number.
    GridPoint Zone(double X1, double Y1, double Lo, double Ls, Extras extras = Extras::None) const;

  private:
    void AddExtras(double B, double L, double Lo, double& gamma, double& k) const;

    Method method_;
    Ellipsoid ellipsoid_;
    double k0_;
    double falseEasting_;
    double projectionHeight_;
    // The classic series' plane scale: k0, times (a + H0)/a on a raised surface.
    double planeScale_;
    EllipsoidConstants constants_;
    GeographicLib::TransverseMercator tm_;
};

}  // namespace quorvel
