#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/coordinate_system.h"
#include "core/datum.h"

namespace quorvel {

// Fitting the parameters of a datum transformation to common points (重合点), by least squares.
//
// Every coordinate has the same weight. The 7- and 3-parameter models are fitted to the
// geocentric coordinates of both sides: three observations a point where heights are observed
// (--heights, or both sides geocentric); in a two-dimensional fit (a plane or geodetic side
// without heights, H = 0 taken for it) two, the east and north components of the geocentric
// residual at the point, the heights left free (the two-dimensional Bursa model: the rows of
// the design matrix and the observations multiplied by the east/north frame). An unobserved
// height thus enters neither σ0 nor the redundancy nor the flags. The 4-parameter model is
// fitted to the typed plane X, Y, two a point. The 7-parameter model is solved in
// PROJ's form (scale times rotation, see core/datum.h) exactly, through the linear unknowns
// a = 1 + ds and b = a·r on coordinates centred on the fitted points and divided by their RMS
// distance from the centre, by Householder QR (Eigen); no iteration, no normal equations.
//
// σ0 (单位权中误差) = √(vᵀv / (n − u)), metres: v the residuals of the n observations, u the
// model's unknowns (n = 2 a point in a two-dimensional fit). Standard errors (中误差) =
// σ0·√(diagonal of the unknowns' cofactor matrix), carried to the published units through the
// derivatives of the conversion; those of the translations are large for a small area, where they
// hinge on the rotations.
//
// A residual is flagged when it exceeds K times its own standard error: for a fitted point
// σ0·√q, q = 1 − a(AᵀA)⁻¹aᵀ its redundancy (from 0 to 1, near 1 − u/n for evenly spread points,
// so the test is the rule |v| > 3σ0 of the national code, made fair to the points at the edge
// of the area, which pull the fit towards themselves); for a check or dropped point, predicted
// without it, σ0·√(1 + a(AᵀA)⁻¹aᵀ). Each reported component (see PointResidual) is tested on
// its own. A residual below 1 mm, the precision coordinates are written to, is never flagged,
// nor is any without redundancy (σ0 undefined).
//
// Dropping outliers drops one point a round, the fitted point with the largest ratio, and fits
// again, until none is flagged: a blunder spreads into its neighbours' residuals, so a point
// flagged beside a larger one in the same round is not condemned with it. It stops before it
// would drop more than a third of the fitted points: so many outliers say the points are not one
// transformation's (or the factor is too small), which dropping cannot mend.
//
// Horizontal observations alone hardly see the rotations about horizontal axes (nor the up
// translation): a two-dimensional 7-parameter fit over a small area gives rotations with standard
// errors of many arc-seconds (some 100″ over 20 km, 8″ over 60 km at 12 mm). They are reported as
// they are; kWeakRotationSeconds marks them weak, and fitted rotations beyond the small-angle
// limits are refused naming that cause.

// A common point: its name, its coordinates in the source and in the target system (Triples as
// CoordinateSystem describes; H = 0 on both sides without heights).
struct CommonPoint {
    std::string name;
    Triple source{};
    Triple target{};
    bool check = false;  // a check point (检核点): left out of the fit, its residual listed
};

struct FitOptions {
    DatumModel model = DatumModel::Seven;
    RotationConvention convention = kDefaultConvention;
    // Heights on both sides: the H residual is reported and tested. Without, H = 0 on both
    // sides (the two-dimensional practice): only the horizontal residual is observed.
    bool heights = false;
    double outlierFactor = 3;  // K, from kMinOutlierFactor to kMaxOutlierFactor
    bool dropOutliers = false;
};

enum class PointUse { Fit, Check, Dropped };
// "fit", "check" or "dropped".
std::string_view PointUseName(PointUse use);

// A point's residual, target minus the transformed source, in metres, in the target's
// components: plane X (north), Y (east), H; geodetic east and north (metres along L and B),
// H (up); geocentric X, Y, Z (in a two-dimensional fit the horizontal part of the residual, its
// unobserved up component left out). v[2] is NaN where there is no third component: a plane or
// geodetic target without heights, and the 4-parameter model, which carries no heights.
struct PointResidual {
    std::string name;
    PointUse use = PointUse::Fit;
    int droppedInRound = 0;  // 1 for the first point dropped, and so on; 0 if not dropped
    Triple v{};
    double plane = 0;      // the horizontal residual: √(v0² + v1²), for geocentric at the point
    double statistic = 0;  // largest |v| of a reported component over its standard error
    bool flagged = false;  // statistic > K and that |v| > 1 mm
};

struct FitResult {
    DatumParameters parameters;
    DatumParameters standardErrors;  // same units; NaN without redundancy
    double sigma0 = 0;               // metres; NaN without redundancy
    int redundancy = 0;              // observations minus unknowns
    int used = 0, checked = 0, dropped = 0;
    std::vector<PointResidual> points;  // in the order given
    Triple checkRms{};                  // RMS of the check points' components (NaN as in v)
    double checkPlaneRms = 0;           // RMS of their horizontal residuals; NaN without any
    // The zone of every point of a zoned plane side (for ProjPipeline), −1 if not all in one.
    int fromZone = -1, toZone = -1;
    CommonArea area;              // of the fitted points' sources: where the parameters hold
    bool twoDimensional = false;  // see IsTwoDimensional
    // Dropping stopped with a flagged point left, before dropping more than a third.
    bool dropStopped = false;
};

// The factors K a fit takes: below 2 about one good point in twenty would be flagged, and
// dropping would eat into the good points.
inline constexpr double kMinOutlierFactor = 2;
inline constexpr double kMaxOutlierFactor = 100;

// Arc-seconds: rotations with a larger standard error are not fixed by the common points.
inline constexpr double kWeakRotationSeconds = 5;

// Whether the heights are unobserved, so that a 7- or 3-parameter fit is two-dimensional: no
// --heights and a plane or geodetic side. The 4-parameter model is plane by nature: false.
bool IsTwoDimensional(const CoordinateSystem& from, const CoordinateSystem& to,
                      const FitOptions& options);

// The largest standard error of the rotations of a 7-parameter fit, arc-seconds (0 for others).
double RotationStandardError(const FitResult& r);

// The fewest fitted points that fix the model: MinimumPoints, or in a two-dimensional fit as
// many as give as many observations as unknowns (4 for 7, 2 for 3).
int FewestFitPoints(const CoordinateSystem& from, const CoordinateSystem& to,
                    const FitOptions& options);

// Kilometres apart: a common point whose two sides are farther apart than this horizontally is
// not one point in two datums (they differ by some hundred metres in China).
inline constexpr double kMaxSideSeparation = 1000;

// Fits `options.model` to the points. Accuracy: from exact points over 60 km (tests/core) the
// parameters come back within 1e-6 m, 1e-7″ and 1e-7 ppm, every residual below 1e-8 m; the
// 4-parameter fit agrees with numpy's to 1e-11 relative. Throws:
//   InvalidParameterError   a 4-parameter model without plane on both sides, K outside
//                           [kMinOutlierFactor, kMaxOutlierFactor]
//   DuplicateNameError      two points of one name
//   InsufficientPointsError fewer fitted (not check) points than FewestFitPoints
//   PointMismatchError      a point whose sides are kilometres apart, naming the likely cause:
//                           X and Y (or L and B) swapped on a side, a zone number in front of
//                           Y for a system with a meridian (or missing for a zoned one), or a
//                           wrong zone or central meridian
//   OutOfDomainError        a point a system cannot convert (named), or fitted parameters
//                           beyond CheckModelLimits (naming the flagged points if any, or in a
//                           two-dimensional 7-parameter fit with weak rotations that cause)
//   WeakGeometryError       points all within 1 mm of one place (7 and 4), within 1/100 of
//                           their length of one line (7: the rotation about the line is not
//                           fixed), or any design whose QR has a reciprocal condition number
//                           below 1e-10
// Whether the two sides of a point lie within kMaxSideSeparation of each other (false where a
// side does not convert).
bool SidesMeet(const CoordinateSystem& from, const CoordinateSystem& to, const CommonPoint& p);

FitResult FitDatum(const CoordinateSystem& from, const CoordinateSystem& to,
                   const std::vector<CommonPoint>& points, const FitOptions& options);

// The area of points of `from` (see CommonArea): the centre is the mean of their geocentric
// coordinates brought down to the ellipsoid, the radius the largest horizontal distance (chord)
// of one from it. Points the system cannot convert are left out; none: all zero.
CommonArea AreaOf(const SystemConverter& from, const std::vector<Triple>& points);

// The distance from an area's centre beyond which a point lies farther outside the area than
// the area's size (its diameter, at least kMaxPointShift): where the parameters fitted in it no
// longer hold.
inline double OutsideLimit(double radius) {
    return radius + (2 * radius > kMaxPointShift ? 2 * radius : kMaxPointShift);
}

// Horizontal distances (chords), metres, from an area's centre to points given as geocentric
// X, Y, Z on the area's ellipsoid; the centre is computed once.
class AreaDistance {
  public:
    AreaDistance(const CommonArea& area, const Ellipsoid& ellipsoid);
    double operator()(const Triple& xyz) const;

  private:
    Triple centre_{};
    Triple east_{}, north_{};
};

}  // namespace quorvel
